#pragma once

#include <string>

namespace shared {

// True when both paths name one file: the same device and inode, whatever links,
// relative parts or spellings lead there. False when either does not exist.
bool same_file(const std::string& a, const std::string& b);

} // namespace shared
