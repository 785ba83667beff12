#include "encoder/ParallelWorker.h"

#include "encoder/FormatConverter.h"
#include "encoder/Mp3Writer.h"
#include "encoder/MpegSource.h"
#include "encoder/Progress.h"
#include "encoder/SndfileSource.h"
#include "encoder/WorkShares.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace encoder {

namespace {

// A worker's scratch file ran out of room: the file goes to one core, which needs
// room for the output alone.
struct NoRoom {};

std::unique_ptr<AudioSource> open_for_worker(const ParallelJob& job) {
    if (job.facts.mpeg) return MpegSource::open(job.options.input, job.options.downmix, false);
    return SndfileSource::open(job.options.input);
}

class Worker {
public:
    Worker(const ParallelJob& job, const Grid& grid, WorkShares::Share& share, WorkShares& shares,
           std::atomic<std::int64_t>& progress)
        : m_job(job), m_grid(grid), m_share(share), m_shares(shares), m_first_frame(share.segment.first_frame),
          m_info_frame(share.segment.info_frame), m_nominal_start(share.nominal_start), m_progress(progress) {}

    void run(WorkerResult& result) {
        try {
            encode(result);
            if (result.stream && std::fflush(result.stream.get()) != 0) throw NoRoom{};
        } catch (const NoRoom&) {
            result.not_started = true;
        } catch (...) {
            result.error = std::current_exception();
        }
        if (result.stream) std::rewind(result.stream.get());
    }

private:
    void encode(WorkerResult& r) {
        // Beside the output, not in /tmp: a full /tmp must not fail a file one core could convert.
        r.stream = m_job.output.scratch();
        if (!r.stream) {
            r.not_started = true;
            return;
        }
        auto source = open_for_worker(m_job);
        const std::int64_t start = m_first_frame * m_grid.frame;
        if (!source || !source->seek(m_grid.to_input(start))) fail(kFailInput, m_job.options.input, "cannot seek");
        const LameHandle handle =
            make_lame(m_job.format.rate, m_job.format.channels, m_job.options.bit_rate, m_info_frame);
        lame_t lame = handle.get();
        if (!lame) fail(kFailOutput, m_job.output.path(), "LAME rejected the settings");
        FormatConverter converter(m_job.format.rate, m_job.format.channels);
        AudioBlock block;
        std::span<const float> pcm;
        std::vector<unsigned char> bytes;
        const int channels = m_job.format.channels;
        bool more = true;
        for (;;) {
            // Another worker may have taken over the end of this share since the last block.
            const WorkShares::Limits limits = m_shares.report(m_share, start + r.fed);
            if (!more || (limits.end_sample >= 0 && r.fed >= limits.end_sample - start)) break;
            more = source->read(block);
            if (more) {
                if (block.rate != m_job.in_rate || block.channels != m_job.in_channels) {
                    r.format_changed = true;
                    break;
                }
                pcm = converter.convert(block);
            } else {
                pcm = converter.flush();
            }
            auto frames = static_cast<std::int64_t>(pcm.size()) / channels;
            if (limits.end_sample >= 0) frames = std::min(frames, limits.end_sample - start - r.fed);
            count_progress(start + r.fed, frames, limits.nominal_end);
            const int made = encode_pcm(lame, channels, pcm.data(), static_cast<std::size_t>(frames), bytes);
            write(r, bytes, made);
            r.fed += frames;
        }
        bytes.resize(kFlushBytes);
        write(r, bytes, lame_encode_flush(lame, bytes.data(), static_cast<int>(bytes.size())));
        r.delay = lame_get_encoder_delay(lame);
        if (m_info_frame) {
            r.info.resize(kLameTagBytes);
            r.info.resize(lame_get_lametag_frame(lame, r.info.data(), r.info.size()));
        }
    }

    void write(WorkerResult& r, const std::vector<unsigned char>& bytes, int made) {
        if (made < 0) fail(kFailOutput, m_job.output.path(), "LAME failed to encode");
        if (made > 0 && std::fwrite(bytes.data(), 1, static_cast<std::size_t>(made), r.stream.get()) !=
                            static_cast<std::size_t>(made))
            throw NoRoom{};
    }

    // Only the part of the segment that no other worker covers counts.
    void count_progress(std::int64_t from, std::int64_t frames, std::int64_t nominal_end) {
        const std::int64_t a = std::max(from, m_nominal_start);
        const std::int64_t b = nominal_end < 0 ? from + frames : std::min(from + frames, nominal_end);
        if (b > a) m_progress += m_grid.to_input(b - a);
    }

    const ParallelJob& m_job;
    Grid m_grid;
    WorkShares::Share& m_share;
    WorkShares& m_shares;
    std::int64_t m_first_frame;
    bool m_info_frame;
    std::int64_t m_nominal_start;
    std::atomic<std::int64_t>& m_progress;
};

// One thread's work: its planned share, then whatever it can take over from the others.
void work(const ParallelJob& job, const Grid& grid, WorkShares::Share* share, WorkShares& shares,
          std::atomic<std::int64_t>& progress) {
    while (share) {
        Worker(job, grid, *share, shares, progress).run(share->result);
        const WorkerResult& r = share->result;
        share = shares.finish(*share, !r.error && !r.format_changed && !r.not_started);
    }
}

} // namespace

std::vector<WorkerResult> run_workers(const ParallelJob& job, const Grid& grid, Plan& plan, std::int64_t total_frames,
                                      Progress& progress) {
    std::atomic<std::int64_t> progress_frames{0};
    WorkShares shares(plan, grid, total_frames);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < plan.segments.size(); ++i) {
        WorkShares::Share* share = &shares.planned(i);
        try {
            threads.emplace_back([&, share] { work(job, grid, share, shares, progress_frames); });
        } catch (const std::system_error&) {
            // Out of threads or memory for a stack: the file goes to one core instead.
            share->result.not_started = true;
            shares.finish(*share, false);
            for (std::size_t j = i + 1; j < plan.segments.size(); ++j)
                shares.finish(shares.planned(j), false);
            break;
        }
    }
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::optional<std::thread> reporter;
    try {
        reporter.emplace([&] {
            std::unique_lock lock(mutex);
            // Woken at once when the workers are done: the join never waits for a tick.
            while (!finished.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; }))
                progress.set(progress_frames);
        });
    } catch (const std::system_error&) {
        // Without its reporter the parallel encode only shows no figures until done.
    }
    for (std::thread& t : threads)
        t.join();
    {
        const std::lock_guard lock(mutex);
        done = true;
    }
    finished.notify_one();
    if (reporter) reporter->join();
    // The count as it stands at the end, not as the reporter last saw it.
    progress.set(progress_frames);
    std::vector<WorkerResult> results;
    plan = shares.collect(results);
    return results;
}

} // namespace encoder
