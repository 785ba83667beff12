#pragma once

#include "encoder/joins/ParallelPlan.h"
#include "encoder/joins/WorkerResult.h"

#include <cstddef>
#include <vector>

namespace encoder {

// What the worker threads do once every share is encoded: the crew knows only this
// much of the joined output, so the threads' code never reaches up into it.
class AfterEncoding {
public:
    virtual ~AfterEncoding() = default;
    // On the main thread, with the results in the order of the file and the plan as it
    // ended, while every worker thread waits: how many tasks there are (none: the
    // threads end).
    virtual std::size_t prepare(Plan& plan, std::vector<WorkerResult>& results) = 0;
    // On whichever thread takes it, each task once.
    virtual void task(std::size_t k) = 0;
};

} // namespace encoder
