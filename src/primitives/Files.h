#pragma once

#include "primitives/Text.h"

#include <cstdint>
#include <initializer_list>

namespace primitives {

// Folder of the running executable, without a trailing "/".
Text program_folder();

// Size from the directory entry (the file need not be readable); -1 when absent.
std::int64_t file_size(const Text& path);
bool file_exists(const Text& path);
bool delete_file(const Text& path);
// Creates or truncates path and writes the blocks in order; false on any failure,
// a short write or a full disk included.
bool write_file(const Text& path, std::initializer_list<const Bytes*> blocks);
bool write_file(const Text& path, const Bytes& block);

// A read-only file opened without denying anybody anything; 0 means none.
struct FileHandle {
    int fd = -1;
    explicit operator bool() const { return fd >= 0; }
};

enum class SeekOrigin { Start = 1, End = 2, Current = 3 };

FileHandle open_file(const Text& path);
std::int64_t file_length(FileHandle handle);
bool seek_file(FileHandle handle, SeekOrigin origin, std::int64_t distance);
Bytes read_bytes(FileHandle handle, std::int64_t n);
void close_file(FileHandle& handle);

} // namespace primitives

namespace primitives {

// The user's home folder followed by "/": where the output folder starts.
Text home_folder();

} // namespace primitives

namespace primitives {

// True when both paths name one file (same device and inode), whatever links,
// relative parts or spellings lead there.
bool same_file(const Text& a, const Text& b);

} // namespace primitives
