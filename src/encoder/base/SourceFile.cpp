#include "encoder/base/SourceFile.h"

#include "encoder/base/Failure.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace encoder {

SourceFile::SourceFile(const std::string& path) : m_path(path) {
    m_fd.reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!m_fd) fail_errno(kFailInput, path, errno);
    if (::fstat(m_fd.get(), &m_opened) != 0 || !S_ISREG(m_opened.st_mode))
        fail(kFailInput, Cause::NotAFile, path, "not a regular file");
    m_size = m_opened.st_size;
}

namespace {

bool same_time(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

bool SourceFile::written_since_opened() const {
    struct stat now {};
    if (::fstat(m_fd.get(), &now) != 0) return true;
    if (now.st_size != m_opened.st_size || !same_time(now.st_mtim, m_opened.st_mtim)) return true;
    // A write whose time was set back afterwards still moved the change time. So do a
    // rename, a new link and a deletion, which change nothing that was read: the change
    // time counts only while the file still has its links and its name.
    if (same_time(now.st_ctim, m_opened.st_ctim) || now.st_nlink != m_opened.st_nlink) return false;
    struct stat named {};
    return ::stat(m_path.c_str(), &named) == 0 && named.st_dev == now.st_dev && named.st_ino == now.st_ino;
}

ssize_t SourceFile::read_at(void* buffer, std::size_t size, std::int64_t offset) const {
    ssize_t got = -1;
    do {
        got = ::pread(m_fd.get(), buffer, size, static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    return got;
}

} // namespace encoder
