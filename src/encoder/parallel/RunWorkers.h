#pragma once

#include "encoder/joins/ParallelPlan.h"
#include "encoder/joins/WorkerResult.h"
#include "encoder/parallel/AfterEncoding.h"
#include "encoder/parallel/ParallelJob.h"
#include "encoder/parallel/ThreadTimes.h"

#include <cstdint>
#include <vector>

namespace encoder {

// Runs one worker per segment, each on its own thread, and reports their progress
// together from the calling thread; a worker that is done takes over part of the
// largest remainder, which adds a segment. Once all are done, the tasks after. Fills
// results, which the caller owns and after.prepare sees, in the order of the file, with
// the plan as it ended. A worker whose thread or scratch file cannot be had is marked
// not_started. A task's failure is thrown here. With the job's workers_in_turn (for a
// benchmark), the workers run one after another instead.
void run_workers(const ParallelJob& job, const Grid& grid, Plan& plan, std::int64_t total_frames, ThreadTimes& times,
                 AfterEncoding& after, std::vector<WorkerResult>& results);

} // namespace encoder
