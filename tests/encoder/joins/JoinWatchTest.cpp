#include "encoder/joins/JoinWatch.h"

#include "encoder/joins/ParallelPlan.h"

#include <gtest/gtest.h>

using namespace encoder;

namespace {

constexpr std::int64_t kNominal = 1000;

// A frame of 400 bytes of main data area whose data starts main_data_begin bytes back.
IndexedFrame frame(std::int64_t index, int main_data_begin, std::size_t size, bool long_edges = true) {
    IndexedFrame f{index, {}};
    f.frame.head_size = 36;
    f.frame.length = 436;
    f.frame.main_size = static_cast<int>(size);
    f.frame.main_data_begin = main_data_begin;
    f.frame.starts_long = f.frame.ends_long = long_edges;
    return f;
}

// The later worker's frames from the first candidate on: each wants 300 bytes of the
// reservoir, more than the earlier worker's frames leave (120), except where noted.
std::vector<IndexedFrame> head_frames() {
    std::vector<IndexedFrame> head;
    for (std::int64_t i = kNominal - kEarly; i < kNominal + kLate + kCatchUp; ++i)
        head.push_back(frame(i, 300, 380));
    return head;
}

} // namespace

// The earlier worker stops at the first candidate whose frame before it leaves room for
// the later worker's first frame, and only there: a frame that ends in short blocks, or
// one outside the window, is never a join however much room it leaves.
TEST(JoinWatch, StopsAtTheFirstCandidateInStepAndNeverOutsideTheWindow) {
    JoinWatch watch(kNominal);
    const std::vector<IndexedFrame> head = head_frames();
    watch.add(frame(kNominal - kEarly - 2, 300, 200)); // room, but before the window
    for (std::int64_t i = kNominal - kEarly - 1; i < kNominal + 2; ++i)
        watch.add(frame(i, 100, 380));
    EXPECT_FALSE(watch.check(head)) << "no frame so far leaves room for 300 bytes";
    watch.add(frame(kNominal + 2, 300, 200, false)); // room, but the windows do not meet
    EXPECT_FALSE(watch.check(head));
    watch.add(frame(kNominal + 3, 300, 200));
    watch.add(frame(kNominal + 4, 300, 200));
    EXPECT_EQ(watch.check(head), kNominal + 4) << "the first candidate in step, not a later one";

    JoinWatch late(kNominal);
    for (std::int64_t i = kNominal; i <= kNominal + kLate + 5; ++i)
        late.add(frame(i, i == kNominal + kLate ? 300 : 100, i == kNominal + kLate ? 200 : 380));
    EXPECT_FALSE(late.check(head)) << "the frame before a join past the window's last candidate";
}

// The later worker's head may come after the earlier worker has passed some candidates:
// they are tried then, in order, and each only once.
TEST(JoinWatch, CandidatesSeenBeforeTheHeadArrivedAreTriedWhenItDoes) {
    JoinWatch watch(kNominal);
    for (std::int64_t i = kNominal - kEarly - 1; i < kNominal + 10; ++i)
        watch.add(frame(i, i == kNominal + 1 || i == kNominal + 5 ? 300 : 100, i == kNominal + 1 ? 200 : 380));
    EXPECT_FALSE(watch.check({})) << "no head yet";
    EXPECT_EQ(watch.check(head_frames()), kNominal + 2);
    EXPECT_EQ(watch.check(head_frames()), kNominal + 6) << "the next in step, never one tried before";
}

// A join the later worker's frames cannot follow, for want of room in the frames after
// it, is no join.
TEST(JoinWatch, AJoinWhoseFollowingFramesOverflowIsRefused) {
    JoinWatch watch(kNominal);
    watch.add(frame(kNominal, 300, 200));
    std::vector<IndexedFrame> head = head_frames();
    for (IndexedFrame& f : head)
        f.frame.main_size = 1000; // more than a frame and the whole reservoir hold
    EXPECT_FALSE(watch.check(head));
}

// A join is only where the window shapes meet as long halves: the frame before it
// ending long and the frame at it starting long, or the joined stream switches
// between transforms mid-window. Both the watch and the joiner pass over a candidate
// that fits the reservoir but not the windows, and take the next one.
TEST(JoinWatch, OnlyLongHalvesMeetAtAJoin) {
    struct Case {
        const char* name;
        bool tail_ends_long, head_starts_long;
        std::int64_t expected;
    };
    for (const Case& c :
         {Case{"both long", true, true, kNominal + 1}, Case{"tail ends short", false, true, kNominal + 2},
          Case{"head starts short", true, false, kNominal + 2}}) {
        // Every frame of the tail leaves room for the head's 300 bytes.
        std::vector<IndexedFrame> tail;
        for (std::int64_t i = kNominal - kEarly - 1; i < kNominal + 5; ++i)
            tail.push_back(frame(i, i < kNominal ? 100 : 300, i < kNominal ? 380 : 200));
        std::vector<IndexedFrame> head = head_frames();
        tail[static_cast<std::size_t>(kNominal - tail.front().index)].frame.ends_long = c.tail_ends_long;
        head[static_cast<std::size_t>(kNominal + 1 - head.front().index)].frame.starts_long = c.head_starts_long;

        JoinWatch watch(kNominal);
        for (const IndexedFrame& f : tail)
            watch.add(f);
        EXPECT_EQ(watch.check(head), c.expected) << c.name;

        std::size_t tail_used = 0;
        const auto at = choose_join({}, tail, head, kNominal, tail_used);
        ASSERT_TRUE(at) << c.name;
        EXPECT_EQ(head[*at].index, c.expected) << c.name;
    }
}
