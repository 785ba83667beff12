// The text the program shows from bytes it did not choose: GBK tag fields, paths in
// any encoding, numbers typed or read. Every result is valid UTF-8 (what Qt is given),
// a path keeps its slashes, and a number's text reads back as what it says.
#include "primitives/Gbk.h"
#include "primitives/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string decoded = primitives::gbk_to_utf8(bytes);
    if (!primitives::is_utf8(decoded)) std::abort();
    const std::string shown = primitives::path_for_display(bytes);
    if (std::count(shown.begin(), shown.end(), '/') != std::count(bytes.begin(), bytes.end(), '/')) std::abort();
    // Names that decode cleanly show as UTF-8; others keep their bytes for the display to mark.
    if (primitives::is_utf8(bytes) && shown != bytes) std::abort();
    const double number = primitives::to_number(bytes);
    if (std::isnan(number)) std::abort();
    // Numbers are shown with 13 significant digits: whole ones below 10^13 read back exactly.
    if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 1e13) {
        if (primitives::to_number(primitives::to_text(number)) != number) std::abort();
    }
    primitives::integer_part(number);
    return 0;
}
