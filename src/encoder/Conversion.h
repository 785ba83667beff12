#pragma once

#include "encoder/base/Options.h"

namespace encoder {

// Converts options.input into options.output: kSuccess, or a Failure thrown with its
// exit code and message. Nothing but a complete result is ever left at the output.
int convert(const Options& options);

} // namespace encoder
