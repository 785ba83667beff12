#pragma once

#include "primitives/Text.h"

#include <vector>

namespace primitives {

// Starts argv[0] with the arguments after it, its input and output going nowhere, and
// waits for it: true when it ran and exited with 0. False otherwise, with errno telling
// why a start was refused (EACCES where the file system lets no program start).
bool runs_cleanly(const std::vector<Text>& argv);

} // namespace primitives
