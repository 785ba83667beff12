#pragma once

#include "primitives/FolderLock.h"
#include "primitives/Text.h"

#include <span>

namespace convert {

// The tvenc executable, carried inside the program.
std::span<const std::uint8_t> encoder_image();

// Writes the image out as an executable file named 60718243.exe into a new private
// folder of its own, locked by lock for as long as the run holds it, so two running
// copies of the program never share one, nobody else can swap it, and a folder left
// by a program that died can be told from one in use. The first safe staging base
// where that works, and where the staged image then runs ("--version"), is taken.
// Returns the path, or empty (the reason on stderr).
primitives::Text stage_encoder(primitives::FolderLock& lock, std::span<const std::uint8_t> image = encoder_image());
// Deletes a staged encoder, its lock and the folder that holds them.
void remove_staged_encoder(const primitives::Text& path, primitives::FolderLock& lock);
// Removes what programs that ended without cleaning up left staged.
int remove_stale_encoders();

} // namespace convert
