#include "layouts/KeyTable.h"

namespace layouts {

namespace {

ShortcutKey function_key(int index, Qt::KeyboardModifiers modifiers, const QString& prefix) {
    const auto key = static_cast<Qt::Key>(Qt::Key_F1 + index);
    return {QKeyCombination(modifiers, key), prefix + QStringLiteral("F%1").arg(index + 1)};
}

} // namespace

ShortcutKey shortcut_key(KeyNumber key) {
    const int number = static_cast<int>(key);
    if (number >= 1 && number <= 26) {
        const QChar letter(u'A' + (number - 1));
        return {QKeyCombination(Qt::ControlModifier, static_cast<Qt::Key>(Qt::Key_A + number - 1)),
                QStringLiteral("Ctrl+") + letter};
    }
    if (number >= 27 && number <= 38) return function_key(number - 27, Qt::NoModifier, {});
    if (number >= 39 && number <= 50) return function_key(number - 39, Qt::ControlModifier, QStringLiteral("Ctrl+"));
    if (number >= 51 && number <= 62) return function_key(number - 51, Qt::ShiftModifier, QStringLiteral("Shift+"));
    if (number >= 63 && number <= 74)
        return function_key(number - 63, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("Ctrl+Shift+"));
    if (number == 75) return {QKeyCombination(Qt::Key_Insert), QStringLiteral("Ins")};
    if (number == 76) return {QKeyCombination(Qt::Key_Delete), QStringLiteral("Del")};
    return {};
}

} // namespace layouts
