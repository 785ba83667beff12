#include "convert/ProgressChunk.h"

namespace convert {

using namespace primitives;

std::optional<ProgressUpdate> parse_progress_chunk(const Text& chunk) {
    const auto marker = find_text(chunk, "n:");
    if (marker < 0) return std::nullopt;
    const auto percent = find_text(chunk, "%");
    if (percent < 0) return std::nullopt;
    const double value = to_number(middle_text(chunk, marker + 2, percent - marker - 2));
    return ProgressUpdate{static_cast<int>(value), to_text(round_to(value)) + "%"};
}

Text ratio_text(std::int64_t output_size, std::int64_t source_size) {
    if (source_size <= 0) return "0%";
    const double ratio = static_cast<double>(output_size) / static_cast<double>(source_size) * 100.0;
    return to_text(integer_part(ratio)) + "%";
}

} // namespace convert
