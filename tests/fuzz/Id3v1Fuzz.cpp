// The ID3v1 reader on any trailer: fields are at most 30 bytes, and none without "TAG".
#include "tracks/Id3v1.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tracks::TagFields fields = tracks::tag_fields_of(primitives::Bytes(data, data + size));
    for (const primitives::Text* field : {&fields.title, &fields.album, &fields.artist}) {
        if (field->size() > 30) std::abort();
        if (!field->empty() &&
            (size < 3 || (data[0] | 0x20) != 't' || (data[1] | 0x20) != 'a' || (data[2] | 0x20) != 'g'))
            std::abort();
    }
    return 0;
}
