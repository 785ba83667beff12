#pragma once

#include "primitives/Text.h"

namespace primitives {

// GBK bytes (ID3v1 fields) as UTF-8 for display; bytes that are no GBK character
// show as U+FFFD instead of vanishing.
Text gbk_to_utf8(const Text& gbk);

// A path as the user should read it, name by name: UTF-8 as it is; a name that is
// not UTF-8 but reads cleanly as GBK (unpacked from a Windows archive) decoded from
// GBK; anything else as it is, for the display to mark its bad bytes.
Text path_for_display(const Text& bytes);
bool is_utf8(const Text& bytes);

} // namespace primitives
