#pragma once

#include "encoder/mp3/Mp3Frame.h"
#include "encoder/mp3/ReservoirPacker.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace encoder {

// How far the main data of a join's first frame lands after where its encoder put it,
// from state as the frames before the join left it; nullopt when the head's frames
// (from the join on, until they are back in step) do not all fit.
std::optional<std::int64_t> join_lag(ReservoirPacker::State state, std::span<const IndexedFrame> head);

// Chooses the frame at which the stream switches from tail (the earlier worker) to
// head (the later one); tail_used learns how many tail frames come before it.
std::optional<std::size_t> choose_join(const ReservoirPacker::State& state, const std::vector<IndexedFrame>& tail,
                                       const std::vector<IndexedFrame>& head, std::int64_t nominal,
                                       std::size_t& tail_used);

} // namespace encoder
