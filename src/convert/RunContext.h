#pragma once

#include "primitives/Text.h"

#include <functional>

namespace convert {

// Program-wide state of the conversion run: the stop request is set when the main
// window goes and is tested before each row; it is never cleared.
struct RunContext {
    bool stop_request = false;
    // Where each run's encoder comes from: the carried image, staged in a private
    // folder; tests put a scripted encoder of their own there. The file and its
    // folder are removed when the run ends.
    std::function<primitives::Text()> stage_encoder;
};

} // namespace convert
