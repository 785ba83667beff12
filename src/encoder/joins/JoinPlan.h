#pragma once

#include "encoder/joins/ParallelPlan.h"
#include "encoder/joins/WorkerResult.h"
#include "encoder/mp3/ReservoirPacker.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace encoder {

// One worker's stretch of the joined stream.
struct Stretch {
    std::int64_t first_frame = 0; // global index of its first frame
    std::int64_t frames = 0;      // how many it has
    ReservoirPacker::State start; // the packing state before its first frame
    std::uint64_t offset = 0;     // audio bytes before it
    std::uint64_t bytes = 0;      // its own frames' bytes
};

// How the workers' streams make up the output: the frame each join chooses, the
// packing state where each stretch starts and its place among the audio bytes. Worked
// out from the frames' shapes alone, so that every stretch can then be packed and
// written on a core of its own.
struct JoinPlan {
    std::vector<Stretch> stretches;         // one per worker, in the order of the file
    std::vector<std::uint16_t> frame_sizes; // of every frame of the output, for the Info frame
    std::uint64_t audio_bytes = 0;
};

// Nullopt when some join finds no frame that fits, or a stream could not be taken apart.
std::optional<JoinPlan> plan_joins(const Plan& plan, const std::vector<WorkerResult>& results);

} // namespace encoder
