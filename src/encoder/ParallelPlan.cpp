#include "encoder/ParallelPlan.h"

#include "encoder/ParallelEncoder.h"

#include <algorithm>
#include <numeric>

namespace encoder {

Grid make_grid(long in_rate, long out_rate) {
    const std::int64_t frame = out_rate >= 32000 ? 1152 : 576;
    const std::int64_t b = out_rate / std::gcd(in_rate, out_rate);
    return {in_rate, out_rate, frame, b / std::gcd(b, frame)};
}

int segment_count(double seconds, int threads) {
    return std::max(1, std::min(threads, static_cast<int>(seconds / kMinSegmentSeconds)));
}

Plan plan_segments(std::int64_t total_frames, int count, const Grid& grid) {
    Plan plan;
    const std::int64_t pre_roll = grid.pre_roll();
    for (int k = 0; k < count; ++k) {
        // Each worker but the last encodes kLate frames past its share: start the next
        // one earlier by half of that, so that both finish together.
        const std::int64_t nominal = k == 0 ? 0 : grid.boundary(total_frames * k / count - kLate / 2);
        if (k) plan.joins.push_back(nominal);
        plan.segments.push_back({k == 0 ? 0 : nominal - pre_roll, -1, k == 0});
    }
    for (std::size_t k = 0; k + 1 < plan.segments.size(); ++k)
        plan.segments[k].end_sample = (plan.joins[k] + kPastJoin) * grid.frame;
    return plan;
}

} // namespace encoder
