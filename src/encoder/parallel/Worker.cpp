#include "encoder/parallel/Worker.h"

#include "encoder/base/Failure.h"
#include "encoder/decode/FormatConverter.h"
#include "encoder/decode/MpegSource.h"
#include "encoder/decode/SndfileSource.h"
#include "encoder/parallel/ThreadTimes.h"

#include <algorithm>
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

} // namespace

Worker::Worker(const WorkerContext& context, WorkShares::Share& share)
    : m_job(context.job), m_grid(context.grid), m_share(share), m_shares(context.shares),
      m_first_frame(share.segment.first_frame), m_info_frame(share.segment.info_frame),
      m_first_kept_sample(share.first_kept_sample), m_progress(context.progress_samples),
      m_skip_info(share.segment.info_frame), m_next_index(share.segment.first_frame) {}

double Worker::work(const WorkerContext& context, WorkShares::Share* share, bool take_over) {
    while (share) {
        Worker(context, *share).run();
        share = context.shares.finish(*share, take_over && share->result.encoded());
    }
    return thread_cpu_seconds();
}

void Worker::run() {
    WorkerResult& result = m_share.result;
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

void Worker::encode(WorkerResult& r) {
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
    const LameHandle handle = make_lame(m_job.format.rate, m_job.format.channels, m_job.options.bit_rate, m_info_frame);
    lame_t lame = handle.get();
    m_lame = lame;
    if (!lame) fail(kFailOutput, Cause::Internal, m_job.output.path(), "LAME rejected the settings");
    FormatConverter converter(m_job.format.rate, m_job.format.channels);
    AudioBlock block;
    const int channels = m_job.format.channels;
    bool more = true;
    while (!m_join) {
        // Another worker may have taken over the end of this share since the last block.
        const WorkShares::Limits limits = m_shares.report(m_share, start + r.fed_samples);
        m_end_kept_sample = limits.end_kept_sample;
        if (!more || (limits.end_sample && r.fed_samples >= *limits.end_sample - start)) break;
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
        if (limits.end_sample) samples = std::min(samples, *limits.end_sample - start - r.fed_samples);
        feed(r, lame, pcm.data(), samples, start);
    }
    // The frames up to the nominal join that this worker leaves to the next one
    // count here: the next one counts only from the join on.
    if (m_join && m_end_kept_sample)
        count_progress(start + r.fed_samples, *m_end_kept_sample - start - r.fed_samples, m_end_kept_sample);
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
void Worker::feed(WorkerResult& r, lame_t lame, const float* pcm, std::int64_t samples, std::int64_t start) {
    const int channels = m_job.format.channels;
    for (std::int64_t done = 0; done < samples && !m_join;) {
        const bool near_join = m_end_kept_sample &&
                               start + r.fed_samples >= *m_end_kept_sample - (kEarly + kWarmUp) * m_grid.frame_samples;
        const std::int64_t n = near_join ? std::min(samples - done, m_grid.frame_samples) : samples - done;
        count_progress(start + r.fed_samples, n, m_end_kept_sample);
        write(r, encode_pcm(lame, channels, pcm + done * channels, static_cast<std::size_t>(n), m_bytes), true);
        r.fed_samples += n;
        done += n;
        try_join();
    }
}

void Worker::write(WorkerResult& r, int made, bool streaming) {
    if (made < 0) fail(kFailOutput, Cause::Internal, m_job.output.path(), "LAME failed to encode");
    if (made > 0 && std::fwrite(m_bytes.data(), 1, static_cast<std::size_t>(made), r.stream.get()) !=
                        static_cast<std::size_t>(made))
        throw NoRoom{};
    if (made > 0) take_frames(r, made, streaming);
}

// Every frame's shape is kept for the join; what the flush adds is no longer the
// stream a longer encode makes, so only the frames before it are tried as joins.
void Worker::take_frames(WorkerResult& r, int made, bool streaming) {
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
bool Worker::keeps_info_frame() const {
    return lame_get_frameNum(m_lame) == 0 || lame_get_lametag_frame(m_lame, nullptr, 0) > 0;
}

void Worker::watch_for_join(const IndexedFrame& frame) {
    if (!m_watch && m_end_kept_sample && frame.index + 1 >= *m_end_kept_sample / m_grid.frame_samples - kEarly)
        m_watch.emplace(*m_end_kept_sample / m_grid.frame_samples);
    if (m_watch) m_watch->add(frame);
}

// The first share has no join before it, so no head to give.
void Worker::collect_head(IndexedFrame&& frame) {
    const std::int64_t join = m_first_kept_sample / m_grid.frame_samples;
    if (m_first_kept_sample == 0 || m_head_published || frame.index < join - kEarly) return;
    m_head.push_back(std::move(frame));
    if (m_head.back().index + 1 >= join + kLate + kCatchUp) {
        m_shares.publish_head(m_share, std::move(m_head));
        m_head_published = true;
    }
}

void Worker::try_join() {
    if (!m_watch) return;
    const std::span<const IndexedFrame> head = m_shares.head_after(m_share);
    if (!head.empty()) m_join = m_watch->check(head);
}

// Only the part of the segment that no other worker covers counts.
void Worker::count_progress(std::int64_t from, std::int64_t samples, std::optional<std::int64_t> end_kept_sample) {
    const std::int64_t a = std::max(from, m_first_kept_sample);
    const std::int64_t b = end_kept_sample ? std::min(from + samples, *end_kept_sample) : from + samples;
    if (b > a) m_progress += m_grid.to_input(b - a);
}

} // namespace encoder
