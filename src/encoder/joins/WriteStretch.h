#pragma once

#include "encoder/joins/JoinPlan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace encoder {

// Where the stretches go: the output file, its audio from audio_start on.
struct AudioTarget {
    int fd;
    const std::string& path;
    std::int64_t audio_start;
};

// Packs stretch k of the plan from its worker's stream and writes it in its place. The
// main data of the frames after it that falls into its frames is written with it.
// Returns the stretch's part of the CRC of all the audio. A Failure where it cannot be
// written.
std::uint16_t write_stretch(const JoinPlan& plan, std::size_t k, const Plan& segments,
                            const std::vector<WorkerResult>& results, const AudioTarget& target);

} // namespace encoder
