#include "encoder/joins/ParallelPlan.h"

#include <algorithm>
#include <numeric>

namespace encoder {

Grid make_grid(long in_rate, long out_rate) {
    const std::int64_t frame_samples = out_rate >= 32000 ? 1152 : 576;
    const std::int64_t b = out_rate / std::gcd(in_rate, out_rate);
    return {in_rate, out_rate, frame_samples, b / std::gcd(b, frame_samples)};
}

int segment_count(std::int64_t total_frames, int threads) {
    return static_cast<int>(std::clamp<std::int64_t>(total_frames / kMinSegmentFrames, 1, std::max(threads, 1)));
}

Plan plan_segments(std::int64_t total_frames, int count, const Grid& grid) {
    Plan plan;
    const std::int64_t pre_roll = grid.pre_roll();
    for (int k = 0; k < count; ++k) {
        // Every worker but the first warms up before its share: give the first one as
        // many frames more, so that all finish together.
        const std::int64_t nominal =
            k == 0 ? 0 : grid.boundary(total_frames * k / count + pre_roll * (count - k) / count);
        if (k) plan.joins.push_back(nominal);
        plan.segments.push_back({k == 0 ? 0 : nominal - pre_roll, std::nullopt, k == 0});
    }
    for (std::size_t k = 0; k + 1 < plan.segments.size(); ++k)
        plan.segments[k].end_sample = (plan.joins[k] + kPastJoin) * grid.frame_samples;
    return plan;
}

} // namespace encoder
