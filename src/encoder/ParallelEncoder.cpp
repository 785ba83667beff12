#include "encoder/ParallelEncoder.h"

#include "encoder/Console.h"
#include "encoder/Failure.h"
#include "encoder/InfoFrame.h"
#include "encoder/JoinPlan.h"
#include "encoder/ParallelPlan.h"
#include "encoder/ParallelWorker.h"
#include "encoder/StdioFile.h"
#include "encoder/StretchWriter.h"

#include <algorithm>
#include <cerrno>
#include <optional>

namespace encoder {

namespace {

void write_all(std::FILE* out, const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
        fail_errno(kFailOutput, path, errno);
}

// Where each join lands in the decoded audio (a decoder drops delay + 529 samples), how
// far from its planned frame, and how many frames both workers at it encoded.
void report_joins(const JoinPlan& joined, const Grid& grid, const Plan& plan, const std::vector<WorkerResult>& results,
                  int delay) {
    constexpr int kDecoderDelay = 529;
    for (std::size_t k = 0; k + 1 < joined.stretches.size(); ++k) {
        const std::int64_t frame = joined.stretches[k + 1].first_frame;
        const std::int64_t tail_end =
            (plan.segments[k].first_frame * grid.frame_samples + results[k].fed + grid.frame_samples - 1) /
            grid.frame_samples;
        std::fprintf(Console::stream(),
                     "tvenc: joined at sample %lld, %+lld frames off plan, %lld frames encoded twice\n",
                     static_cast<long long>(frame * grid.frame_samples - delay - kDecoderDelay),
                     static_cast<long long>(frame - plan.joins[k]),
                     static_cast<long long>(tail_end - plan.segments[k + 1].first_frame));
    }
}

// The serial part (this thread: opening, planning the joins, showing progress), each
// worker thread's encoding and each stretch packed after it, for a benchmark to project
// the time on as many cores as there are workers.
void report_cpu(const ThreadTimes& times) {
    std::fprintf(Console::stream(), "tvenc: cpu seconds serial %.4f workers", thread_cpu_seconds() - times.tasks_here);
    for (double seconds : times.workers)
        std::fprintf(Console::stream(), " %.4f", seconds);
    std::fprintf(Console::stream(), " packing");
    for (double seconds : times.tasks)
        std::fprintf(Console::stream(), " %.4f", seconds);
    std::fputc('\n', Console::stream());
}

// Our own Info frame, where LAME's did not fit, in the format of the first frame.
std::vector<std::uint8_t> own_info_frame(std::FILE* stream, const ParallelJob& job) {
    std::uint8_t head[4];
    const bool read = std::fread(head, 1, sizeof head, stream) == sizeof head;
    std::rewind(stream);
    return read ? compact_info_frame(head, (job.options.bit_rate + 500) / 1000) : std::vector<std::uint8_t>{};
}

// The output as the workers make it: the joins planned on the main thread once every
// share is encoded, then each stretch packed and written in its place by a worker.
class JoinedOutput {
public:
    JoinedOutput(const ParallelJob& job, const Grid& grid) : m_job(job), m_grid(grid) {}

    AfterEncoding after_encoding() {
        return {
            [this](Plan& plan, std::vector<WorkerResult>& results) { return prepare(plan, results); },
            [this](std::size_t k) { m_crc_parts[k] = write_stretch(*m_joined, k, *m_plan, *m_results, *m_target); }};
    }

    // Tags, the Info frame and the audio's CRC once every stretch is written; false
    // when no join fits.
    bool finish() {
        if (!m_joined) return false;
        const Plan& plan = *m_plan;
        const std::vector<WorkerResult>& results = *m_results;
        std::FILE* out = m_job.output.stream();
        const std::string& path = m_job.output.path();
        seek(out, m_target->audio_start + static_cast<std::int64_t>(m_joined->audio_bytes));
        write_all(out, path, m_job.tags.trailing);
        std::uint16_t crc = 0;
        for (std::uint16_t part : m_crc_parts)
            crc ^= part;
        const auto frames = static_cast<std::uint32_t>(m_joined->frame_sizes.size());
        const std::int64_t samples = plan.segments.back().first_frame * m_grid.frame_samples + results.back().fed;
        const int delay = results[0].delay;
        const auto padding =
            static_cast<int>(static_cast<std::int64_t>(frames) * m_grid.frame_samples - samples - delay);
        complete_info_frame(m_info,
                            {frames, &m_joined->frame_sizes, m_joined->audio_bytes, delay, std::max(0, padding), crc});
        if (m_job.options.report_joins) report_joins(*m_joined, m_grid, plan, results, delay);
        seek(out, static_cast<std::int64_t>(m_job.tags.leading.size()));
        write_all(out, path, m_info);
        return true;
    }

private:
    std::size_t prepare(Plan& plan, std::vector<WorkerResult>& results) {
        for (const WorkerResult& r : results)
            if (!r.encoded()) return 0;
        m_joined = plan_joins(plan, results);
        if (!m_joined) return 0;
        std::FILE* out = m_job.output.stream();
        const std::string& path = m_job.output.path();
        write_all(out, path, m_job.tags.leading);
        m_info = results[0].info.empty() ? own_info_frame(results[0].stream.get(), m_job) : results[0].info;
        write_all(out, path, m_info);
        // The stretches are written past stdio, each at its place.
        if (std::fflush(out) != 0) fail_errno(kFailOutput, path, errno);
        m_target.emplace(
            AudioTarget{::fileno(out), path, static_cast<std::int64_t>(m_job.tags.leading.size() + m_info.size())});
        m_plan = &plan;
        m_results = &results;
        m_crc_parts.assign(m_joined->stretches.size(), 0);
        return m_joined->stretches.size();
    }

    void seek(std::FILE* out, std::int64_t offset) {
        if (std::fseek(out, static_cast<long>(offset), SEEK_SET) != 0)
            fail_errno(kFailOutput, m_job.output.path(), errno);
    }

    const ParallelJob& m_job;
    Grid m_grid;
    std::optional<JoinPlan> m_joined;
    std::vector<std::uint8_t> m_info;
    std::optional<AudioTarget> m_target;
    const Plan* m_plan = nullptr;
    const std::vector<WorkerResult>* m_results = nullptr;
    std::vector<std::uint16_t> m_crc_parts;
};

} // namespace

bool encode_in_parallel(const ParallelJob& job) {
    const Grid grid = make_grid(job.in_rate, job.format.rate);
    const std::int64_t total_frames = job.facts.frames * job.format.rate / job.in_rate / grid.frame_samples;
    const int count = segment_count(total_frames, job.threads);
    if (count < 2) return false;
    Plan plan = plan_segments(total_frames, count, grid);
    ThreadTimes times;
    // Owned here, before the joined output that reads them, so they outlive it.
    std::vector<WorkerResult> results;
    JoinedOutput output(job, grid);
    const AfterEncoding after = output.after_encoding();
    run_workers(job, grid, plan, total_frames, job.progress, times, after, results);
    for (WorkerResult& r : results) {
        if (r.error) std::rethrow_exception(r.error);
        if (!r.encoded()) return false;
    }
    if (!output.finish()) return false;
    if (std::fflush(job.output.stream()) != 0) fail_errno(kFailOutput, job.output.path(), errno);
    // What progress counted: each input frame once, whatever the workers encoded twice.
    if (job.options.report_joins)
        std::fprintf(Console::stream(), "tvenc: progress counted %lld of %lld input samples\n",
                     static_cast<long long>(job.progress.counted()), static_cast<long long>(job.facts.frames));
    job.progress.done();
    if (job.options.report_cpu) report_cpu(times);
    return true;
}

} // namespace encoder
