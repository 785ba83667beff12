#pragma once

#include "encoder/base/Options.h"
#include "encoder/base/OutputFile.h"
#include "encoder/base/Progress.h"
#include "encoder/decode/AudioSource.h"
#include "encoder/decode/Tags.h"
#include "encoder/mp3/LameEncoder.h"

namespace encoder {

// What the workers of one file share: the file, its output and how it is encoded.
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

} // namespace encoder
