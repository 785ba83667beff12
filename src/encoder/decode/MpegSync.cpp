#include "encoder/decode/MpegSync.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace encoder {

namespace {

// kbps by bit-rate index: MPEG-1 layers I, II, III, then MPEG-2 and 2.5 layer I, then
// their layers II and III.
constexpr int kRates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
constexpr long kSampleRates[] = {44100, 48000, 32000};
// A free-format frame (bit-rate index 0) is as long as the distance to the next header
// like it; none is longer than this.
constexpr std::size_t kLongestFrame = 4096;
constexpr std::size_t kShortestFrame = 24;

struct Header {
    int version = 0; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int layer = 0;   // 1 to 3
    long rate = 0;
    int protection = 0; // the CRC bit and the emphasis, which no stream changes
    int emphasis = 0;
    std::size_t length = 0; // 0: free format

    bool same_kind(const Header& other) const {
        return version == other.version && layer == other.layer && rate == other.rate &&
               protection == other.protection && emphasis == other.emphasis;
    }
};

std::optional<Header> header_at(const std::uint8_t* b) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return std::nullopt;
    Header h;
    h.version = (b[1] >> 3) & 3;
    h.layer = 4 - ((b[1] >> 1) & 3);
    const int bit_rate_index = (b[2] >> 4) & 15;
    const int rate_index = (b[2] >> 2) & 3;
    h.protection = b[1] & 1;
    h.emphasis = b[3] & 3;
    if (h.version == 1 || h.layer == 4 || bit_rate_index == 15 || rate_index == 3 || h.emphasis == 2)
        return std::nullopt;
    h.rate = kSampleRates[rate_index] >> (h.version == 3 ? 0 : h.version == 2 ? 1 : 2);
    const bool mpeg1 = h.version == 3;
    const long bits = 1000L * kRates[mpeg1 ? h.layer - 1 : (h.layer == 1 ? 3 : 4)][bit_rate_index];
    const long padding = (b[2] >> 1) & 1;
    if (bit_rate_index == 0) {
        h.length = 0;
    } else if (h.layer == 1) {
        h.length = static_cast<std::size_t>((12 * bits / h.rate + padding) * 4);
    } else {
        h.length = static_cast<std::size_t>((h.layer == 3 && !mpeg1 ? 72 : 144) * bits / h.rate + padding);
    }
    return h;
}

// The length of the free-format frame at bytes[at]: up to the next header of its kind.
std::size_t free_length(const std::uint8_t* bytes, std::size_t size, std::size_t at) {
    for (std::size_t next = at + kShortestFrame; next + 3 <= size && next - at <= kLongestFrame; ++next) {
        if (bytes[next] == 0xFF && bytes[next + 1] == bytes[at + 1] &&
            (bytes[next + 2] & 0xFC) == (bytes[at + 2] & 0xFC))
            return next - at;
    }
    return 0;
}

bool is_trailing_tag(const std::uint8_t* bytes, std::size_t size) {
    for (const char* marker : {"TAG", "APETAGEX", "LYRICSBEGIN"}) {
        const std::size_t length = std::strlen(marker);
        if (size >= length && std::memcmp(bytes, marker, length) == 0) return true;
    }
    return false;
}

} // namespace

bool MpegSync::unbroken(const SourceFile& file, std::int64_t from) {
    constexpr std::size_t kWindowBytes = 1 << 16;
    std::vector<std::uint8_t> window(kWindowBytes + kLongestFrame);
    std::int64_t at = from;
    std::optional<Header> first;
    for (;;) {
        const ssize_t got = file.read_at(window.data(), window.size(), at);
        if (got < 0) return false;
        const auto size = static_cast<std::size_t>(got);
        if (size == 0) return first.has_value();
        std::size_t offset = 0;
        while (offset < std::min(size, kWindowBytes)) {
            if (size - offset < 4) return false;
            const auto h = header_at(window.data() + offset);
            if (!h || h->length == 0) return first && is_trailing_tag(window.data() + offset, size - offset);
            if (!first) first = h;
            if (h->version != first->version || h->layer != first->layer) return false;
            if (offset + h->length > size) return false; // cut short
            offset += h->length;
            if (offset == size && static_cast<std::int64_t>(size) < static_cast<std::int64_t>(window.size()))
                return true; // the file ends with a whole frame
        }
        at += static_cast<std::int64_t>(offset);
    }
}

bool MpegSync::run_at(const std::uint8_t* bytes, std::size_t size, std::size_t at, std::size_t end) {
    std::optional<Header> first;
    std::size_t free_frame = 0;
    // Free-format frames measure themselves by the next header like them, which PCM
    // samples hold often enough: they must also keep one length, give or take the padding
    // byte, for twice as many frames.
    for (int k = 0; k < (free_frame ? 2 : 1) * kRunFrames; ++k) {
        if (at + 4 > size) return false;
        const auto h = header_at(bytes + at);
        if (!h) return false;
        if (!first) first = h;
        if (!h->same_kind(*first) || (h->length == 0) != (first->length == 0)) return false;
        std::size_t length = h->length;
        if (length == 0) {
            length = free_length(bytes, size, at);
            if (length == 0 || (free_frame && (length + 1 < free_frame || length > free_frame + 1))) return false;
            if (!free_frame) free_frame = length;
        }
        at += length;
        if (at == end) return true;
    }
    return true;
}

std::optional<std::int64_t> MpegSync::find(const SourceFile& file, std::int64_t from) {
    // A window at a time: an MP3's run starts at its first byte, and every file opened
    // comes here, so only a file without one is read as far as the search goes.
    constexpr std::size_t kWindowBytes = 1 << 16, kRunBytes = kRunFrames * 2 * kLongestFrame;
    std::vector<std::uint8_t> bytes(kWindowBytes + kRunBytes);
    for (std::int64_t offset = 0; offset < kSearchBytes; offset += kWindowBytes) {
        const std::int64_t at = from + offset, available = file.size() - at;
        if (available <= 0) return std::nullopt;
        const ssize_t got = file.read_at(bytes.data(), bytes.size(), at);
        if (got <= 0) return std::nullopt;
        const auto size = static_cast<std::size_t>(got);
        // The audio ends at the file's end, or where an ID3v1 trailer begins; a run that
        // ends there may be short. Where the bytes read stop before, no run is.
        std::size_t end = SIZE_MAX;
        if (static_cast<std::int64_t>(size) == available) {
            end = size;
            if (end >= 128 && std::memcmp(bytes.data() + end - 128, "TAG", 3) == 0) end -= 128;
        }
        for (std::size_t i = 0; i < std::min(size, kWindowBytes); ++i) {
            if (bytes[i] == 0xFF && run_at(bytes.data(), size, i, end)) return at + static_cast<std::int64_t>(i);
        }
    }
    return std::nullopt;
}

} // namespace encoder
