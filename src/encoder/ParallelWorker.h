#pragma once

#include "encoder/Failure.h"
#include "encoder/ParallelEncoder.h"
#include "encoder/ParallelPlan.h"
#include "encoder/StdioFile.h"

#include <optional>
#include <vector>

namespace encoder {

struct WorkerResult {
    StdioFile stream; // the worker's frames, rewound for reading
    std::vector<std::uint8_t> info;
    int delay = 0;
    std::int64_t fed = 0; // output samples given to LAME
    bool format_changed = false;
    bool not_started = false; // no thread could be had for it
    std::optional<Failure> failure;
};

// Runs one worker per segment, each on its own thread, and reports their progress
// together. A worker whose thread cannot start is marked not_started.
std::vector<WorkerResult> run_workers(const ParallelJob& job, const Grid& grid, const Plan& plan, Progress& progress);

} // namespace encoder
