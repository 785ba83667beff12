#include "encoder/ParallelEncoder.h"

#include "encoder/Failure.h"
#include "encoder/FormatConverter.h"
#include "encoder/InfoFrame.h"
#include "encoder/MpegSource.h"
#include "encoder/Mp3Frame.h"
#include "encoder/Progress.h"
#include "encoder/ReservoirPacker.h"
#include "encoder/SndfileSource.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <numeric>
#include <optional>
#include <system_error>
#include <thread>

namespace encoder {

namespace {

constexpr double kMinSegmentSeconds = 20.0;
// Join candidates run from kEarly frames before the nominal frame to kLate after it: the
// two encoders' reservoirs drift apart and together, and a join is cleanest where the
// later one takes no more from the reservoir than the earlier one left free.
constexpr std::int64_t kEarly = 6;
constexpr std::int64_t kLate = 120;
constexpr std::int64_t kWarmUp = 12;     // frames a worker encodes before its first candidate
constexpr std::int64_t kPostRoll = 10;   // frames a worker encodes past its last candidate
constexpr std::int64_t kCatchUp = 64;    // frames within which the reservoir must be back in step

struct Segment {
    std::int64_t first_frame;  // global index of the worker's first LAME frame
    std::int64_t end_sample;   // output samples to feed in all, -1 for the whole rest
    bool info_frame;
};

struct WorkerResult {
    std::FILE* stream = nullptr;
    std::vector<std::uint8_t> info;
    int delay = 0;
    std::int64_t fed = 0;  // output samples given to LAME
    bool format_changed = false;
    bool not_started = false; // no thread could be had for it
    std::optional<Failure> failure;
};

struct Grid {
    long in_rate, out_rate;
    std::int64_t frame;  // samples per output frame
    std::int64_t step;   // frames between boundaries where input and output samples coincide
    std::int64_t to_input(std::int64_t out_sample) const { return out_sample * in_rate / out_rate; }
};

Grid make_grid(long in_rate, long out_rate) {
    const std::int64_t frame = out_rate >= 32000 ? 1152 : 576;
    const std::int64_t b = out_rate / std::gcd(in_rate, out_rate);
    return {in_rate, out_rate, frame, b / std::gcd(b, frame)};
}

std::int64_t round_up(std::int64_t value, std::int64_t step) { return (value + step - 1) / step * step; }

std::unique_ptr<AudioSource> open_for_worker(const ParallelJob& job) {
    if (job.facts.mpeg) return MpegSource::open(job.options.input, job.options.downmix, false);
    return SndfileSource::open(job.options.input);
}

class Worker {
public:
    Worker(const ParallelJob& job, const Grid& grid, Segment segment, std::int64_t nominal_start,
           std::int64_t nominal_end, std::atomic<std::int64_t>& progress)
        : m_job(job), m_grid(grid), m_segment(segment), m_nominal_start(nominal_start), m_nominal_end(nominal_end),
          m_progress(progress) {}

    void run(WorkerResult& result) {
        try {
            encode(result);
        } catch (const Failure& failure) {
            result.failure = failure;
        }
        if (result.stream) std::rewind(result.stream);
    }

private:
    void encode(WorkerResult& r) {
        r.stream = std::tmpfile();
        if (!r.stream) fail(kFailOutput, "temporary file", std::strerror(errno));
        auto source = open_for_worker(m_job);
        const std::int64_t start = m_segment.first_frame * m_grid.frame;
        if (!source || !source->seek(m_grid.to_input(start))) fail(kFailInput, m_job.options.input, "cannot seek");
        const LameHandle handle = make_lame(m_job.format.rate, m_job.format.channels, m_job.options.bit_rate, m_segment.info_frame);
        lame_t lame = handle.get();
        if (!lame) fail(kFailOutput, m_job.options.output, "LAME rejected the settings");
        FormatConverter converter(m_job.format.rate, m_job.format.channels);
        AudioBlock block;
        std::vector<float> pcm;
        std::vector<unsigned char> bytes;
        const int channels = m_job.format.channels;
        bool more = true;
        while (more && (m_segment.end_sample < 0 || r.fed < m_segment.end_sample - start)) {
            pcm.clear();
            more = source->read(block);
            if (more) {
                if (block.rate != m_job.in_rate || block.channels != m_job.in_channels) {
                    r.format_changed = true;
                    break;
                }
                converter.convert(block, pcm);
            } else {
                converter.flush(pcm);
            }
            auto frames = static_cast<std::int64_t>(pcm.size()) / channels;
            if (m_segment.end_sample >= 0) frames = std::min(frames, m_segment.end_sample - start - r.fed);
            count_progress(start + r.fed, frames);
            const int made = encode_pcm(lame, channels, pcm.data(), static_cast<std::size_t>(frames), bytes);
            write(r, bytes, made);
            r.fed += frames;
        }
        bytes.resize(kFlushBytes);
        write(r, bytes, lame_encode_flush(lame, bytes.data(), static_cast<int>(bytes.size())));
        r.delay = lame_get_encoder_delay(lame);
        if (m_segment.info_frame) {
            r.info.resize(kLameTagBytes);
            r.info.resize(lame_get_lametag_frame(lame, r.info.data(), r.info.size()));
        }
    }

    void write(WorkerResult& r, const std::vector<unsigned char>& bytes, int made) {
        if (made < 0) fail(kFailOutput, m_job.options.output, "LAME failed to encode");
        if (made > 0 && std::fwrite(bytes.data(), 1, static_cast<std::size_t>(made), r.stream) != static_cast<std::size_t>(made))
            fail(kFailOutput, "temporary file", std::strerror(errno));
    }

    // Only the part of the segment that no other worker covers counts.
    void count_progress(std::int64_t from, std::int64_t frames) {
        const std::int64_t a = std::max(from, m_nominal_start);
        const std::int64_t b = m_nominal_end < 0 ? from + frames : std::min(from + frames, m_nominal_end);
        if (b > a) m_progress += m_grid.to_input(b - a);
    }

    const ParallelJob& m_job;
    Grid m_grid;
    Segment m_segment;
    std::int64_t m_nominal_start, m_nominal_end;
    std::atomic<std::int64_t>& m_progress;
};

// Frames of one worker, each with its global index. The first worker's stream opens
// with the frame LAME keeps free for the Info frame; it carries no audio.
class FrameSource {
public:
    FrameSource(std::FILE* stream, std::int64_t first, bool skip_info)
        : m_reader(stream), m_next(first), m_skip(skip_info) {}
    bool next(Mp3Frame& frame, std::int64_t& index) {
        if (!m_reader.next(frame)) return false;
        if (m_skip) {
            m_skip = false;
            if (!m_reader.next(frame)) return false;
        }
        index = m_next++;
        return true;
    }

private:
    Mp3FrameReader m_reader;
    std::int64_t m_next;
    bool m_skip;
};

struct IndexedFrame {
    std::int64_t index;
    Mp3Frame frame;
};

// Chooses the frame at which the stream switches from tail (the earlier worker) to
// head (the later one). The window shapes must meet as long halves, and the main
// data after the join must fit the bit reservoir as the earlier worker left it. A
// join whose first frame takes no more from the reservoir than is free there is in
// step at once; otherwise the one that starts least behind its encoder's placement
// is taken, if everything after it still fits: being behind only ever shrinks.
std::optional<std::size_t> choose_join(const ReservoirPacker::State& state, const std::vector<IndexedFrame>& tail,
                                       const std::vector<IndexedFrame>& head, std::int64_t nominal,
                                       std::size_t& tail_used) {
    std::optional<std::size_t> best;
    std::int64_t best_lag = 0;
    for (std::int64_t j = nominal - kEarly; j <= nominal + kLate; ++j) {
        const auto t = std::find_if(tail.begin(), tail.end(), [&](const IndexedFrame& f) { return f.index == j - 1; });
        const auto h = std::find_if(head.begin(), head.end(), [&](const IndexedFrame& f) { return f.index == j; });
        if (t == tail.end() || h == head.end() || !t->frame.ends_long || !h->frame.starts_long) continue;
        ReservoirPacker::State s = state;
        bool fits = true;
        for (auto f = tail.begin(); fits && f <= t; ++f) fits = ReservoirPacker::advance(s, f->frame);
        // How far the first frame's data lands after where its encoder put it.
        const std::int64_t lag = std::max(s.data_end, s.area_end - h->frame.max_main_data_begin()) -
                                 (s.area_end - h->frame.main_data_begin);
        bool caught_up = false;
        for (auto f = h; fits && !caught_up && f != head.end(); ++f) fits = ReservoirPacker::advance(s, f->frame, &caught_up);
        if (!fits) continue;
        if (lag <= 0) {
            tail_used = static_cast<std::size_t>(t - tail.begin()) + 1;
            return static_cast<std::size_t>(h - head.begin());
        }
        if (!best || lag < best_lag) {
            best = static_cast<std::size_t>(h - head.begin());
            best_lag = lag;
            tail_used = static_cast<std::size_t>(t - tail.begin()) + 1;
        }
    }
    return best;
}

class Joiner {
public:
    Joiner(std::FILE* out, std::vector<WorkerResult>& results, const std::vector<Segment>& segments,
           const std::vector<std::int64_t>& joins)
        : m_packer(out), m_results(results), m_segments(segments), m_joins(joins) {}

    // Global indexes of the first frame after each join.
    std::vector<std::int64_t> chosen;

    bool join() {
        FrameSource current(m_results[0].stream, 0, m_segments[0].info_frame);
        for (std::size_t k = 1; k < m_results.size(); ++k) {
            const std::int64_t nominal = m_joins[k - 1];
            Mp3Frame frame;
            std::int64_t index = 0;
            std::vector<IndexedFrame> tail;
            while (current.next(frame, index)) {
                if (index > nominal + kLate) break;
                if (index < nominal - kEarly) {
                    if (!m_packer.append(frame)) return false;
                } else {
                    tail.push_back({index, frame});
                }
            }
            FrameSource next(m_results[k].stream, m_segments[k].first_frame, m_segments[k].info_frame);
            std::vector<IndexedFrame> head;
            while (static_cast<std::int64_t>(head.size()) < nominal + kLate + kCatchUp - m_segments[k].first_frame &&
                   next.next(frame, index))
                head.push_back({index, frame});
            std::size_t tail_used = 0;
            const auto at = choose_join(m_packer.state(), tail, head, nominal, tail_used);
            if (!at) return false;
            chosen.push_back(head[*at].index);
            for (std::size_t i = 0; i < tail_used; ++i)
                if (!m_packer.append(tail[i].frame)) return false;
            for (std::size_t i = *at; i < head.size(); ++i)
                if (!m_packer.append(head[i].frame)) return false;
            current = std::move(next);
        }
        Mp3Frame frame;
        std::int64_t index = 0;
        while (current.next(frame, index))
            if (!m_packer.append(frame)) return false;
        return true;
    }

    ReservoirPacker& packer() { return m_packer; }

private:
    ReservoirPacker m_packer;
    std::vector<WorkerResult>& m_results;
    const std::vector<Segment>& m_segments;
    const std::vector<std::int64_t>& m_joins;
};

void write_all(std::FILE* out, const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
        fail(kFailOutput, path, std::strerror(errno));
}

// Where each join lands in the decoded audio (a decoder drops delay + 529 samples).
void report_joins(const std::vector<std::int64_t>& frames, std::int64_t frame_size, int delay) {
    constexpr int kDecoderDelay = 529;
    for (std::int64_t frame : frames)
        std::fprintf(stderr, "tvenc: joined at sample %lld\n", static_cast<long long>(frame * frame_size - delay - kDecoderDelay));
}

} // namespace

int segment_count(double seconds, int threads) {
    return std::max(1, std::min(threads, static_cast<int>(seconds / kMinSegmentSeconds)));
}

namespace {

struct Plan {
    std::vector<Segment> segments;
    std::vector<std::int64_t> joins; // nominal first frame after each join
};

Plan plan_segments(std::int64_t total_frames, int count, const Grid& grid) {
    Plan plan;
    const std::int64_t pre_roll = round_up(kEarly + kWarmUp, grid.step);
    for (int k = 0; k < count; ++k) {
        // Each worker but the last encodes kLate frames past its share: start the next
        // one earlier by half of that, so that both finish together.
        const std::int64_t nominal = k == 0 ? 0 : round_up(total_frames * k / count - kLate / 2, grid.step);
        if (k) plan.joins.push_back(nominal);
        plan.segments.push_back({k == 0 ? 0 : nominal - pre_roll, -1, k == 0});
    }
    for (std::size_t k = 0; k + 1 < plan.segments.size(); ++k)
        plan.segments[k].end_sample = (plan.joins[k] + kLate + kPostRoll) * grid.frame;
    return plan;
}

std::vector<WorkerResult> run_workers(const ParallelJob& job, const Grid& grid, const Plan& plan, Progress& progress) {
    std::atomic<std::int64_t> progress_frames{0};
    std::vector<WorkerResult> results(plan.segments.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < plan.segments.size(); ++i) {
        const std::int64_t nominal_start = i == 0 ? 0 : plan.joins[i - 1] * grid.frame;
        const std::int64_t nominal_end = i + 1 < plan.segments.size() ? plan.joins[i] * grid.frame : -1;
        try {
            threads.emplace_back([&, i, nominal_start, nominal_end] {
                Worker(job, grid, plan.segments[i], nominal_start, nominal_end, progress_frames).run(results[i]);
            });
        } catch (const std::system_error&) {
            // Out of threads or memory for a stack: the file goes to one core instead.
            results[i].not_started = true;
            break;
        }
    }
    std::atomic<bool> done{false};
    std::optional<std::thread> reporter;
    try {
        reporter.emplace([&] {
            while (!done) {
                progress.set(progress_frames);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    } catch (const std::system_error&) {
        // Without its reporter the parallel encode only shows no figures until done.
    }
    for (std::thread& t : threads) t.join();
    done = true;
    if (reporter) reporter->join();
    return results;
}

void close_streams(std::vector<WorkerResult>& results) {
    for (WorkerResult& r : results) {
        if (r.stream) std::fclose(r.stream);
        r.stream = nullptr;
    }
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
    const std::string& path = job.options.output;
    write_all(out, path, job.tags.leading);
    std::vector<std::uint8_t> info = results[0].info.empty() ? own_info_frame(results[0].stream, job) : results[0].info;
    write_all(out, path, info);
    Joiner joiner(out, results, plan.segments, plan.joins);
    if (!joiner.join()) return false;
    ReservoirPacker& packer = joiner.packer();
    if (!packer.finish()) fail(kFailOutput, path, std::strerror(errno));
    write_all(out, path, job.tags.trailing);
    const std::int64_t samples = plan.segments.back().first_frame * grid.frame + results.back().fed;
    const int delay = results[0].delay;
    const auto padding = static_cast<int>(static_cast<std::int64_t>(packer.frames()) * grid.frame - samples - delay);
    const auto& sizes = packer.frame_sizes();
    const std::uint64_t audio_bytes = std::accumulate(sizes.begin(), sizes.end(), std::uint64_t{0});
    complete_info_frame(info, {packer.frames(), &sizes, audio_bytes, delay, std::max(0, padding), packer.crc()});
    if (job.options.report_joins) report_joins(joiner.chosen, grid.frame, delay);
    if (std::fseek(out, static_cast<long>(job.tags.leading.size()), SEEK_SET) != 0)
        fail(kFailOutput, path, std::strerror(errno));
    write_all(out, path, info);
    return true;
}

} // namespace

bool encode_in_parallel(const ParallelJob& job) {
    const Grid grid = make_grid(job.in_rate, job.format.rate);
    const double seconds = static_cast<double>(job.facts.frames) / static_cast<double>(job.in_rate);
    const int count = segment_count(seconds, job.threads);
    if (count < 2) return false;
    Plan plan = plan_segments(job.facts.frames * job.format.rate / job.in_rate / grid.frame, count, grid);
    std::vector<WorkerResult> results = run_workers(job, grid, plan, job.progress);
    for (WorkerResult& r : results) {
        if (r.failure || r.format_changed || r.not_started) {
            close_streams(results);
            if (r.failure) throw *r.failure;
            return false;
        }
    }
    // Where a frame is too small to hold it, LAME keeps no place for the Info frame.
    plan.segments[0].info_frame = !results[0].info.empty();
    const std::string& path = job.options.output;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    bool joined = false;
    try {
        if (!out) fail(kFailOutput, path, std::strerror(errno));
        joined = write_joined(job, grid, plan, results, out);
        close_streams(results);
        const bool closed = std::fclose(out) == 0;
        out = nullptr;
        if (!closed) fail(kFailOutput, path, std::strerror(errno));
    } catch (const Failure&) {
        close_streams(results);
        if (out) std::fclose(out);
        throw;
    }
    if (!joined) return false;
    job.progress.done();
    return true;
}

} // namespace encoder
