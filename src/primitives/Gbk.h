#pragma once

#include "primitives/Text.h"

namespace primitives {

// GBK bytes (ID3v1 fields) as UTF-8 for display; bytes that are no GBK character
// show as U+FFFD instead of vanishing.
Text gbk_to_utf8(const Text& gbk);

} // namespace primitives
