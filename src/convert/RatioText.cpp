#include "convert/RatioText.h"

namespace convert {

using namespace primitives;

Text ratio_text(std::int64_t output_size, std::int64_t source_size) {
    if (source_size <= 0) return "0%";
    const double ratio = static_cast<double>(output_size) / static_cast<double>(source_size) * 100.0;
    return to_text(integer_part(ratio)) + "%";
}

} // namespace convert
