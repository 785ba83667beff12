#pragma once

#include "encoder/base/SourceFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace encoder {

// The tags around a source's audio, kept byte for byte: every ID3v2 tag at the
// start (pictures and all) and the ID3v1 trailer at the end.
struct SourceTags {
    std::vector<std::uint8_t> leading;  // ID3v2, possibly empty
    std::vector<std::uint8_t> trailing; // ID3v1, empty or 128 bytes
};

SourceTags read_tags(const SourceFile& file);
// The bytes of the ID3v2 tags at the start, where the audio begins.
std::int64_t leading_tag_bytes(const SourceFile& file);

} // namespace encoder
