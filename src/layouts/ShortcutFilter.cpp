#include "layouts/ShortcutFilter.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace layouts {

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
    if (static_cast<QWidget*>(watched)->window() != m_window) return false;
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
    action->trigger();
    return true;
}

} // namespace layouts
