#pragma once

#include "layouts/LayoutRecords.h"

#include <QKeyCombination>
#include <QString>

namespace layouts {

// A key of the fixed table of 76 shortcut keys (see KeyNumber), as pressed and as shown.
struct ShortcutKey {
    QKeyCombination combination;
    QString display_name;
};

// The key of a table number; an empty combination for 0 or a number off the table.
ShortcutKey shortcut_key(KeyNumber key);

} // namespace layouts
