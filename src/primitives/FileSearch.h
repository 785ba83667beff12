#pragma once

#include "primitives/Text.h"

#include "primitives/OwnedFolder.h"

namespace primitives {

// The state of one directory walk of list_files; closed when it is destroyed.
class FileSearch {
public:
    FileSearch() = default;
    ~FileSearch() = default;
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;

    bool open(const Text& folder, const Text& pattern);
    // Next matching non-folder name, or the empty text when the walk is over.
    Text next();
    void close();
    bool is_open() const { return static_cast<bool>(m_dir); }

private:
    OwnedFolder m_dir;
    Text m_folder;
    Text m_pattern;
};

// "folder/*.mp3" starts a search, the empty pattern continues it; names only,
// in directory order, folders skipped, wildcards matched regardless of case.
Text list_files(const Text& pattern, FileSearch& state);

} // namespace primitives
