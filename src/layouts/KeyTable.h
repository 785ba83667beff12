#pragma once

#include <QKeyCombination>
#include <QString>

namespace layouts {

// The fixed table of 76 shortcut keys: 1-26 Ctrl+A..Z, 27-38 F1..F12,
// 39-50 Ctrl+F1.., 51-62 Shift+F1.., 63-74 Ctrl+Shift+F1.., 75 Ins, 76 Del.
struct ShortcutKey {
    QKeyCombination combination;
    QString display_name;
};

// The key of a table number; an empty combination for 0 or a number off the table.
ShortcutKey shortcut_key(int number);

} // namespace layouts
