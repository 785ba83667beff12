#include "primitives/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace primitives {

FolderLock::~FolderLock() {
    release();
}

FolderLock::FolderLock(FolderLock&& other) noexcept : m_fd(std::move(other.m_fd)), m_path(std::move(other.m_path)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        release();
        m_fd = std::move(other.m_fd);
        m_path = std::move(other.m_path);
    }
    return *this;
}

bool FolderLock::acquire(const Text& folder) {
    release();
    const Text path = folder + "/" + kFileName;
    // Close-on-exec: a child that inherited the lock would keep the folder "in use".
    shared::Descriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return false;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        ::unlink(path.c_str());
        return false;
    }
    m_fd = std::move(fd);
    m_path = path;
    return true;
}

void FolderLock::release() {
    if (!m_fd) return;
    ::unlink(m_path.c_str());
    m_fd.reset();
    m_path.clear();
}

bool FolderLock::in_use(const Text& folder) {
    const Text path = folder + "/" + kFileName;
    const shared::Descriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    return fd && ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0;
}

} // namespace primitives
