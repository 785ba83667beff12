#include "layouts/SelectionHider.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QWidget>

namespace layouts {

SelectionHider::SelectionHider(QWidget* control)
    : QObject(control), m_control(control), m_focused(control->palette()) {}

void SelectionHider::attach(QWidget* control) {
    auto* hider = new SelectionHider(control);
    control->installEventFilter(hider);
    hider->show_selection(control->hasFocus());
}

bool SelectionHider::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::FocusIn) show_selection(true);
    if (event->type() == QEvent::FocusOut) show_selection(false);
    return false;
}

void SelectionHider::show_selection(bool shown) {
    QPalette palette = m_focused;
    if (!shown) {
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Highlight, m_focused.color(group, QPalette::Base));
            palette.setColor(group, QPalette::HighlightedText, m_focused.color(group, QPalette::Text));
        }
    }
    m_control->setPalette(palette);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(m_control)) area->viewport()->update();
}

} // namespace layouts
