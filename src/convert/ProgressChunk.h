#pragma once

#include "primitives/Text.h"

#include <optional>

namespace convert {

struct ProgressUpdate {
    int bar;                // value truncated toward zero
    primitives::Text label; // value rounded, followed by "%"
};

// One read of the encoder's output, taken alone: the figure between its first "n:"
// and its first "%". Nothing when either marker is missing.
std::optional<ProgressUpdate> parse_progress_chunk(const primitives::Text& chunk);

// The "压缩率" cell: output size as a whole percentage of the source size.
primitives::Text ratio_text(std::int64_t output_size, std::int64_t source_size);

} // namespace convert
