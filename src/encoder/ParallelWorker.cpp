#include "encoder/ParallelWorker.h"

#include "encoder/FormatConverter.h"
#include "encoder/JoinWatch.h"
#include "encoder/Mp3Writer.h"
#include "encoder/MpegSource.h"
#include "encoder/Progress.h"
#include "encoder/SndfileSource.h"
#include "encoder/WorkShares.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <time.h>
#include <utility>

namespace encoder {

namespace {

// A worker's scratch file ran out of room: the file goes to one core, which needs
// room for the output alone.
struct NoRoom {};

// Each worker seeks straight to its first frame through the frames the first look
// counted. The worker that decodes to the end ends the audio as the first look did:
// where a Xing header claims more than a cut file holds, it counts the frames too.
std::unique_ptr<AudioSource> open_for_worker(const ParallelJob& job, bool to_the_end) {
    if (!job.facts.mpeg) return SndfileSource::open(job.source, job.facts.stream_start_byte);
    return MpegSource::reopen(job.source, job.options.downmix, job.facts, to_the_end);
}

class Worker {
public:
    Worker(const ParallelJob& job, const Grid& grid, WorkShares::Share& share, WorkShares& shares,
           std::atomic<std::int64_t>& progress)
        : m_job(job), m_grid(grid), m_share(share), m_shares(shares), m_first_frame(share.segment.first_frame),
          m_info_frame(share.segment.info_frame), m_first_kept_sample(share.first_kept_sample), m_progress(progress),
          m_skip_info(share.segment.info_frame), m_next_index(share.segment.first_frame) {}

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
        // A share that ended before its head was whole still gives what it has.
        if (!m_head_published) m_shares.publish_head(m_share, std::move(m_head));
    }

private:
    void encode(WorkerResult& r) {
        // Beside the output, not in /tmp: a full /tmp must not fail a file one core could convert.
        r.stream = m_job.output.scratch();
        if (!r.stream) {
            r.not_started = true;
            return;
        }
        const std::int64_t start = m_first_frame * m_grid.frame_samples;
        auto source = open_for_worker(m_job, !m_shares.report(m_share, start).end_sample);
        if (!source || !source->seek(m_grid.to_input(start)))
            fail(kFailInput, Cause::Damaged, m_job.options.input, "cannot seek");
        const LameHandle handle =
            make_lame(m_job.format.rate, m_job.format.channels, m_job.options.bit_rate, m_info_frame);
        lame_t lame = handle.get();
        m_lame = lame;
        if (!lame) fail(kFailOutput, Cause::Internal, m_job.output.path(), "LAME rejected the settings");
        FormatConverter converter(m_job.format.rate, m_job.format.channels);
        AudioBlock block;
        const int channels = m_job.format.channels;
        bool more = true;
        while (!m_join) {
            // Another worker may have taken over the end of this share since the last block.
            const WorkShares::Limits limits = m_shares.report(m_share, start + r.fed);
            m_end_kept_sample = limits.end_kept_sample;
            if (!more || (limits.end_sample && r.fed >= *limits.end_sample - start)) break;
            more = source->read(block);
            std::span<const float> pcm;
            if (more) {
                if (block.rate != m_job.in_rate || block.channels != m_job.in_channels) {
                    r.format_changed = true;
                    break;
                }
                pcm = converter.convert(block);
            } else {
                pcm = converter.flush();
            }
            auto samples = static_cast<std::int64_t>(pcm.size()) / channels;
            if (limits.end_sample) samples = std::min(samples, *limits.end_sample - start - r.fed);
            feed(r, lame, pcm.data(), samples, start);
        }
        // The frames up to the nominal join that this worker leaves to the next one
        // count here: the next one counts only from the join on.
        if (m_join && m_end_kept_sample)
            count_progress(start + r.fed, *m_end_kept_sample - start - r.fed, m_end_kept_sample);
        m_bytes.resize(kFlushBytes);
        write(r, lame_encode_flush(lame, m_bytes.data(), static_cast<int>(m_bytes.size())), false);
        r.delay = lame_get_encoder_delay(lame);
        if (m_info_frame) {
            r.info.resize(kLameTagBytes);
            r.info.resize(lame_get_lametag_frame(lame, r.info.data(), r.info.size()));
        }
    }

    // Near the join after this share, one frame's samples at a time, so that the worker
    // stops soon after the first join that fits.
    void feed(WorkerResult& r, lame_t lame, const float* pcm, std::int64_t samples, std::int64_t start) {
        const int channels = m_job.format.channels;
        for (std::int64_t done = 0; done < samples && !m_join;) {
            const bool near_join =
                m_end_kept_sample && start + r.fed >= *m_end_kept_sample - (kEarly + kWarmUp) * m_grid.frame_samples;
            const std::int64_t n = near_join ? std::min(samples - done, m_grid.frame_samples) : samples - done;
            count_progress(start + r.fed, n, m_end_kept_sample);
            write(r, encode_pcm(lame, channels, pcm + done * channels, static_cast<std::size_t>(n), m_bytes), true);
            r.fed += n;
            done += n;
            try_join();
        }
    }

    void write(WorkerResult& r, int made, bool streaming) {
        if (made < 0) fail(kFailOutput, Cause::Internal, m_job.output.path(), "LAME failed to encode");
        if (made > 0 && std::fwrite(m_bytes.data(), 1, static_cast<std::size_t>(made), r.stream.get()) !=
                            static_cast<std::size_t>(made))
            throw NoRoom{};
        if (made > 0) take_frames(r, made, streaming);
    }

    // Every frame's shape is kept for the join; what the flush adds is no longer the
    // stream a longer encode makes, so only the frames before it are tried as joins.
    void take_frames(WorkerResult& r, int made, bool streaming) {
        m_parser.append(m_bytes.data(), static_cast<std::size_t>(made));
        Mp3Frame frame;
        while (m_parser.next(frame)) {
            if (std::exchange(m_skip_info, false) && keeps_info_frame()) {
                r.frames_before = 1;
                continue;
            }
            r.shapes.push_back(frame);
            if (!streaming) continue;
            IndexedFrame indexed{m_next_index++, std::move(frame)};
            r.clean_end_frame = m_next_index;
            watch_for_join(indexed);
            collect_head(std::move(indexed));
        }
        if (m_parser.bad()) r.shapes_whole = false;
    }

    // Where a frame is too small to hold it, LAME keeps no place for the Info frame. Its
    // place is in the stream from the start, out before any frame is encoded; once one
    // is, LAME tells the size of the tag it will write.
    bool keeps_info_frame() const {
        return lame_get_frameNum(m_lame) == 0 || lame_get_lametag_frame(m_lame, nullptr, 0) > 0;
    }

    void watch_for_join(const IndexedFrame& frame) {
        if (!m_watch && m_end_kept_sample && frame.index + 1 >= *m_end_kept_sample / m_grid.frame_samples - kEarly)
            m_watch.emplace(*m_end_kept_sample / m_grid.frame_samples);
        if (m_watch) m_watch->add(frame);
    }

    // The first share has no join before it, so no head to give.
    void collect_head(IndexedFrame&& frame) {
        const std::int64_t join = m_first_kept_sample / m_grid.frame_samples;
        if (m_first_kept_sample == 0 || m_head_published || frame.index < join - kEarly) return;
        m_head.push_back(std::move(frame));
        if (m_head.back().index + 1 >= join + kLate + kCatchUp) {
            m_shares.publish_head(m_share, std::move(m_head));
            m_head_published = true;
        }
    }

    void try_join() {
        if (!m_watch) return;
        const std::span<const IndexedFrame> head = m_shares.head_after(m_share);
        if (!head.empty()) m_join = m_watch->check(head);
    }

    // Only the part of the segment that no other worker covers counts.
    void count_progress(std::int64_t from, std::int64_t samples, std::optional<std::int64_t> end_kept_sample) {
        const std::int64_t a = std::max(from, m_first_kept_sample);
        const std::int64_t b = end_kept_sample ? std::min(from + samples, *end_kept_sample) : from + samples;
        if (b > a) m_progress += m_grid.to_input(b - a);
    }

    const ParallelJob& m_job;
    Grid m_grid;
    WorkShares::Share& m_share;
    WorkShares& m_shares;
    std::int64_t m_first_frame;
    bool m_info_frame;
    std::int64_t m_first_kept_sample;
    std::atomic<std::int64_t>& m_progress;
    std::vector<unsigned char> m_bytes;
    lame_t m_lame = nullptr;
    Mp3FrameParser m_parser;
    bool m_skip_info;
    std::int64_t m_next_index;
    std::optional<std::int64_t> m_end_kept_sample; // none: this share ends with the file
    std::optional<JoinWatch> m_watch;
    std::optional<std::int64_t> m_join; // the join found in step while encoding
    std::vector<IndexedFrame> m_head;
    bool m_head_published = false;
};

// One thread's work: its planned share, then whatever it can take over from the others.
void work(const ParallelJob& job, const Grid& grid, WorkShares::Share* share, WorkShares& shares,
          std::atomic<std::int64_t>& progress, double& cpu_seconds) {
    while (share) {
        Worker(job, grid, *share, shares, progress).run(share->result);
        const WorkerResult& r = share->result;
        const bool more = r.encoded() && !job.options.workers_in_turn;
        share = shares.finish(*share, more);
    }
    cpu_seconds = thread_cpu_seconds();
}

// The work after encoding: the main thread hands out the tasks once every thread is
// done encoding, and the threads share them.
class Tasks {
public:
    explicit Tasks(const AfterEncoding& after) : m_after(after) {}

    // On a worker thread: done encoding; then the tasks, as long as there are any.
    void run_after_encoding(std::vector<double>& task_seconds, std::vector<std::exception_ptr>& errors) {
        std::unique_lock lock(m_mutex);
        ++m_encoded;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_count.has_value(); });
        lock.unlock();
        for (std::size_t i; (i = m_next++) < *m_count;)
            run(i, task_seconds, errors);
    }
    // For a share that no thread could be had for: nothing to wait for.
    void encoded_without_thread() {
        const std::lock_guard lock(m_mutex);
        ++m_encoded;
        m_changed.notify_all();
    }
    // On the main thread: tick every 20 ms until shares shares are encoded, then the
    // tasks there are. Woken at once when the last is done: the join never waits a tick.
    void start_after(std::size_t shares, const std::function<void()>& tick,
                     const std::function<std::size_t()>& prepare) {
        std::unique_lock lock(m_mutex);
        while (!m_changed.wait_for(lock, std::chrono::milliseconds(20), [&] { return m_encoded == shares; })) {
            lock.unlock();
            tick();
            lock.lock();
        }
        m_count = prepare();
        m_changed.notify_all();
    }
    // The tasks one after another on this thread (none waits for them).
    void run_here(std::size_t count, std::vector<double>& task_seconds, std::vector<std::exception_ptr>& errors) {
        for (std::size_t i = 0; i < count; ++i)
            run(i, task_seconds, errors);
    }

private:
    void run(std::size_t i, std::vector<double>& task_seconds, std::vector<std::exception_ptr>& errors) {
        const double before = thread_cpu_seconds();
        try {
            m_after.task(i);
        } catch (...) {
            errors[i] = std::current_exception();
        }
        task_seconds[i] = thread_cpu_seconds() - before;
    }

    const AfterEncoding& m_after;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_encoded = 0;
    std::optional<std::size_t> m_count;
    std::atomic<std::size_t> m_next{0};
};

// The worker threads of one file. Each thread first starts the threads of shares 2i+1
// and 2i+2 and ends them after its own work, so that on many cores no one thread starts
// them all one after another. A thread that cannot be had (out of threads or memory for
// a stack) leaves its shares, and those it would have started, to one core.
class Crew {
public:
    Crew(const ParallelJob& job, const Grid& grid, WorkShares& shares, Tasks& tasks,
         std::atomic<std::int64_t>& progress, ThreadTimes& times, std::vector<std::exception_ptr>& task_errors)
        : m_job(job), m_grid(grid), m_shares(shares), m_tasks(tasks), m_progress(progress), m_times(times),
          m_task_errors(task_errors), m_count(times.workers.size()) {}

    void start(std::size_t i, std::optional<std::thread>& thread) {
        try {
            thread.emplace([this, i] { m_job.options.workers_in_turn ? run_in_turn(i) : run(i); });
        } catch (const std::exception&) { // std::system_error, or std::bad_alloc for its state
            give_up(i);
        }
    }

private:
    void run(std::size_t i) {
        std::optional<std::thread> children[2];
        for (std::size_t k = 0; k < 2; ++k)
            if (2 * i + 1 + k < m_count) start(2 * i + 1 + k, children[k]);
        work(m_job, m_grid, &m_shares.planned(i), m_shares, m_progress, m_times.workers[i]);
        m_tasks.run_after_encoding(m_times.tasks, m_task_errors);
        for (std::optional<std::thread>& child : children)
            if (child) child->join();
    }

    // For a benchmark, the workers run one after another, the last first, each as it
    // would on a core of its own: the head after its share is always there by its end.
    // Each starts the one before it once done, and that is its time too.
    void run_in_turn(std::size_t i) {
        work(m_job, m_grid, &m_shares.planned(i), m_shares, m_progress, m_times.workers[i]);
        if (i == 0) return;
        const double before = thread_cpu_seconds();
        std::optional<std::thread> next;
        start(i - 1, next);
        if (next) next->join();
        m_times.workers[i] += thread_cpu_seconds() - before;
    }

    // Share i and those its thread would have started: in turn, every share before it;
    // otherwise, its two children and theirs.
    void give_up(std::size_t i) {
        if (m_job.options.workers_in_turn) {
            for (std::size_t j = 0; j <= i; ++j)
                not_started(j);
        } else if (i < m_count) {
            not_started(i);
            give_up(2 * i + 1);
            give_up(2 * i + 2);
        }
    }

    void not_started(std::size_t i) {
        WorkShares::Share& share = m_shares.planned(i);
        share.result.not_started = true;
        m_shares.finish(share, false);
        m_tasks.encoded_without_thread();
    }

    const ParallelJob& m_job;
    const Grid& m_grid;
    WorkShares& m_shares;
    Tasks& m_tasks;
    std::atomic<std::int64_t>& m_progress;
    ThreadTimes& m_times;
    std::vector<std::exception_ptr>& m_task_errors;
    std::size_t m_count;
};

} // namespace

double thread_cpu_seconds() {
    // The scheduler's own count, to the nanosecond: getrusage's split into user and system
    // time is sampled at the timer tick, too coarse for the few milliseconds of the serial part.
    timespec t{};
    if (::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void run_workers(const ParallelJob& job, const Grid& grid, Plan& plan, std::int64_t total_frames, Progress& progress,
                 ThreadTimes& times, const AfterEncoding& after, std::vector<WorkerResult>& results) {
    std::atomic<std::int64_t> progress_samples{0};
    WorkShares shares(plan, grid, total_frames);
    Tasks tasks(after);
    const std::size_t count = plan.segments.size();
    times.workers.assign(count, 0.0);
    std::vector<std::exception_ptr> task_errors;
    std::exception_ptr prepare_error;
    const auto prepare = [&] {
        // The count as it stands at the end, not as it was last shown.
        progress.set(progress_samples);
        plan = shares.collect(results);
        // Sized while every worker thread waits: none of them has a task yet.
        std::size_t task_count = 0;
        try {
            task_count = after.prepare(plan, results);
        } catch (...) {
            prepare_error = std::current_exception();
        }
        times.tasks.assign(task_count, 0.0);
        task_errors.assign(task_count, nullptr);
        return task_count;
    };
    Crew crew(job, grid, shares, tasks, progress_samples, times, task_errors);
    std::optional<std::thread> first;
    if (job.options.workers_in_turn) {
        // Their tasks then run on this thread, each timed on its own.
        crew.start(count - 1, first);
        if (first) first->join();
        const std::size_t task_count = prepare();
        const double before = thread_cpu_seconds();
        tasks.run_here(task_count, times.tasks, task_errors);
        times.tasks_here = thread_cpu_seconds() - before;
    } else {
        crew.start(0, first);
        tasks.start_after(
            count, [&] { progress.set(progress_samples); }, prepare);
        if (first) first->join();
    }
    if (prepare_error) std::rethrow_exception(prepare_error);
    for (const std::exception_ptr& error : task_errors)
        if (error) std::rethrow_exception(error);
}

} // namespace encoder
