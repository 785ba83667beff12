#pragma once

#include "encoder/base/SourceFile.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace encoder {

// Where MPEG audio (layers I to III) starts: a run of frame headers of one version,
// layer and sample rate, each where the one before it ends. One header alone proves
// nothing: any 11 set bits look like one, and PCM audio or a picture holds many.
class MpegSync {
public:
    // Frames that make a run; fewer do where they end the data exactly (a file of a
    // frame or two).
    static constexpr int kRunFrames = 3;
    // How far after from a run is looked for: libmpg123 finds one further on, but a
    // file with a megabyte of anything else first is not an MP3.
    static constexpr std::int64_t kSearchBytes = 1 << 20;

    // The first run at or after from, no further than kSearchBytes.
    static std::optional<std::int64_t> find(const SourceFile& file, std::int64_t from);
    // Whether the frames from from follow one another to the end of the file, or to a
    // tag there (ID3v1, APE, Lyrics3): no junk, no gap, no frame cut short. A copy of a
    // file that is not so keeps its damage, which stricter decoders stop at.
    static bool unbroken(const SourceFile& file, std::int64_t from);
    // Whether a run starts at bytes[at], in bytes[0, size) whose data ends at end.
    static bool run_at(const std::uint8_t* bytes, std::size_t size, std::size_t at, std::size_t end);
};

} // namespace encoder
