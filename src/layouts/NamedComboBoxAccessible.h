#pragma once

#include <QAccessibleWidget>

class QComboBox;

namespace layouts {

// What a screen reader is told of a combo box that has a name of its own. On Linux Qt
// names a combo box by the text it shows, so after the first pick a user hears
// "CD品质(128Kbps)" and never which box it is: this keeps the box's accessible name as
// its name and gives what it shows as its value. Its children (the list, the text field)
// and its actions are as Qt has them.
class NamedComboBoxAccessible : public QAccessibleWidget {
public:
    explicit NamedComboBoxAccessible(QComboBox* box);

    // Makes box announced so; the box must have its accessible name.
    static void name_holds(QComboBox* box);

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& action) override;
    QStringList keyBindingsForAction(const QString& action) const override;

private:
    QComboBox* box() const;
};

} // namespace layouts
