#include "encoder/joins/JoinWatch.h"

#include "encoder/joins/ParallelPlan.h"

namespace encoder {

void JoinWatch::add(const IndexedFrame& frame) {
    const std::int64_t join = frame.index + 1;
    if (join >= m_nominal_frame - kEarly && join <= m_nominal_frame + kLate) m_tail.push_back(frame);
}

std::optional<std::int64_t> JoinWatch::check(std::span<const IndexedFrame> head) {
    if (head.empty()) return std::nullopt;
    for (; m_checked < m_tail.size(); ++m_checked) {
        const IndexedFrame& t = m_tail[m_checked];
        if (!t.frame.ends_long) continue;
        const std::int64_t at = t.index + 1 - head.front().index;
        if (at < 0 || at >= static_cast<std::int64_t>(head.size())) continue;
        const IndexedFrame& h = head[static_cast<std::size_t>(at)];
        if (h.index != t.index + 1 || !h.frame.starts_long) continue;
        // Where the encoder put the frame's main data, and so the room it left after it,
        // far from the start of the stream.
        constexpr std::int64_t kFar = std::int64_t{1} << 40;
        const std::int64_t area_start = kFar - t.frame.capacity();
        const std::int64_t data_end = area_start - t.frame.main_data_begin + t.frame.main_size;
        const auto lag = join_lag({kFar, data_end}, head.subspan(static_cast<std::size_t>(at)));
        if (lag && *lag <= 0) {
            ++m_checked;
            return h.index;
        }
    }
    return std::nullopt;
}

} // namespace encoder
