#pragma once

#include <QObject>
#include <QPoint>
#include <QTimer>

class QWidget;

namespace layouts {

// Puts a window's outer frame, title bar included, at a position when it is first
// shown. Before that nobody knows how big the window manager's frame will be, so the
// position is applied again once the frame is there. After the first show the window
// manager and the user decide where the window stands.
class FramePlacer : public QObject {
    Q_OBJECT
public:
    static void place(QWidget* window, QPoint frame_position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FramePlacer(QWidget* window, QPoint frame_position);
    void check();

    QWidget* m_window;
    QPoint m_position;
    QTimer m_timer;
    int m_checks = 0;
};

} // namespace layouts
