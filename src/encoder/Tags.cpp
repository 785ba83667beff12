#include "encoder/Tags.h"

#include <algorithm>
#include <cstdio>
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

struct File {
    explicit File(const std::string& path) : f(std::fopen(path.c_str(), "rb")) {}
    ~File() {
        if (f) std::fclose(f);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    std::FILE* f;
};

} // namespace

SourceTags read_tags(const std::string& path) {
    SourceTags tags;
    File file(path);
    if (!file.f) return tags;
    std::uint8_t header[kHeaderBytes];
    std::fseek(file.f, 0, SEEK_END);
    const auto file_size = static_cast<std::uint64_t>(std::max(0L, std::ftell(file.f)));
    // Some writers leave several tags in a row; all of them belong to the start.
    for (std::uint64_t at = 0;;) {
        if (std::fseek(file.f, static_cast<long>(at), SEEK_SET) != 0) break;
        if (std::fread(header, 1, kHeaderBytes, file.f) != kHeaderBytes) break;
        const std::uint64_t size = id3v2_size(header);
        // A header may claim up to 256 MB: nothing is taken that the file does not hold.
        if (size == 0 || size > file_size - at) break;
        std::vector<std::uint8_t> tag(size);
        std::memcpy(tag.data(), header, kHeaderBytes);
        if (std::fread(tag.data() + kHeaderBytes, 1, size - kHeaderBytes, file.f) != size - kHeaderBytes) break;
        tags.leading.insert(tags.leading.end(), tag.begin(), tag.end());
        at += size;
    }
    if (std::fseek(file.f, -static_cast<long>(kTrailerBytes), SEEK_END) == 0) {
        std::vector<std::uint8_t> trailer(kTrailerBytes);
        if (std::fread(trailer.data(), 1, kTrailerBytes, file.f) == kTrailerBytes &&
            std::memcmp(trailer.data(), "TAG", 3) == 0 &&
            std::ftell(file.f) > static_cast<long>(tags.leading.size() + kTrailerBytes - 1))
            tags.trailing = std::move(trailer);
    }
    return tags;
}

} // namespace encoder
