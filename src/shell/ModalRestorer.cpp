#include "shell/ModalRestorer.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace shell {

ModalRestorer::ModalRestorer(QWidget* modal) : QObject(modal), m_modal(modal) {
    qApp->installEventFilter(this);
}

bool ModalRestorer::eventFilter(QObject* watched, QEvent* event) {
    const bool activated = event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowStateChange;
    if (!activated || !m_modal || !watched->isWidgetType()) return false;
    auto* window = static_cast<QWidget*>(watched);
    if (!window->isWindow() || window == m_modal || window->isMinimized() || !m_modal->isMinimized()) return false;
    m_modal->setWindowState(m_modal->windowState() & ~Qt::WindowMinimized);
    m_modal->show();
    m_modal->raise();
    m_modal->activateWindow();
    return false;
}

} // namespace shell
