#include "primitives/Files.h"

#include "shared/PathParts.h"

#include "shared/FileIdentity.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace primitives {

Text program_folder() {
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    const Text exe(buffer, static_cast<std::size_t>(length));
    const auto slash = exe.rfind('/');
    if (slash == Text::npos || slash == 0) return {};
    return exe.substr(0, slash);
}

std::int64_t process_id() {
    return static_cast<std::int64_t>(::getpid());
}

std::int64_t file_size(const Text& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return -1;
    return static_cast<std::int64_t>(info.st_size);
}

bool file_exists(const Text& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool delete_file(const Text& path) {
    return !path.empty() && ::unlink(path.c_str()) == 0;
}

namespace {

bool write_all(int fd, const Bytes& block) {
    std::size_t done = 0;
    while (done < block.size()) {
        const ssize_t n = ::write(fd, block.data() + done, block.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool write_file(const Text& path, std::initializer_list<const Bytes*> blocks) {
    if (path.empty()) return false;
    shared::Descriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd) return false;
    bool ok = true;
    for (const Bytes* block : blocks)
        ok = ok && write_all(fd.get(), *block);
    // close() is where a network or full file system may first report the failure.
    if (write_file_close()(fd.release()) != 0) ok = false;
    return ok;
}

CloseFunction& write_file_close() {
    static CloseFunction function = ::close;
    return function;
}

bool write_file(const Text& path, const Bytes& block) {
    return write_file(path, {&block});
}

FileHandle open_file(const Text& path) {
    if (path.empty()) return {};
    return FileHandle(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
}

std::int64_t file_length(const FileHandle& handle) {
    struct stat info {};
    if (!handle || ::fstat(handle.get(), &info) != 0) return -1;
    return static_cast<std::int64_t>(info.st_size);
}

bool seek_file(const FileHandle& handle, SeekOrigin origin, std::int64_t distance) {
    if (!handle) return false;
    const int whence = origin == SeekOrigin::Start ? SEEK_SET : origin == SeekOrigin::End ? SEEK_END : SEEK_CUR;
    return ::lseek(handle.get(), static_cast<off_t>(distance), whence) >= 0;
}

Bytes read_bytes(const FileHandle& handle, std::int64_t n) {
    if (!handle || n <= 0) return {};
    Bytes block(static_cast<std::size_t>(n));
    std::size_t done = 0;
    while (done < block.size()) {
        const ssize_t got = ::read(handle.get(), block.data() + done, block.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return {};
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    block.resize(done);
    return block;
}

void close_file(FileHandle& handle) {
    handle.reset();
}

bool is_regular_file(const FileHandle& handle) {
    struct stat info {};
    return handle && ::fstat(handle.get(), &info) == 0 && S_ISREG(info.st_mode);
}

bool is_regular_path(const Text& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace primitives

#include <pwd.h>

namespace primitives {

Text home_folder() {
    const char* home = std::getenv("HOME");
    Text folder = home && *home ? Text(home) : Text{};
    if (folder.empty()) {
        if (const passwd* entry = ::getpwuid(::getuid())) folder = entry->pw_dir;
    }
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

} // namespace primitives

namespace primitives {} // namespace primitives

namespace primitives {

std::optional<FileId> file_id(const Text& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                  S_ISREG(info.st_mode)};
}

bool delete_work_file(const Text& output, long pid) {
    const Text path = shared::work_file_of(shared::destination_of(output), pid);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid()) return false;
    return ::unlink(path.c_str()) == 0;
}

bool remove_folder(const Text& path) {
    return !path.empty() && ::rmdir(path.c_str()) == 0;
}

bool write_new_file(const Text& path, const Bytes& block, int mode) {
    if (path.empty()) return false;
    shared::Descriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return false;
    bool ok = write_all(fd.get(), block) && ::fchmod(fd.get(), static_cast<mode_t>(mode)) == 0;
    ok = shared::close_now(fd) && ok;
    if (!ok) ::unlink(path.c_str());
    return ok;
}

} // namespace primitives
