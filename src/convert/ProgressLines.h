#pragma once

#include "primitives/Text.h"

#include <optional>

namespace convert {

struct ProgressUpdate {
    int bar;                // value truncated toward zero
    primitives::Text label; // value rounded, followed by "%"
};

// The encoder's output, read in pieces of any size: a line split across reads is
// put together before it counts, and only a whole "Completion:" line moves the bar,
// by the figure right after that prefix up to its "%", held to 0..100.
class ProgressLines {
public:
    // The figure of the newest complete progress line in this piece, if any.
    std::optional<ProgressUpdate> feed(const primitives::Text& piece);
    // The newest complete line beginning "tvenc: ", the encoder's reason for failing.
    const primitives::Text& failure_line() const { return m_failure; }
    // The output has ended: a last line without its end counts too.
    std::optional<ProgressUpdate> finish();

private:
    std::optional<ProgressUpdate> take_line(const primitives::Text& line);

    primitives::Text m_partial;
    primitives::Text m_failure;
};

} // namespace convert
