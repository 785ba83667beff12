#include "encoder/joins/ParallelPlan.h"

#include <gtest/gtest.h>

using namespace encoder;

// A three-minute song keeps sixteen cores busy; a twenty-second one takes only the
// cores whose joins cost at most a tenth of their share, and a few seconds stay whole.
// With each join found among its first candidates, the frames encoded twice (the later
// worker's warm-up and the earlier one's frames past the join) stay few.
TEST(ParallelPlan, ShortSegmentsForManyCoresAndJoinsThatCostLittle) {
    const Grid grid = make_grid(44100, 44100);
    const std::int64_t song = 180 * 44100 / grid.frame_samples;
    EXPECT_EQ(segment_count(song, 16), 16);
    EXPECT_GE(segment_count(song, 32), 24) << "a 3-minute song keeps most of 32 cores busy too";
    EXPECT_EQ(segment_count(20 * 44100 / grid.frame_samples, 16), 3);
    EXPECT_EQ(segment_count(5 * 44100 / grid.frame_samples, 16), 1);
    EXPECT_EQ(segment_count(song, 1), 1);

    const Plan plan = plan_segments(song, 16, grid);
    ASSERT_EQ(plan.joins.size(), 15u);
    std::int64_t twice = 0;
    for (std::size_t k = 0; k < plan.joins.size(); ++k) {
        const std::int64_t stop = plan.joins[k] - kEarly + kHandOut; // the earlier worker's last frame
        twice += stop - plan.segments[k + 1].first_frame;
        EXPECT_GE(plan.joins[k] - kEarly, plan.segments[k + 1].first_frame + kWarmUp) << "the later one warms up";
        if (k > 0) {
            EXPECT_GE(plan.joins[k] - plan.joins[k - 1], kEarly + kLate + kCatchUp) << "candidates never mix";
        }
    }
    EXPECT_LE(twice / 15, 40);
    EXPECT_LE(static_cast<double>(twice) / static_cast<double>(song), 0.06);
    // Every worker has about as much to do, its warm-up included.
    const std::int64_t first = plan.joins[0], last = song - plan.segments.back().first_frame;
    EXPECT_NEAR(static_cast<double>(first), static_cast<double>(last), 4.0);
}
