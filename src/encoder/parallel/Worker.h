#pragma once

#include "encoder/joins/JoinWatch.h"
#include "encoder/joins/ParallelPlan.h"
#include "encoder/joins/WorkerResult.h"
#include "encoder/mp3/LameEncoder.h"
#include "encoder/mp3/Mp3FrameParser.h"
#include "encoder/parallel/ParallelJob.h"
#include "encoder/parallel/WorkShares.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace encoder {

// What every worker thread of one file shares.
struct WorkerContext {
    const ParallelJob& job;
    Grid grid;
    WorkShares& shares;
    std::atomic<std::int64_t>& progress_samples; // input samples counted by every worker together
};

// Encodes one share into a scratch file beside the output with a decoder and a LAME
// encoder of its own; near the join after its share it watches for a frame where the
// next share's head fits, and stops there.
class Worker {
public:
    Worker(const WorkerContext& context, WorkShares::Share& share);
    // Fills the share's result; whatever ends the worker is kept there for the main thread.
    void run();

    // One thread's work: its planned share, then, with take_over, whatever it can take
    // over from the others. Returns the thread's CPU seconds.
    static double work(const WorkerContext& context, WorkShares::Share* share, bool take_over);

private:
    void encode(WorkerResult& r);
    void feed(WorkerResult& r, lame_t lame, const float* pcm, std::int64_t samples, std::int64_t start);
    void write(WorkerResult& r, int made, bool streaming);
    void take_frames(WorkerResult& r, int made, bool streaming);
    bool keeps_info_frame() const;
    void watch_for_join(const IndexedFrame& frame);
    void collect_head(IndexedFrame&& frame);
    void try_join();
    void count_progress(std::int64_t from, std::int64_t samples, std::optional<std::int64_t> end_kept_sample);

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

} // namespace encoder
