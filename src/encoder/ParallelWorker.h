#pragma once

#include "encoder/Failure.h"
#include "encoder/JoinChoice.h"
#include "encoder/ParallelEncoder.h"
#include "encoder/ParallelPlan.h"
#include "encoder/StdioFile.h"

#include <exception>
#include <functional>
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

// CPU seconds of each worker thread and of each task after encoding, when asked for.
struct ThreadTimes {
    std::vector<double> workers; // encoding, and starting the threads after it
    std::vector<double> tasks;   // each task after encoding
    double tasks_here = 0;       // of those, what ran on the calling thread
};

// CPU seconds the calling thread has used so far.
double thread_cpu_seconds();

// What the worker threads do once every share is encoded. prepare runs on the main
// thread with the results in the order of the file and the plan as it ended, and tells
// how many tasks there are (none: the threads end); the threads then share them.
struct AfterEncoding {
    std::function<std::size_t(Plan&, std::vector<WorkerResult>&)> prepare;
    std::function<void(std::size_t)> task;
};

// Runs one worker per segment, each on its own thread, and reports their progress
// together from the calling thread; a worker that is done takes over part of the largest remainder, which
// adds a segment. Once all are done, the tasks after. Fills results, which the caller
// owns and after.prepare sees, in the order of the file, with the plan as it ended. A
// worker whose thread or scratch file cannot be had is marked not_started. A task's
// failure is thrown here.
void run_workers(const ParallelJob& job, const Grid& grid, Plan& plan, std::int64_t total_frames, Progress& progress,
                 ThreadTimes& times, const AfterEncoding& after, std::vector<WorkerResult>& results);

} // namespace encoder
