#pragma once

#include "encoder/AudioSource.h"
#include "encoder/Mp3Writer.h"
#include "encoder/Options.h"
#include "encoder/OutputFile.h"
#include "encoder/Progress.h"
#include "encoder/Tags.h"

namespace encoder {

// One file on several cores: the output timeline is cut into segments on frame
// boundaries, each encoded by its own decoder and LAME instance starting a few
// frames early, and the frame streams are joined where the window sequence and
// the bit reservoir allow it. False when the file is too short for that, its format
// changes mid-way, no join fits or a worker gets no thread or no room for its frames:
// then it is encoded serially.
struct ParallelJob {
    const Options& options;
    const SourceFile& source;
    OutputFile& output;
    const StreamFacts& facts; // of the source as first opened
    long in_rate;             // rate and channels of the decoded audio
    int in_channels;
    OutputFormat format;
    const SourceTags& tags;
    int threads;
    Progress& progress;
};

bool encode_in_parallel(const ParallelJob& job);

// How many segments a file of this many output frames is cut into.
int segment_count(std::int64_t total_frames, int threads);

} // namespace encoder
