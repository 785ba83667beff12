#include "shell/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace shell {

namespace {

const QColor kDeep(18, 52, 96);
const QColor kBright(40, 140, 200);
const QColor kAccent(250, 190, 60);

// Five bars that shrink from left to right: a louder file made smaller.
void draw_emblem(QPainter& painter, const QRectF& box) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawEllipse(box);
    const qreal bar = box.width() / 9.0;
    const qreal heights[] = {0.62, 0.50, 0.40, 0.30, 0.22};
    for (int i = 0; i < 5; ++i) {
        const qreal h = box.height() * heights[i];
        const QRectF r(box.left() + bar * (1.5 + i * 1.25), box.center().y() - h / 2, bar * 0.85, h);
        painter.setBrush(i == 4 ? kAccent : kDeep);
        painter.drawRoundedRect(r, bar * 0.3, bar * 0.3);
    }
}

QImage icon_image(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, size, size);
    fill.setColorAt(0, kBright);
    fill.setColorAt(1, kDeep);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size * 0.2, size * 0.2);
    draw_emblem(painter, QRectF(size * 0.12, size * 0.12, size * 0.76, size * 0.76));
    return image;
}

} // namespace

QImage about_picture() {
    QImage image(400, 140, QImage::Format_ARGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 400, 140);
    sky.setColorAt(0, kDeep);
    sky.setColorAt(1, kBright);
    painter.fillRect(image.rect(), sky);
    painter.setPen(QPen(QColor(255, 255, 255, 40), 2));
    for (int x = 0; x < 400; x += 6) {
        const qreal h = 12 + 10 * std::abs(std::sin(x / 17.0)) * (1.0 - x / 520.0);
        painter.drawLine(QPointF(x, 124 - h), QPointF(x, 124));
    }
    draw_emblem(painter, QRectF(24, 26, 88, 88));
    painter.setPen(Qt::white);
    QFont title = painter.font();
    title.setPixelSize(40);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRectF(130, 24, 260, 50), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tunvask"));
    QFont subtitle = painter.font();
    subtitle.setPixelSize(17);
    subtitle.setBold(false);
    painter.setFont(subtitle);
    painter.drawText(QRectF(132, 74, 260, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("MP3 批量压缩工具"));
    return image;
}

QIcon application_icon() {
    QIcon icon;
    for (int size : kIconSizes)
        icon.addPixmap(QPixmap::fromImage(icon_image(size)));
    return icon;
}

QImage application_icon_image(int size) {
    return icon_image(size);
}

} // namespace shell
