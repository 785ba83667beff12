#pragma once

#include "encoder/Failure.h"
#include "encoder/JoinChoice.h"
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
    // Index of the first frame that the stream had not yet made whole when LAME was
    // flushed: frames before it are as a longer encode makes them.
    std::int64_t clean_end_frame = 0;
    bool format_changed = false;
    bool not_started = false; // no thread, or no room for its frames, could be had for it
    std::exception_ptr error; // whatever ended the worker, for the main thread to handle
};

// CPU seconds of each worker thread and of the progress reporter, when asked for.
struct ThreadTimes {
    std::vector<double> workers;
    double reporter = 0;
};

// CPU seconds the calling thread has used so far.
double thread_cpu_seconds();

// Runs one worker per segment, each on its own thread, and reports their progress
// together; a worker that is done takes over part of the largest remainder, which
// adds a segment. Returns the results in the order of the file, with the plan as it
// ended. A worker whose thread or scratch file cannot be had is marked not_started.
std::vector<WorkerResult> run_workers(const ParallelJob& job, const Grid& grid, Plan& plan, std::int64_t total_frames,
                                      Progress& progress, ThreadTimes& times);

} // namespace encoder
