#include "layouts/FramePlacer.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace layouts {

namespace {

constexpr int kCheckIntervalMs = 25;
// Ten seconds: a busy window manager may frame the window late; one that adds no
// frame by then adds none.
constexpr int kMostChecks = 400;

} // namespace

FramePlacer::FramePlacer(QWidget* window, QPoint frame_position)
    : QObject(window), m_window(window), m_position(frame_position) {
    m_timer.setInterval(kCheckIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &FramePlacer::check);
}

void FramePlacer::place(QWidget* window, QPoint frame_position) {
    window->move(frame_position);
    window->installEventFilter(new FramePlacer(window, frame_position));
}

bool FramePlacer::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Show) {
        m_window->removeEventFilter(this);
        m_timer.start();
    }
    return false;
}

void FramePlacer::check() {
    // The widget's own frame geometry is a cache that may never learn of a frame added
    // after the show (and QWidget::move goes by it); the window asks the window system.
    QWindow* handle = m_window->windowHandle();
    const bool framed = handle && !handle->frameMargins().isNull();
    if (framed && handle->framePosition() != m_position) {
        const QMargins frame = handle->frameMargins();
        handle->setPosition(m_position + QPoint(frame.left(), frame.top()));
    }
    if (framed || ++m_checks >= kMostChecks) {
        m_timer.stop();
        deleteLater();
    }
}

} // namespace layouts
