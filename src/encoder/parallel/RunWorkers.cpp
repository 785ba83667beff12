#include "encoder/parallel/RunWorkers.h"

#include "encoder/parallel/Crew.h"
#include "encoder/parallel/InTurnCrew.h"
#include "encoder/parallel/Tasks.h"
#include "encoder/parallel/WorkShares.h"
#include "encoder/parallel/Worker.h"

#include <atomic>

namespace encoder {

void run_workers(const ParallelJob& job, const Grid& grid, Plan& plan, std::int64_t total_frames, ThreadTimes& times,
                 AfterEncoding& after, std::vector<WorkerResult>& results) {
    std::atomic<std::int64_t> progress_samples{0};
    WorkShares shares(plan, grid, total_frames);
    const WorkerContext context{job, grid, shares, progress_samples};
    times.workers.assign(plan.segments.size(), 0.0);
    Tasks tasks(after, times.tasks);
    std::exception_ptr prepare_error;
    const auto prepare = [&]() -> std::size_t {
        // The count as it stands at the end, not as it was last shown.
        job.progress.set(progress_samples);
        plan = shares.collect(results);
        try {
            return after.prepare(plan, results);
        } catch (...) {
            prepare_error = std::current_exception();
            return 0;
        }
    };
    if (job.options.workers_in_turn)
        InTurnCrew(context, tasks, times).run(prepare);
    else
        Crew(context, tasks, times.workers).run([&] { job.progress.set(progress_samples); }, prepare);
    if (prepare_error) std::rethrow_exception(prepare_error);
    tasks.rethrow_first_error();
}

} // namespace encoder
