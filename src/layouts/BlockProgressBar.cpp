#include "layouts/BlockProgressBar.h"

#include <QPainter>
#include <qdrawutil.h>

namespace layouts {

namespace {

constexpr int kBorder = 2; // a sunken frame, two pixels wide
constexpr int kGap = 2;

} // namespace

void BlockProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    qDrawShadePanel(&painter, rect(), palette(), true, kBorder / 2, &palette().brush(QPalette::Base));
    const QRect inner = rect().adjusted(kBorder, kBorder, -kBorder, -kBorder);
    const int span = maximum() - minimum();
    if (inner.isEmpty() || span <= 0) return;
    // Blocks are two thirds as wide as they are tall, as the classic bar draws them.
    const int block = std::max(2, inner.height() * 2 / 3);
    const int filled = static_cast<int>(static_cast<qint64>(inner.width()) * (value() - minimum()) / span);
    for (int x = inner.left(); x < inner.left() + filled; x += block + kGap) {
        const int width = std::min(block, inner.left() + inner.width() - x);
        painter.fillRect(QRect(x, inner.top(), width, inner.height()), palette().brush(QPalette::Highlight));
    }
}

} // namespace layouts
