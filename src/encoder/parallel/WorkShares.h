#pragma once

#include "encoder/joins/ParallelPlan.h"
#include "encoder/joins/WorkerResult.h"
#include "encoder/mp3/Mp3Frame.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace encoder {

// What each worker of one file still has to encode. On shared cores one worker often
// runs slower than another; a worker that is done takes over the second half of the
// largest remainder, and the share's owner stops short of it, so that no core idles
// while another finishes alone.
class WorkShares {
public:
    struct Share {
        Segment segment;
        std::int64_t first_kept_sample;              // first output sample of the file this share keeps
        std::optional<std::int64_t> end_kept_sample; // first sample the next share keeps; none: the file's end
        std::int64_t fed_sample = 0;                 // the file's output samples given to LAME so far end here so far
        bool running = true;
        WorkerResult result;
        Share* next = nullptr; // the share after this one in the file
        // Its first frames from the first join candidate on, for the worker before it to
        // try joins against while it encodes; set once, then only read.
        std::vector<IndexedFrame> head;
        bool head_ready = false;
    };
    // What the owner of a share may do now: feed LAME up to end_sample (none: to the end)
    // and count as its own progress only what lies before end_kept_sample (none: the end).
    struct Limits {
        std::optional<std::int64_t> end_sample;
        std::optional<std::int64_t> end_kept_sample;
    };

    WorkShares(const Plan& plan, const Grid& grid, std::int64_t total_frames);

    Share& planned(std::size_t index);
    // Called before each block the owner encodes, from fed_sample on.
    Limits report(Share& share, std::int64_t fed_sample);
    // The share's frames from the first candidate of its join on, as far as the joiner looks.
    void publish_head(Share& share, std::vector<IndexedFrame> head);
    // The head of the share after this one, once it has been published; empty until then.
    std::span<const IndexedFrame> head_after(const Share& share);
    // The share is done (or will never start); with take_another, a new share taken
    // from the largest remainder, if any is worth it.
    Share* finish(Share& share, bool take_another);
    // Planned share index gets no thread: its result says so, and it is finished.
    void never_started(std::size_t index);
    // The shares in the order of the file, with their results.
    Plan collect(std::vector<WorkerResult>& results);

private:
    std::int64_t end_frame(const Share& share) const;
    Share* take_from(Share& owner);

    std::mutex m_mutex;
    std::deque<Share> m_shares; // a deque: shares handed out stay where they are
    Grid m_grid;
    std::int64_t m_total_frames;
};

} // namespace encoder
