#include "encoder/ParallelEncoder.h"

#include "encoder/Failure.h"
#include "encoder/FrameJoiner.h"
#include "encoder/InfoFrame.h"
#include "encoder/ParallelPlan.h"
#include "encoder/ParallelWorker.h"
#include "encoder/StdioFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>

namespace encoder {

namespace {

void write_all(std::FILE* out, const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
        fail_errno(kFailOutput, path, errno);
}

// Where each join lands in the decoded audio (a decoder drops delay + 529 samples), how
// far from its planned frame, and how many frames both workers at it encoded.
void report_joins(const std::vector<std::int64_t>& frames, const Grid& grid, const Plan& plan,
                  const std::vector<WorkerResult>& results, int delay) {
    constexpr int kDecoderDelay = 529;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const std::int64_t tail_end =
            (plan.segments[k].first_frame * grid.frame_samples + results[k].fed + grid.frame_samples - 1) /
            grid.frame_samples;
        std::fprintf(stderr, "tvenc: joined at sample %lld, %+lld frames off plan, %lld frames encoded twice\n",
                     static_cast<long long>(frames[k] * grid.frame_samples - delay - kDecoderDelay),
                     static_cast<long long>(frames[k] - plan.joins[k]),
                     static_cast<long long>(tail_end - plan.segments[k + 1].first_frame));
    }
}

// The serial part (this thread: opening, joining; the progress reporter) and each worker
// thread, for a benchmark to project the time on as many cores as there are workers.
void report_cpu(const ThreadTimes& times) {
    std::fprintf(stderr, "tvenc: cpu seconds serial %.4f workers", thread_cpu_seconds() + times.reporter);
    for (double seconds : times.workers)
        std::fprintf(stderr, " %.4f", seconds);
    std::fputc('\n', stderr);
}

// Our own Info frame, where LAME's did not fit, in the format of the first frame.
std::vector<std::uint8_t> own_info_frame(std::FILE* stream, const ParallelJob& job) {
    std::uint8_t head[4];
    const bool read = std::fread(head, 1, sizeof head, stream) == sizeof head;
    std::rewind(stream);
    return read ? compact_info_frame(head, (job.options.bit_rate + 500) / 1000) : std::vector<std::uint8_t>{};
}

// Writes tags, Info frame and the joined frames; false when no join fits.
bool write_joined(const ParallelJob& job, const Grid& grid, const Plan& plan, std::vector<WorkerResult>& results,
                  std::FILE* out) {
    const std::string& path = job.output.path();
    write_all(out, path, job.tags.leading);
    std::vector<std::uint8_t> info =
        results[0].info.empty() ? own_info_frame(results[0].stream.get(), job) : results[0].info;
    write_all(out, path, info);
    FrameJoiner joiner(out, results, plan.segments, plan.joins);
    if (!joiner.join()) return false;
    ReservoirPacker& packer = joiner.packer();
    if (!packer.finish()) fail_errno(kFailOutput, path, errno);
    write_all(out, path, job.tags.trailing);
    const std::int64_t samples = plan.segments.back().first_frame * grid.frame_samples + results.back().fed;
    const int delay = results[0].delay;
    const auto padding =
        static_cast<int>(static_cast<std::int64_t>(packer.frames()) * grid.frame_samples - samples - delay);
    const auto& sizes = packer.frame_sizes();
    const std::uint64_t audio_bytes = std::accumulate(sizes.begin(), sizes.end(), std::uint64_t{0});
    complete_info_frame(info, {packer.frames(), &sizes, audio_bytes, delay, std::max(0, padding), packer.crc()});
    if (job.options.report_joins) report_joins(joiner.chosen, grid, plan, results, delay);
    if (std::fseek(out, static_cast<long>(job.tags.leading.size()), SEEK_SET) != 0)
        fail_errno(kFailOutput, path, errno);
    write_all(out, path, info);
    return true;
}

} // namespace

bool encode_in_parallel(const ParallelJob& job) {
    const Grid grid = make_grid(job.in_rate, job.format.rate);
    const std::int64_t total_frames = job.facts.frames * job.format.rate / job.in_rate / grid.frame_samples;
    const int count = segment_count(total_frames, job.threads);
    if (count < 2) return false;
    Plan plan = plan_segments(total_frames, count, grid);
    ThreadTimes times;
    std::vector<WorkerResult> results = run_workers(job, grid, plan, total_frames, job.progress, times);
    for (WorkerResult& r : results) {
        if (r.error) std::rethrow_exception(r.error);
        if (r.format_changed || r.not_started) return false;
    }
    // Where a frame is too small to hold it, LAME keeps no place for the Info frame.
    plan.segments[0].info_frame = !results[0].info.empty();
    if (!write_joined(job, grid, plan, results, job.output.stream())) return false;
    if (std::fflush(job.output.stream()) != 0) fail_errno(kFailOutput, job.output.path(), errno);
    // What progress counted: each input frame once, whatever the workers encoded twice.
    if (job.options.report_joins)
        std::fprintf(stderr, "tvenc: progress counted %lld of %lld input samples\n",
                     static_cast<long long>(job.progress.counted()), static_cast<long long>(job.facts.frames));
    job.progress.done();
    if (job.options.report_cpu) report_cpu(times);
    return true;
}

} // namespace encoder
