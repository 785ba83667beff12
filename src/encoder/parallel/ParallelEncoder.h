#pragma once

#include "encoder/parallel/OneCoreReason.h"
#include "encoder/parallel/ParallelJob.h"

#include <optional>

namespace encoder {

// One file on several cores: the output timeline is cut into segments on frame
// boundaries, each encoded by its own decoder and LAME instance starting a few
// frames early, and the frame streams are joined where the window sequence and
// the bit reservoir allow it. Where that cannot be done, nothing of the output is
// kept and the reason is returned: the file is then encoded on one core.
std::optional<OneCoreReason> encode_in_parallel(const ParallelJob& job);

} // namespace encoder
