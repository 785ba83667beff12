#pragma once

#include "encoder/joins/JoinChoice.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace encoder {

// Watches the frames that the worker before a join makes, so that it can stop at the
// first candidate that is in step at once instead of encoding the whole window. Each
// candidate is judged with the reservoir as the worker's own encoder left it after the
// frame before the join: the joined stream, packed as early as it goes, never has less
// room there, so the joiner finds that join (or an earlier one) in step too.
class JoinWatch {
public:
    explicit JoinWatch(std::int64_t nominal_frame) : m_nominal_frame(nominal_frame) {}

    std::int64_t nominal_frame() const { return m_nominal_frame; }
    // The next frame of the worker's own stream; only those before a candidate are kept.
    void add(const IndexedFrame& frame);
    // Against the later worker's head (its frames from the first candidate on), the first
    // candidate that is in step at once among those whose frame before it has arrived.
    // Each candidate is tried once.
    std::optional<std::int64_t> check(std::span<const IndexedFrame> head);

private:
    std::int64_t m_nominal_frame;
    std::vector<IndexedFrame> m_tail;
    std::size_t m_checked = 0;
};

} // namespace encoder
