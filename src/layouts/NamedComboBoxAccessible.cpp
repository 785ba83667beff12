#include "layouts/NamedComboBoxAccessible.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

namespace layouts {

namespace {

constexpr char kNameHolds[] = "tunvask_name_holds";

QAccessibleInterface* factory(const QString& class_name, QObject* object) {
    if (class_name != QLatin1String("QComboBox") || !object || !object->property(kNameHolds).toBool()) return nullptr;
    return new NamedComboBoxAccessible(static_cast<QComboBox*>(object));
}

} // namespace

NamedComboBoxAccessible::NamedComboBoxAccessible(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

void NamedComboBoxAccessible::name_holds(QComboBox* combo) {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
    combo->setProperty(kNameHolds, true);
}

QComboBox* NamedComboBoxAccessible::box() const {
    return static_cast<QComboBox*>(widget());
}

QString NamedComboBoxAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Name && !widget()->accessibleName().isEmpty()) return widget()->accessibleName();
    if (t == QAccessible::Value) return box()->isEditable() ? box()->lineEdit()->text() : box()->currentText();
    return QAccessibleWidget::text(t);
}

int NamedComboBoxAccessible::childCount() const {
    return box()->isEditable() ? 2 : 1;
}

QAccessibleInterface* NamedComboBoxAccessible::child(int index) const {
    if (index == 0) return QAccessible::queryAccessibleInterface(box()->view());
    if (index == 1 && box()->isEditable()) return QAccessible::queryAccessibleInterface(box()->lineEdit());
    return nullptr;
}

int NamedComboBoxAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (!child) return -1;
    if (child->object() == box()->view()) return 0;
    if (box()->isEditable() && child->object() == box()->lineEdit()) return 1;
    return -1;
}

QAccessible::State NamedComboBoxAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = box()->view()->isVisible();
    s.editable = box()->isEditable();
    return s;
}

QStringList NamedComboBoxAccessible::actionNames() const {
    return {showMenuAction(), pressAction()};
}

void NamedComboBoxAccessible::doAction(const QString& action) {
    if (action != showMenuAction() && action != pressAction()) return;
    if (box()->view()->isVisible())
        box()->hidePopup();
    else
        box()->showPopup();
}

QStringList NamedComboBoxAccessible::keyBindingsForAction(const QString&) const {
    return {};
}

} // namespace layouts
