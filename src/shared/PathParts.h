#pragma once

#include <string>

namespace shared {

// The parts of a path around its last "/", found by a byte search: "/" never occurs
// inside a multi-byte character, in UTF-8 or in the GBK bytes a Windows archive
// leaves in a name.
// The folder: "." for a bare name, "/" for a file in the root.
std::string folder_of(const std::string& path);
// The name after the last "/" (the whole path when there is none).
std::string name_of(const std::string& path);

} // namespace shared
