#include "encoder/decode/Tags.h"

#include <cstring>

namespace encoder {

namespace {

constexpr std::size_t kHeaderBytes = 10;
constexpr std::size_t kTrailerBytes = 128;

// Total size of an ID3v2 tag whose header is h, or 0 when h is none.
std::uint64_t id3v2_size(const std::uint8_t* h) {
    if (std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF) return 0;
    std::uint64_t size = 0;
    for (int i = 6; i < 10; ++i) {
        if (h[i] & 0x80) return 0;
        size = (size << 7) | h[i];
    }
    const bool footer = (h[5] & 0x10) != 0;
    return kHeaderBytes + size + (footer ? kHeaderBytes : 0);
}

} // namespace

std::int64_t leading_tag_bytes(const SourceFile& file) {
    std::uint8_t header[kHeaderBytes];
    const auto file_size = static_cast<std::uint64_t>(file.size());
    // Some writers leave several tags in a row; all of them belong to the start.
    std::uint64_t at = 0;
    while (file.read_at(header, kHeaderBytes, static_cast<std::int64_t>(at)) == kHeaderBytes) {
        const std::uint64_t size = id3v2_size(header);
        // A header may claim up to 256 MB: nothing is taken that the file does not hold.
        if (size == 0 || size > file_size - at) break;
        at += size;
    }
    return static_cast<std::int64_t>(at);
}

SourceTags read_tags(const SourceFile& file) {
    SourceTags tags;
    const auto file_size = static_cast<std::uint64_t>(file.size());
    const auto read_at = [&](std::uint8_t* to, std::uint64_t size, std::uint64_t at) {
        return file.read_at(to, size, static_cast<std::int64_t>(at)) == static_cast<ssize_t>(size);
    };
    tags.leading.resize(static_cast<std::size_t>(leading_tag_bytes(file)));
    if (!read_at(tags.leading.data(), tags.leading.size(), 0)) tags.leading.clear();
    std::vector<std::uint8_t> trailer(kTrailerBytes);
    if (file_size >= tags.leading.size() + kTrailerBytes &&
        read_at(trailer.data(), kTrailerBytes, file_size - kTrailerBytes) && std::memcmp(trailer.data(), "TAG", 3) == 0)
        tags.trailing = std::move(trailer);
    return tags;
}

} // namespace encoder
