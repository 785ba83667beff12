#include "encoder/parallel/ParallelEncoder.h"

#include "encoder/base/Console.h"
#include "encoder/base/Failure.h"
#include "encoder/joins/ParallelPlan.h"
#include "encoder/parallel/JoinedOutput.h"
#include "encoder/parallel/RunWorkers.h"
#include "encoder/parallel/ThreadTimes.h"

#include <cerrno>
#include <cstdio>

namespace encoder {

std::optional<OneCoreReason> encode_in_parallel(const ParallelJob& job) {
    const Grid grid = make_grid(job.in_rate, job.format.rate);
    const std::int64_t total_frames = job.facts.samples * job.format.rate / job.in_rate / grid.frame_samples;
    const int count = segment_count(total_frames, job.threads);
    if (count < 2) return job.threads < 2 ? OneCoreReason::OneThread : OneCoreReason::TooShort;
    Plan plan = plan_segments(total_frames, count, grid);
    ThreadTimes times;
    // Owned here, before the joined output that reads them, so they outlive it.
    std::vector<WorkerResult> results;
    JoinedOutput output(job, grid);
    run_workers(job, grid, plan, total_frames, times, output, results);
    for (WorkerResult& r : results)
        if (r.error) std::rethrow_exception(r.error);
    if (const auto reason = unjoinable(results)) return reason;
    if (!output.finish()) return OneCoreReason::NoJoinFits;
    if (std::fflush(job.output.stream()) != 0) fail_errno(kFailOutput, job.output.path(), errno);
    // What progress counted: each input frame once, whatever the workers encoded twice.
    if (job.options.report_joins)
        std::fprintf(Console::stream(), "tvenc: progress counted %lld of %lld input samples\n",
                     static_cast<long long>(job.progress.counted()), static_cast<long long>(job.facts.samples));
    job.progress.done();
    if (job.options.report_cpu) times.report();
    return std::nullopt;
}

} // namespace encoder
