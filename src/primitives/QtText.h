#pragma once

#include <QString>
#include <string_view>

namespace primitives {

// Our texts (UTF-8 paths and literals) as Qt strings, for the widgets.
inline QString to_qstring(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace primitives
