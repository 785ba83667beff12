// Batch add's folder walk and the splitting of paths: files of any names (bytes other
// than "/" and NUL, GBK and UTF-8 alike) are each listed once by "*.mp3" exactly when
// their name ends in ".mp3" in any case, folders never; a path's folder and name put
// together give the path again.
#include "TempDir.h"
#include "primitives/FileSearch.h"
#include "shared/PathParts.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool ends_in_mp3(const std::string& name) {
    if (name.size() < 4) return false;
    std::string end = name.substr(name.size() - 4);
    std::transform(end.begin(), end.end(), end.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return end == ".mp3";
}

void check_path_parts(const std::string& path) {
    const std::string folder = shared::folder_of(path), name = shared::name_of(path);
    if (name.find('/') != std::string::npos) std::abort();
    if (path.find('/') == std::string::npos) {
        if (folder != "." || name != path) std::abort();
    } else if (path.rfind('/') == 0) {
        if (folder != "/" || "/" + name != path) std::abort();
    } else if (folder + "/" + name != path) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    check_path_parts(bytes.substr(0, bytes.find('\0')));
    // Names are the pieces between NUL bytes, with "/" made a byte a name may hold.
    std::set<std::string> names;
    for (std::size_t start = 0; start < bytes.size() && names.size() < 16;) {
        const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
        std::string name = bytes.substr(start, std::min<std::size_t>(end - start, 200));
        std::replace(name.begin(), name.end(), '/', '_');
        if (!name.empty() && name != "." && name != "..") names.insert(name);
        start = end + 1;
    }
    const TempDir folder;
    std::set<std::string> expected;
    for (const std::string& name : names) {
        const std::string path = folder.path() + "/" + name;
        // Every third a folder: never listed, whatever its name.
        const bool as_folder = name.size() % 3 == 0;
        if (as_folder ? ::mkdir(path.c_str(), 0755) != 0 : ::close(::open(path.c_str(), O_CREAT | O_WRONLY, 0644)) != 0)
            continue;
        if (!as_folder && ends_in_mp3(name)) expected.insert(name);
    }
    primitives::FileSearch search;
    std::set<std::string> listed;
    for (primitives::Text name = primitives::list_files(folder.path() + "/*.mp3", search); !name.empty();
         name = primitives::list_files({}, search)) {
        if (!listed.insert(name).second) std::abort(); // listed twice
    }
    if (listed != expected) std::abort();
    return 0;
}
