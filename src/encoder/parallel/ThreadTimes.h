#pragma once

#include <vector>

namespace encoder {

// CPU seconds of each worker thread and of each task after encoding, for a benchmark
// to project the time on as many cores as there are workers (--report-cpu).
struct ThreadTimes {
    std::vector<double> workers; // encoding, and starting the threads after it
    std::vector<double> tasks;   // each task after encoding
    double tasks_here = 0;       // of those, what ran on the calling thread

    // The serial part (this thread: opening, planning the joins, showing progress), then
    // the workers' and the tasks' seconds, on one line of tvenc's own.
    void report() const;
};

// CPU seconds the calling thread has used so far.
double thread_cpu_seconds();

} // namespace encoder
