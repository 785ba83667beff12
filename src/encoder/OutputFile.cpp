#include "encoder/OutputFile.h"

#include "encoder/Failure.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace encoder {

namespace {

// A file name has at most 255 bytes; the temporary name adds a dot and a suffix.
constexpr std::size_t kNameBytesKept = 200;

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int default_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~static_cast<int>(mask);
}

std::string resolved(const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

} // namespace

OutputFile::OutputFile(const std::string& path) : m_path(path), m_final(path), m_work(path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) fail(kFailOutput, path, std::strerror(errno));
        stage_beside(path, default_mode());
        return;
    }
    if (S_ISDIR(info.st_mode)) fail(kFailOutput, path, "this is a folder, not a file");
    // A device or a FIFO cannot be replaced, only written to.
    if (!S_ISREG(info.st_mode)) return;
    if (::access(path.c_str(), W_OK) != 0) fail(kFailOutput, path, std::strerror(errno));
    m_final = resolved(path);
    stage_beside(m_final, static_cast<int>(info.st_mode & 07777));
}

void OutputFile::stage_beside(const std::string& final_path, int mode) {
    std::string pattern =
        folder_of(final_path) + "/." + name_of(final_path).substr(0, kNameBytesKept) + ".tvenc-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) fail(kFailOutput, m_path, std::strerror(errno));
    ::fchmod(fd, static_cast<mode_t>(mode));
    ::close(fd);
    m_work = pattern;
    m_temporary = true;
}

OutputFile::~OutputFile() {
    if (m_temporary) ::unlink(m_work.c_str());
}

void OutputFile::commit() {
    if (!m_temporary) return;
    if (::rename(m_work.c_str(), m_final.c_str()) != 0) fail(kFailOutput, m_path, std::strerror(errno));
    m_temporary = false;
}

} // namespace encoder
