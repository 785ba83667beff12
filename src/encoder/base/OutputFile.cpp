#include "encoder/base/OutputFile.h"

#include "encoder/base/Failure.h"
#include "encoder/base/SignalCleanup.h"
#include "shared/Descriptor.h"
#include "shared/PathParts.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace encoder {

namespace {

// A file system without nameless files (FAT on a player or a stick) is not at hand
// where tvenc is tested: TVENC_NO_NAMELESS_FILES takes the path it takes there.
int open_nameless(const std::string& folder) {
    static const bool allowed = std::getenv("TVENC_NO_NAMELESS_FILES") == nullptr;
    if (!allowed) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
}

int default_mode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~static_cast<int>(mask);
}

} // namespace

OutputFile::OutputFile(const std::string& path) : m_path(path), m_final(shared::destination_of(path)) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) fail_errno(kFailOutput, path, errno);
        stage_beside(default_mode());
        return;
    }
    if (S_ISDIR(info.st_mode)) fail(kFailOutput, Cause::NotAFile, path, "this is a folder, not a file");
    // A FIFO would hold the encoder until someone reads it, a device never ends.
    if (!S_ISREG(info.st_mode)) fail(kFailOutput, Cause::NotAFile, path, "not a regular file");
    if (::access(path.c_str(), W_OK) != 0) fail_errno(kFailOutput, path, errno);
    m_replaced.emplace(info.st_dev, info.st_ino);
    stage_beside(static_cast<int>(info.st_mode & 07777));
}

void OutputFile::stage_beside(int mode) {
    int fd = open_nameless(shared::folder_of(m_final));
    if (fd < 0) {
        m_work = shared::work_file_of(m_final, ::getpid());
        fd = SignalCleanup::create_listed_as(m_work, m_slot);
        if (fd < 0 && errno == EEXIST) {
            // Left by a killed encoder whose process number this one has now.
            m_work += "-XXXXXX";
            fd = SignalCleanup::create_listed(m_work, m_slot);
        }
        if (fd < 0) {
            m_work.clear();
            fail_errno(kFailOutput, m_path, errno);
        }
    }
    ::fchmod(fd, static_cast<mode_t>(mode));
    m_stream.reset(shared::stream_of(shared::Descriptor(fd), "wb"));
    if (!m_stream) fail_errno(kFailOutput, m_path, errno);
}

OutputFile::~OutputFile() {
    m_stream.reset();
    if (!m_work.empty()) ::unlink(m_work.c_str());
    SignalCleanup::drop(m_slot);
}

void OutputFile::start_over() {
    std::FILE* file = stream();
    std::rewind(file);
    if (std::fflush(file) != 0 || ::ftruncate(::fileno(file), 0) != 0) fail_errno(kFailOutput, m_path, errno);
}

StdioFile OutputFile::scratch() const {
    const std::string folder = shared::folder_of(m_final);
    int fd = open_nameless(folder);
    if (fd < 0) {
        // File systems without nameless files: a hidden name, removed at once.
        std::string pattern = folder + "/.tvenc-part-XXXXXX";
        int slot = -1;
        fd = SignalCleanup::create_listed(pattern, slot);
        if (fd < 0) return {};
        ::unlink(pattern.c_str());
        SignalCleanup::drop(slot);
    }
    return StdioFile(shared::stream_of(shared::Descriptor(fd), "w+b"));
}

// A nameless result gets a hidden name first: a name can only be given to a file where
// none is, and the output may already be there.
void OutputFile::name_the_result() {
    const std::string by_descriptor = "/proc/self/fd/" + std::to_string(::fileno(m_stream.get()));
    std::string hidden = shared::work_file_of(m_final, ::getpid()) + "-XXXXXX";
    const auto link = [&](const char* name) {
        return ::linkat(AT_FDCWD, by_descriptor.c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW);
    };
    if (SignalCleanup::make_listed(hidden, m_slot, link) < 0) fail_errno(kFailOutput, m_path, errno);
    m_work = hidden;
}

bool OutputFile::take_free_name(const std::string& name) {
    if (::renameat2(AT_FDCWD, m_work.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) return true;
    // File systems that cannot rename without replacing can still link without it.
    if (errno == EINVAL || errno == ENOSYS) {
        if (::link(m_work.c_str(), name.c_str()) == 0) {
            ::unlink(m_work.c_str());
            return true;
        }
    }
    if (errno == EEXIST) return false;
    fail_errno(kFailOutput, m_path, errno);
}

std::string OutputFile::numbered(int n) const {
    return shared::numbered_path(m_path, n);
}

int OutputFile::commit() {
    if (std::fflush(m_stream.get()) != 0) fail_errno(kFailOutput, m_path, errno);
    if (m_work.empty()) name_the_result();
    if (!close_stdio(m_stream)) fail_errno(kFailOutput, m_path, errno);
    int number = 0;
    struct stat now {};
    const bool still_there = m_replaced && ::stat(m_final.c_str(), &now) == 0 && now.st_dev == m_replaced->first &&
                             now.st_ino == m_replaced->second;
    if (still_there) {
        if (::rename(m_work.c_str(), m_final.c_str()) != 0) fail_errno(kFailOutput, m_path, errno);
    } else if (m_replaced || !take_free_name(m_final)) {
        constexpr int kMostNumbers = 10000;
        int n = 2;
        while (n < kMostNumbers && !take_free_name(numbered(n)))
            ++n;
        if (n == kMostNumbers) fail(kFailOutput, Cause::Internal, m_path, "the name and every numbered one are taken");
        number = n;
    }
    m_work.clear();
    SignalCleanup::drop(m_slot);
    m_slot = -1;
    return number;
}

} // namespace encoder
