#pragma once

#include "primitives/Text.h"

#include <span>

namespace convert {

// The tvenc executable, carried inside the program.
std::span<const std::uint8_t> encoder_image();

// Writes the image out as an executable file named 60718243.exe: into the program
// folder when it can be written, else into a private temporary folder. Returns
// the path, or empty when neither worked.
primitives::Text stage_encoder();
primitives::Text stage_encoder(const primitives::Text& preferred);
primitives::Text stage_encoder_in(const primitives::Text& folder);
// Deletes a staged encoder (and the temporary folder that held it).
void remove_staged_encoder(const primitives::Text& path);

} // namespace convert
