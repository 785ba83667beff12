#pragma once

#include "primitives/Text.h"

#include <vector>

namespace convert {

// "-br 64000", or "-br 16000 -dm on" for mono (channel selection 1).
primitives::Text switch_text(int kbps, int channel_selection);

// The child's argument vector: encoder, source, output, then the switch text split
// at its blanks. Each path stays one argument; no shell ever sees it.
std::vector<primitives::Text> encoder_arguments(const primitives::Text& encoder, const primitives::Text& source,
                                                const primitives::Text& output, const primitives::Text& switches);

// What the encoder's environment gains: the program's process id, so that the encoder
// ends, removing its unfinished output, when the program goes however it went.
std::vector<primitives::Text> encoder_environment();

} // namespace convert
