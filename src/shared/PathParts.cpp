#include "shared/PathParts.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace shared {

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string numbered_name(const std::string& file_name, int n) {
    const auto dot = file_name.rfind('.');
    const bool has_extension = dot != std::string::npos && dot > 0;
    const std::string stem = has_extension ? file_name.substr(0, dot) : file_name;
    const std::string extension = has_extension ? file_name.substr(dot) : std::string{};
    return stem + " (" + std::to_string(n) + ")" + extension;
}

std::string numbered_path(const std::string& path, int n) {
    const auto slash = path.rfind('/');
    const std::size_t name_at = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, name_at) + numbered_name(path.substr(name_at), n);
}

std::string destination_of(const std::string& path) {
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer)) return buffer;
    std::string at = path;
    // As many links as the kernel itself follows.
    for (int hops = 0; hops < 40; ++hops) {
        const ssize_t length = ::readlink(at.c_str(), buffer, sizeof buffer);
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) return at;
        const std::string target(buffer, static_cast<std::size_t>(length));
        at = target.front() == '/' || at.find('/') == std::string::npos ? target : folder_of(at) + "/" + target;
    }
    return at;
}

std::string work_file_of(const std::string& final_path, long pid) {
    // A name has at most 255 bytes: the hidden name adds a dot and a suffix.
    constexpr std::size_t kNameBytesKept = 200;
    return folder_of(final_path) + "/." + name_of(final_path).substr(0, kNameBytesKept) + ".tvenc-" +
           std::to_string(pid);
}

} // namespace shared
