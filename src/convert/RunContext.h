#pragma once

namespace convert {

// Program-wide state of the conversion run: the stop request is set when the main
// window goes and is tested before each row; it is never cleared.
struct RunContext {
    bool stop_request = false;
};

} // namespace convert
