#include "encoder/parallel/WorkShares.h"

#include <gtest/gtest.h>

using namespace encoder;

// A 10,000-frame file on two cores. The first worker is done while the second is at
// frame 6,000: the first takes over the second half of what is left, the second stops
// short of it, each frame is counted by one of them, and the joins stay apart.
TEST(WorkShares, AFinishedWorkerTakesOverHalfOfTheLargestRemainder) {
    const Grid grid = make_grid(44100, 44100);
    Plan plan = plan_segments(10000, 2, grid);
    const std::int64_t first_join = plan.joins[0];
    WorkShares shares(plan, grid, 10000);
    WorkShares::Share& second = shares.planned(1);
    shares.report(second, 6000 * grid.frame_samples);
    WorkShares::Share* taken = shares.finish(shares.planned(0), true);
    ASSERT_NE(taken, nullptr);
    const std::int64_t join = taken->first_kept_sample / grid.frame_samples;
    EXPECT_GE(join, 6000 + 16);
    EXPECT_EQ(taken->segment.first_frame, join - 18) << "the taker warms up before its join";
    EXPECT_FALSE(taken->segment.end_sample) << "to the end of the file";
    EXPECT_FALSE(taken->end_kept_sample);
    EXPECT_FALSE(taken->segment.info_frame);
    const WorkShares::Limits owner = shares.report(second, 6001 * grid.frame_samples);
    EXPECT_EQ(owner.end_kept_sample.value_or(-1), taken->first_kept_sample);
    EXPECT_EQ(owner.end_sample.value_or(-1), (join + 130) * grid.frame_samples)
        << "the owner encodes past the join for the joiner";
    // Both have the same left to do: the owner up to the join and the few frames past it
    // that it needs to find one in step, the taker from its warm-up.
    EXPECT_NEAR(static_cast<double>(join + kHandOut - 6000), static_cast<double>(10000 - (join - 18)), 2.0);

    // Near the end nothing is worth taking, and a share that has ended is never taken from.
    shares.report(*taken, 9800 * grid.frame_samples);
    EXPECT_EQ(shares.finish(second, true), nullptr);
    EXPECT_EQ(shares.finish(*taken, true), nullptr);

    std::vector<WorkerResult> results;
    const Plan ended = shares.collect(results);
    ASSERT_EQ(ended.segments.size(), 3u);
    EXPECT_EQ(results.size(), 3u);
    EXPECT_EQ(ended.joins, (std::vector<std::int64_t>{first_join, join}));
    EXPECT_EQ(ended.segments[2].first_frame, join - 18);
}

// Three shares running: the worker that is done takes from the one with most left, and
// never places a join closer to another join, or to the end, than the candidates need.
TEST(WorkShares, TakesFromTheLargestRemainderAndKeepsJoinsApart) {
    const Grid grid = make_grid(44100, 44100);
    Plan plan = plan_segments(12000, 4, grid);
    WorkShares shares(plan, grid, 12000);
    const std::int64_t spacing = kEarly + kLate + kCatchUp + 1;
    // Share 1 has 2,000 frames left, share 2 has 2,800, share 3 has 1,500.
    shares.report(shares.planned(1), (plan.joins[1] - 2000) * grid.frame_samples);
    shares.report(shares.planned(2), (plan.joins[2] - 2800) * grid.frame_samples);
    shares.report(shares.planned(3), (12000 - 1500) * grid.frame_samples);
    WorkShares::Share* taken = shares.finish(shares.planned(0), true);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->end_kept_sample.value_or(-1), plan.joins[2] * grid.frame_samples)
        << "taken from share 2, the largest remainder";
    // Whatever is left later, no join comes closer than the spacing to another or the end.
    for (int round = 0; round < 40 && taken; ++round) {
        shares.report(*taken, taken->first_kept_sample + 5 * grid.frame_samples);
        taken = shares.finish(*taken, true);
    }
    std::vector<WorkerResult> results;
    const Plan ended = shares.collect(results);
    for (std::size_t k = 0; k < ended.joins.size(); ++k) {
        EXPECT_LE(ended.joins[k] + spacing, 12000);
        if (k > 0) {
            EXPECT_GE(ended.joins[k] - ended.joins[k - 1], spacing) << k;
        }
    }
}
