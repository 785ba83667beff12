#include "encoder/joins/JoinChoice.h"

#include "encoder/joins/ParallelPlan.h"

#include <algorithm>

namespace encoder {

std::optional<std::int64_t> join_lag(ReservoirPacker::State state, std::span<const IndexedFrame> head) {
    const Mp3Frame& first = head.front().frame;
    const std::int64_t lag = std::max(state.data_end, state.area_end - first.max_main_data_begin()) -
                             (state.area_end - first.main_data_begin);
    bool caught_up = false;
    for (auto f = head.begin(); !caught_up && f != head.end(); ++f)
        if (!ReservoirPacker::advance(state, f->frame, &caught_up)) return std::nullopt;
    return lag;
}

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
        for (auto f = tail.begin(); fits && f <= t; ++f)
            fits = ReservoirPacker::advance(s, f->frame);
        const auto lag = fits ? join_lag(s, std::span(h, head.end())) : std::nullopt;
        if (!lag) continue;
        if (*lag <= 0) {
            tail_used = static_cast<std::size_t>(t - tail.begin()) + 1;
            return static_cast<std::size_t>(h - head.begin());
        }
        if (!best || *lag < best_lag) {
            best = static_cast<std::size_t>(h - head.begin());
            best_lag = *lag;
            tail_used = static_cast<std::size_t>(t - tail.begin()) + 1;
        }
    }
    return best;
}

} // namespace encoder
