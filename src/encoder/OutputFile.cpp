#include "encoder/OutputFile.h"

#include "encoder/Failure.h"
#include "encoder/SignalCleanup.h"
#include "shared/PathParts.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace encoder {

namespace {

// A file name has at most 255 bytes; the temporary name adds a dot and a suffix.
constexpr std::size_t kNameBytesKept = 200;

int default_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~static_cast<int>(mask);
}

} // namespace

OutputFile::OutputFile(const std::string& path) : m_path(path), m_final(path), m_work(path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) fail(kFailOutput, path, std::strerror(errno));
        m_final = shared::destination_of(path);
        stage_beside(m_final, default_mode());
        return;
    }
    if (S_ISDIR(info.st_mode)) fail(kFailOutput, path, "this is a folder, not a file");
    // A device or a FIFO cannot be replaced, only written to.
    if (!S_ISREG(info.st_mode)) return;
    if (::access(path.c_str(), W_OK) != 0) fail(kFailOutput, path, std::strerror(errno));
    m_final = shared::destination_of(path);
    stage_beside(m_final, static_cast<int>(info.st_mode & 07777));
}

void OutputFile::stage_beside(const std::string& final_path, int mode) {
    std::string pattern =
        shared::folder_of(final_path) + "/." + shared::name_of(final_path).substr(0, kNameBytesKept) + ".tvenc-XXXXXX";
    const int fd = SignalCleanup::create_listed(pattern, m_slot);
    if (fd < 0) fail(kFailOutput, m_path, std::strerror(errno));
    m_work = pattern;
    m_temporary = true;
    ::fchmod(fd, static_cast<mode_t>(mode));
    m_stream.reset(::fdopen(fd, "wb"));
    if (!m_stream) {
        ::close(fd);
        fail(kFailOutput, m_path, std::strerror(errno));
    }
}

OutputFile::~OutputFile() {
    m_stream.reset();
    if (m_temporary) ::unlink(m_work.c_str());
    SignalCleanup::drop(m_slot);
}

std::FILE* OutputFile::stream() {
    if (!m_stream) {
        m_stream.reset(std::fopen(m_work.c_str(), "wbe"));
        if (!m_stream) fail(kFailOutput, m_path, std::strerror(errno));
    }
    return m_stream.get();
}

void OutputFile::start_over() {
    std::FILE* file = stream();
    std::rewind(file);
    if (std::fflush(file) != 0 || ::ftruncate(::fileno(file), 0) != 0) fail(kFailOutput, m_path, std::strerror(errno));
}

StdioFile OutputFile::scratch() const {
    if (!m_temporary) return nullptr;
    const std::string folder = shared::folder_of(m_final);
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        // File systems without nameless files: a hidden name, removed at once.
        std::string pattern = folder + "/.tvenc-part-XXXXXX";
        int slot = -1;
        fd = SignalCleanup::create_listed(pattern, slot);
        if (fd < 0) return nullptr;
        ::unlink(pattern.c_str());
        SignalCleanup::drop(slot);
    }
    StdioFile file(::fdopen(fd, "w+b"));
    if (!file) ::close(fd);
    return file;
}

void OutputFile::commit() {
    if (m_stream && !close_stdio(m_stream)) fail(kFailOutput, m_path, std::strerror(errno));
    if (!m_temporary) return;
    if (::rename(m_work.c_str(), m_final.c_str()) != 0) fail(kFailOutput, m_path, std::strerror(errno));
    m_temporary = false;
    SignalCleanup::drop(m_slot);
    m_slot = -1;
}

} // namespace encoder
