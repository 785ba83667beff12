#pragma once

#include "primitives/Text.h"

#include <vector>

namespace primitives {

// Folders in which this program may keep files of its own for a while, best first:
// $XDG_RUNTIME_DIR, $TMPDIR, /tmp, then its cache folder ($XDG_CACHE_HOME/tunvask,
// made 0700 when create_cache is set: only when nothing else would do, so that a home
// stays as it was). Only those that pass is_safe_base.
std::vector<Text> staging_bases(bool create_cache);

// A real folder (no symlink) owned by this user, or by root with the sticky bit,
// writable by this user, and writable by nobody else unless sticky, on a file system
// that lets programs start; and every folder above it owned by this user or root and
// writable by nobody else unless sticky: nobody else can rename or replace what this
// user makes there, nor the folder itself.
bool is_safe_base(const Text& folder);

// A new folder only this user can enter, in base, its name starting with prefix;
// empty when none could be made.
Text make_private_folder(const Text& base, const Text& prefix);

// Removes this user's folders named prefix* in the staging bases whose lock (see
// FolderLock) nobody holds and that are older than a few seconds, with the files in
// them. Returns how many it removed.
int remove_stale_folders(const Text& prefix);

} // namespace primitives
