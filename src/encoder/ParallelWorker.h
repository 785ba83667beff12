#pragma once

#include "encoder/Failure.h"
#include "encoder/ParallelEncoder.h"
#include "encoder/ParallelPlan.h"
#include "encoder/StdioFile.h"

#include <exception>
#include <vector>

namespace encoder {

struct WorkerResult {
    StdioFile stream; // the worker's frames, rewound for reading
    std::vector<std::uint8_t> info;
    int delay = 0;
    std::int64_t fed = 0; // output samples given to LAME
    bool format_changed = false;
    bool not_started = false; // no thread, or no room for its frames, could be had for it
    std::exception_ptr error; // whatever ended the worker, for the main thread to handle
};

// Runs one worker per segment, each on its own thread, and reports their progress
// together; a worker that is done takes over part of the largest remainder, which
// adds a segment. Returns the results in the order of the file, with the plan as it
// ended. A worker whose thread or scratch file cannot be had is marked not_started.
std::vector<WorkerResult> run_workers(const ParallelJob& job, const Grid& grid, Plan& plan, std::int64_t total_frames,
                                      Progress& progress);

} // namespace encoder
