#include "tracks/Id3v1.h"

#include "primitives/Files.h"

namespace tracks {

using namespace primitives;

namespace {

constexpr std::int64_t kTrailerBytes = 128;
constexpr std::int64_t kFieldBytes = 30;

std::int64_t field_start(int selector) {
    switch (selector) {
    case Title:
        return 4;
    case Album:
        return 64;
    case Artist:
        return 34;
    default:
        return 0;
    }
}

Bytes read_trailer(const Text& path) {
    // A FIFO or device named like an MP3 would keep the window waiting for ever, and
    // opening a terminal could make it the program's own: neither is opened at all.
    if (!is_regular_path(path)) return {};
    const FileHandle file = open_file(path);
    // It may have been swapped for something else since.
    if (!is_regular_file(file)) return {};
    const std::int64_t length = file_length(file);
    // A negative position fails and leaves a short file read from its start.
    seek_file(file, SeekOrigin::Start, length - kTrailerBytes);
    return read_bytes(file, kTrailerBytes);
}

Text tag_field_of(const Bytes& window, int selector) {
    const std::int64_t start = field_start(selector);
    if (start == 0) return {};
    if (to_upper(to_text(middle_bytes(window, 1, 3))) != "TAG") return {};
    return to_text(middle_bytes(window, start, kFieldBytes));
}

} // namespace

Text read_tag_field(const Text& path, int selector) {
    if (field_start(selector) == 0) return {};
    return tag_field_of(read_trailer(path), selector);
}

TagFields read_tag(const Text& path) {
    return tag_fields_of(read_trailer(path));
}

TagFields tag_fields_of(const Bytes& trailer) {
    return {tag_field_of(trailer, Title), tag_field_of(trailer, Album), tag_field_of(trailer, Artist)};
}

Text size_text(const Text& path) {
    return to_text(file_size(path));
}

} // namespace tracks
