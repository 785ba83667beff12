#pragma once

#include "primitives/Text.h"

#include <cstdint>

namespace convert {

// The "压缩率" cell: output size as a whole percentage of the source size.
primitives::Text ratio_text(std::int64_t output_size, std::int64_t source_size);

} // namespace convert
