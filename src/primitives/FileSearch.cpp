#include "primitives/FileSearch.h"

#include <fnmatch.h>
#include <sys/stat.h>

namespace primitives {

bool FileSearch::open(const Text& folder, const Text& pattern) {
    m_dir.reset(::opendir(folder.empty() ? "." : folder.c_str()));
    m_folder = folder;
    m_pattern = pattern;
    return static_cast<bool>(m_dir);
}

namespace {

bool is_folder(const Text& folder, const dirent* entry) {
    if (entry->d_type == DT_DIR) return true;
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) return false;
    struct stat info {};
    const Text path = (folder.empty() ? Text(".") : folder) + "/" + entry->d_name;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

Text FileSearch::next() {
    while (m_dir) {
        const dirent* entry = ::readdir(m_dir.get());
        if (!entry) break;
        if (::fnmatch(m_pattern.c_str(), entry->d_name, FNM_CASEFOLD) != 0) continue;
        if (is_folder(m_folder, entry)) continue;
        return entry->d_name;
    }
    close();
    return {};
}

void FileSearch::close() {
    m_dir.reset();
}

Text list_files(const Text& pattern, FileSearch& state) {
    if (!pattern.empty()) {
        // A byte search: "/" is never part of a character in UTF-8 or GBK, but a walk by
        // UTF-8 characters would step over it after a GBK byte that looks like a lead.
        const auto slash = pattern.rfind('/');
        const Text folder = slash == Text::npos ? Text{} : pattern.substr(0, slash == 0 ? 1 : slash);
        const Text name = slash == Text::npos ? pattern : pattern.substr(slash + 1);
        if (!state.open(folder, name)) return {};
    }
    return state.next();
}

} // namespace primitives
