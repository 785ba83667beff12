// The run's reader of the encoder's output, fed any bytes in pieces of any size:
// it never crashes and never gives a figure outside the bar's range.
#include "convert/ProgressLines.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    convert::ProgressLines lines;
    std::size_t at = 0;
    while (at < size) {
        // The first byte of each piece says how long it is (at most 80, as the run reads).
        const std::size_t length = std::min<std::size_t>(data[at] % 81, size - at - 1);
        const auto update = lines.feed(std::string(reinterpret_cast<const char*>(data) + at + 1, length));
        if (update && (update->bar < 0 || update->bar > 100)) std::abort();
        at += length + 1;
    }
    const auto last = lines.finish();
    if (last && (last->bar < 0 || last->bar > 100)) std::abort();
    return 0;
}
