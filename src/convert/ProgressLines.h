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
    // The encoder's reason for failing: its last line, where that begins "tvenc: ". A
    // line before it, whatever it says, is no reason.
    primitives::Text failure_line() const;
    // The number of the name the result took where its own was taken meanwhile; 0 when
    // it went to the name it was given.
    int numbered() const { return m_numbered; }
    // The output has ended: a last line without its end counts too.
    std::optional<ProgressUpdate> finish();

private:
    std::optional<ProgressUpdate> take_line(const primitives::Text& line);

    primitives::Text m_partial;
    primitives::Text m_last;
    int m_numbered = 0;
};

} // namespace convert
