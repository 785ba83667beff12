#pragma once

#include <QObject>
#include <QPalette>

class QWidget;

namespace layouts {

// Shows a control's selection only while the control has the focus, as the
// layout's list and edit box do: without it, the highlight takes the colours of
// the background and the text.
class SelectionHider : public QObject {
    Q_OBJECT
public:
    // Owned by the control; starts hiding at once unless the control has the focus.
    static void attach(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit SelectionHider(QWidget* control);
    void show_selection(bool shown);

    QWidget* m_control;
    QPalette m_focused;
};

} // namespace layouts
