#include "encoder/parallel/ThreadTimes.h"

#include "encoder/base/Console.h"

#include <cstdio>
#include <time.h>

namespace encoder {

double thread_cpu_seconds() {
    // The scheduler's own count, to the nanosecond: getrusage's split into user and system
    // time is sampled at the timer tick, too coarse for the few milliseconds of the serial part.
    timespec t{};
    if (::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void ThreadTimes::report() const {
    std::fprintf(Console::stream(), "tvenc: cpu seconds serial %.4f workers", thread_cpu_seconds() - tasks_here);
    for (double seconds : workers)
        std::fprintf(Console::stream(), " %.4f", seconds);
    std::fprintf(Console::stream(), " packing");
    for (double seconds : tasks)
        std::fprintf(Console::stream(), " %.4f", seconds);
    std::fputc('\n', Console::stream());
}

} // namespace encoder
