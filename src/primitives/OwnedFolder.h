#pragma once

#include "shared/Owned.h"

#include <dirent.h>

namespace primitives {

inline void close_folder(DIR* folder) {
    ::closedir(folder);
}
// An open folder walk, closed on every path.
using OwnedFolder = shared::Owned<DIR*, close_folder>;

} // namespace primitives
