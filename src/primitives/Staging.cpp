#include "primitives/Staging.h"

#include "primitives/Files.h"
#include "primitives/FolderLock.h"
#include "primitives/OwnedFolder.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace primitives {

namespace {

// A folder younger than this may be one that another program is just setting up,
// before it could take its lock.
constexpr std::time_t kSettlingSeconds = 10;

Text environment(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? Text(value) : Text{};
}

Text cache_base() {
    const Text cache = environment("XDG_CACHE_HOME");
    return (cache.empty() ? home_folder() + ".cache" : cache) + "/tunvask";
}

void make_cache_folder(const Text& folder) {
    const auto slash = folder.rfind('/');
    if (slash != Text::npos && slash > 0) ::mkdir(folder.substr(0, slash).c_str(), 0700);
    ::mkdir(folder.c_str(), 0700);
}

bool settled(const struct stat& info) {
    return std::time(nullptr) - info.st_mtime >= kSettlingSeconds;
}

// Only what the program put there: plain files, no folders.
bool remove_folder_and_files(const Text& folder) {
    {
        const OwnedFolder dir(::opendir(folder.c_str()));
        if (!dir) return false;
        while (const dirent* entry = ::readdir(dir.get())) {
            const Text name = entry->d_name;
            if (name != "." && name != "..") ::unlinkat(::dirfd(dir.get()), name.c_str(), 0);
        }
    }
    return ::rmdir(folder.c_str()) == 0;
}

bool stale(const Text& folder) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) return false;
    return settled(info) && !FolderLock::in_use(folder);
}

// As OpenSSH checks the path of a key file: whoever may rename a folder on the way may
// put a folder of their own in its place.
bool safe_ancestors(const Text& folder) {
    char real[PATH_MAX];
    if (!::realpath(folder.c_str(), real)) return false;
    for (Text at = real; at.size() > 1;) {
        at = at.substr(0, std::max<std::size_t>(at.rfind('/'), 1));
        struct stat info {};
        if (::stat(at.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
        const bool sticky = (info.st_mode & S_ISVTX) != 0;
        if (info.st_uid != ::getuid() && info.st_uid != 0) return false;
        if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !sticky) return false;
    }
    return true;
}

bool allows_programs(const Text& folder) {
    struct statvfs info {};
    return ::statvfs(folder.c_str(), &info) == 0 && (info.f_flag & ST_NOEXEC) == 0;
}

} // namespace

bool is_safe_base(const Text& folder) {
    struct stat info {};
    if (folder.empty() || ::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    const bool sticky = (info.st_mode & S_ISVTX) != 0;
    if (info.st_uid != ::getuid() && !(info.st_uid == 0 && sticky)) return false;
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !sticky) return false;
    return ::access(folder.c_str(), W_OK | X_OK) == 0 && allows_programs(folder) && safe_ancestors(folder);
}

std::vector<Text> staging_bases(bool create_cache) {
    const Text cache = cache_base();
    if (create_cache && !cache.empty()) make_cache_folder(cache);
    std::vector<Text> bases;
    for (const Text& candidate : {environment("XDG_RUNTIME_DIR"), environment("TMPDIR"), Text("/tmp"), cache}) {
        if (is_safe_base(candidate)) bases.push_back(candidate);
    }
    return bases;
}

Text make_private_folder(const Text& base, const Text& prefix) {
    Text pattern = base + "/" + prefix + "XXXXXX";
    if (!::mkdtemp(pattern.data())) return {};
    return pattern;
}

int remove_stale_folders(const Text& prefix) {
    int removed = 0;
    for (const Text& base : staging_bases(false)) {
        const OwnedFolder dir(::opendir(base.c_str()));
        if (!dir) continue;
        while (const dirent* entry = ::readdir(dir.get())) {
            const Text name = entry->d_name;
            if (name.compare(0, prefix.size(), prefix) != 0) continue;
            const Text folder = base + "/" + name;
            if (stale(folder) && remove_folder_and_files(folder)) ++removed;
        }
    }
    return removed;
}

} // namespace primitives
