#pragma once

#include "primitives/Text.h"
#include "shared/Descriptor.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <unistd.h>

namespace primitives {

// Folder of the running executable, without a trailing "/".
Text program_folder();
// This process's id.
std::int64_t process_id();

// Size from the directory entry (the file need not be readable); -1 when absent.
std::int64_t file_size(const Text& path);
bool file_exists(const Text& path);
bool delete_file(const Text& path);
// Creates or truncates path and writes the blocks in order; false on any failure,
// a short write or a full disk included.
bool write_file(const Text& path, std::initializer_list<const Bytes*> blocks);
bool write_file(const Text& path, const Bytes& block);
// The close() that write_file calls, replaceable so that a test can make the close
// fail, as it does where a network or full file system reports an error only then.
using CloseFunction = int (*)(int);
CloseFunction& write_file_close();

// A read-only file opened without denying anybody anything, without waiting for a
// writer when it is a FIFO, and never becoming the controlling terminal; closed when it
// goes, on every path.
using FileHandle = shared::Descriptor;

enum class SeekOrigin { Start = 1, End = 2, Current = 3 };

FileHandle open_file(const Text& path);
std::int64_t file_length(const FileHandle& handle);
bool seek_file(const FileHandle& handle, SeekOrigin origin, std::int64_t distance);
Bytes read_bytes(const FileHandle& handle, std::int64_t n);
void close_file(FileHandle& handle);

// Only a regular file has a trailer worth reading; a FIFO or device may never end.
bool is_regular_file(const FileHandle& handle);
// The same, asked of the path (through symlinks) without opening anything.
bool is_regular_path(const Text& path);

} // namespace primitives

namespace primitives {

// The user's home folder followed by "/": where the output folder starts.
Text home_folder();

} // namespace primitives

namespace primitives {

// What makes a file itself, whatever path leads to it.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool regular = true; // not a folder, FIFO, device or socket
    bool operator==(const FileId&) const = default;
};
struct FileIdHash {
    std::size_t operator()(const FileId& id) const { return std::hash<std::uint64_t>()(id.inode * 31 + id.device); }
};
// The file a path names (through symlinks); nothing when there is none.
std::optional<FileId> file_id(const Text& path);

bool remove_folder(const Text& path);
// Removes the file an encoder started as process pid writes its result to while it
// works (beside output, hidden), if that is a regular file of this user's.
bool delete_work_file(const Text& output, long pid);
// Creates path, which must not exist yet (nor be a symlink), with the mode given
// and writes block into it; false on any failure, and then nothing is left.
[[nodiscard]] bool write_new_file(const Text& path, const Bytes& block, int mode);

} // namespace primitives
