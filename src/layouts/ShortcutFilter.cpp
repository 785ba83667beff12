#include "layouts/ShortcutFilter.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QWidget>

namespace layouts {

namespace {

// The window a key pressed in widget belongs to: a popup (a combo box's open list) is a
// window of its own, but its keys are its owner's.
QWidget* owning_window(QWidget* widget) {
    QWidget* window = widget->window();
    while (window && window->windowType() == Qt::Popup && window->parentWidget())
        window = window->parentWidget()->window();
    return window;
}

} // namespace

ShortcutFilter::ShortcutFilter(QWidget* window) : QObject(window), m_window(window) {
    qApp->installEventFilter(this);
}

void ShortcutFilter::add(QKeyCombination key, QAction* action) {
    m_entries.append({key, action});
}

QAction* ShortcutFilter::match(QKeyCombination key) const {
    for (const Entry& entry : m_entries) {
        if (entry.key == key && entry.action) return entry.action;
    }
    return nullptr;
}

bool ShortcutFilter::eventFilter(QObject* watched, QEvent* event) {
    const bool key_event = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
    if (!key_event || !m_window || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (owning_window(widget) != m_window) return false;
    auto* key_press = static_cast<QKeyEvent*>(event);
    // Exactly the table's modifiers: Alt+F6 or Ctrl+Alt+D are other keys. The keypad
    // flag says where a key is, not which.
    const auto modifiers = key_press->modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    QAction* action = match(QKeyCombination(modifiers, static_cast<Qt::Key>(key_press->key())));
    if (!action) return false;
    // A matched key never reaches the control: Ctrl+C in a combo box copies nothing.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    // An open list closes first, as a click elsewhere would close it.
    if (QWidget* popup = widget->window(); popup != m_window) {
        if (auto* combo = qobject_cast<QComboBox*>(popup->parentWidget()))
            combo->hidePopup();
        else
            popup->close();
    }
    action->trigger();
    return true;
}

} // namespace layouts
