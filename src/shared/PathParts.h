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

// "name (n).ext": the name with its number before the last dot of the file name, the
// series of names under which a result goes where its own name is taken.
std::string numbered_name(const std::string& file_name, int n);
// The same for the name part of a path, its folder as it is spelled.
std::string numbered_path(const std::string& path, int n);

// Where writing to path ends up: the real path of an existing file, through every
// symlink; for a link whose target does not exist yet, where the links lead; else
// path itself.
std::string destination_of(const std::string& path);

// The hidden name beside final_path under which the encoder started as process pid
// writes its result where the file system has no nameless files, so that whoever
// started it can remove that file, and nothing else, should the encoder be killed.
std::string work_file_of(const std::string& final_path, long pid);

} // namespace shared
