#pragma once

#include "encoder/Mp3Frame.h"
#include "encoder/ReservoirPacker.h"

#include <optional>
#include <vector>

namespace encoder {

struct IndexedFrame {
    std::int64_t index;
    Mp3Frame frame;
};

// Chooses the frame at which the stream switches from tail (the earlier worker) to
// head (the later one); tail_used learns how many tail frames come before it.
std::optional<std::size_t> choose_join(const ReservoirPacker::State& state, const std::vector<IndexedFrame>& tail,
                                       const std::vector<IndexedFrame>& head, std::int64_t nominal,
                                       std::size_t& tail_used);

} // namespace encoder
