// The frame and side-information reader on any stream, and the reservoir packer on
// whatever frames it finds: no crash, no read out of bounds, sizes that add up.
#include "encoder/Mp3Frame.h"
#include "encoder/ReservoirPacker.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= 4) {
        const encoder::FrameHeader header = encoder::parse_frame_header(data);
        if (header.valid && (header.length < 4 + header.side_info || header.side_info < 0)) std::abort();
    }
    std::FILE* in = ::fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!in) return 0;
    char* packed = nullptr;
    std::size_t packed_size = 0;
    std::FILE* out = ::open_memstream(&packed, &packed_size);
    {
        encoder::Mp3FrameReader reader(in);
        encoder::ReservoirPacker packer(out);
        encoder::Mp3Frame frame;
        int frames = 0;
        while (frames++ < 2000 && reader.next(frame)) {
            if (frame.length < static_cast<int>(frame.head.size())) std::abort();
            if (!packer.append(frame)) break;
        }
        packer.finish();
    }
    std::fclose(out);
    std::fclose(in);
    std::free(packed);
    return 0;
}
