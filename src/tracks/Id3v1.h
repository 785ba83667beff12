#pragma once

#include "primitives/Text.h"

namespace tracks {

enum TagField { Title = 1, Album = 2, Artist = 3 };

// Raw GBK bytes of one ID3v1 field of the file's last 128 bytes (for a shorter
// file, its whole content); empty when there is no "TAG" marker, in any case.
primitives::Text read_tag_field(const primitives::Text& path, int selector);

struct TagFields {
    primitives::Text title;
    primitives::Text album;
    primitives::Text artist;
};

// The three fields from one read of the trailer: a row costs one open, not three.
TagFields read_tag(const primitives::Text& path);
// The three fields of a trailer already read (the file's last 128 bytes).
TagFields tag_fields_of(const primitives::Bytes& trailer);

// The file's size in bytes as plain digits; "-1" when it cannot be found.
primitives::Text size_text(const primitives::Text& path);

} // namespace tracks
