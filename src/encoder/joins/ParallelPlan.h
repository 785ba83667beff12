#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace encoder {

// How one file is cut for several cores, in output frames.
// Join candidates run from kEarly frames before the nominal frame to kLate after it: the
// two encoders' reservoirs drift apart and together, and a join is cleanest where the
// later one takes no more from the reservoir than the earlier one left free.
inline constexpr std::int64_t kEarly = 6;
inline constexpr std::int64_t kLate = 120;
inline constexpr std::int64_t kWarmUp = 12;   // frames a worker encodes before its first candidate
inline constexpr std::int64_t kPostRoll = 10; // frames a worker encodes past its last candidate
inline constexpr std::int64_t kCatchUp = 64;  // frames within which the reservoir must be back in step
// Frames the worker before a join encodes past the nominal join when no candidate is in
// step at once (or the later worker's head is not there yet): its last candidates and the
// post-roll. The joiner then picks the best of them.
inline constexpr std::int64_t kPastJoin = kLate + kPostRoll;
// Frames the worker before a join encodes past a candidate before LAME hands out the
// frame before it, whole: the encoder's delay and look-ahead, and the reservoir.
inline constexpr std::int64_t kHandOut = 4;
// Frames encoded twice at a join whose first candidates are in step: the later
// worker's warm-up and the earlier one's hand-out.
inline constexpr std::int64_t kJoinCost = kEarly + kWarmUp + kHandOut;
// A join may cost at most a tenth of the frames of a segment; and no segment is
// so short that the candidates of two joins overlap.
inline constexpr std::int64_t kMinSegmentFrames = std::max(10 * kJoinCost, kEarly + kLate + kCatchUp + 1);

struct Segment {
    std::int64_t first_frame;               // global index of the worker's first LAME frame
    std::optional<std::int64_t> end_sample; // output samples to feed in all; none: the whole rest
    bool info_frame;
};

struct Grid {
    long in_rate, out_rate;
    std::int64_t frame_samples; // samples per output frame
    std::int64_t step;          // frames between boundaries where input and output samples coincide
    std::int64_t to_input(std::int64_t out_sample) const { return out_sample * in_rate / out_rate; }
    // The first boundary at or after a frame (an index).
    std::int64_t boundary(std::int64_t frame_index) const { return (frame_index + step - 1) / step * step; }
    // Frames a worker after a join starts before it, on a boundary.
    std::int64_t pre_roll() const { return boundary(kEarly + kWarmUp); }
};

Grid make_grid(long in_rate, long out_rate);

struct Plan {
    std::vector<Segment> segments;
    std::vector<std::int64_t> joins; // nominal first frame after each join
};

// How many segments a file of this many output frames is cut into.
int segment_count(std::int64_t total_frames, int threads);

// Segments of about equal share for count workers; every segment but the first starts
// early enough for the encoder to warm up before its first join candidate.
Plan plan_segments(std::int64_t total_frames, int count, const Grid& grid);

} // namespace encoder
