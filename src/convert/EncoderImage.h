#pragma once

#include "primitives/Text.h"

#include <span>

namespace convert {

// The tvenc executable, carried inside the program.
std::span<const std::uint8_t> encoder_image();

// Writes the image out as an executable file named 60718243.exe into a new private
// folder of its own, so two running copies of the program never share one and nobody
// else can swap it. Returns the path, or empty when that failed.
primitives::Text stage_encoder();
// Deletes a staged encoder and the folder that holds it.
void remove_staged_encoder(const primitives::Text& path);

} // namespace convert
