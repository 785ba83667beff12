#pragma once

#include "primitives/Text.h"

namespace primitives {

// INI files of "[section]" lines and "key=value" lines. Sections and keys compare
// without regard to ASCII case, as the Windows profile calls that wrote them did.
Text read_profile_value(const Text& file, const Text& section, const Text& key, const Text& fallback = {});
// Keeps every other line of the file; the new file replaces the old by a rename,
// so a crash never leaves half a settings file behind. Writes nothing (false) when
// the file exists but cannot be read whole, or a text holds a line break.
[[nodiscard]] bool write_profile_value(const Text& file, const Text& section, const Text& key, const Text& value);

// Where the program writes its option changes; the folder is created on demand.
Text settings_file();

} // namespace primitives
