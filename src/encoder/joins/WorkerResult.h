#pragma once

#include "encoder/base/StdioFile.h"
#include "encoder/mp3/Mp3Frame.h"

#include <cstdint>
#include <exception>
#include <vector>

namespace encoder {

// What one worker made of its share of a file.
struct WorkerResult {
    StdioFile stream; // the worker's frames, rewound for reading
    std::vector<std::uint8_t> info;
    int delay = 0;
    std::int64_t fed_samples = 0; // output samples given to LAME
    // Index of the first frame that the stream had not yet made whole when LAME was
    // flushed: frames before it are as a longer encode makes them.
    std::int64_t clean_end_frame = 0;
    // Every frame of the stream after the place kept for the Info frame (frames_before),
    // in order; shapes_whole is false where the stream could not be taken apart.
    std::vector<FrameShape> shapes;
    int frames_before = 0;
    bool shapes_whole = true;
    bool format_changed = false;
    bool not_started = false; // no thread, or no room for its frames, could be had for it
    std::exception_ptr error; // whatever ended the worker, for the main thread to handle

    // Encoded to the end of its share, in the format the file started with.
    bool encoded() const { return !error && !format_changed && !not_started; }
};

} // namespace encoder
