#pragma once

#include <optional>
#include <vector>

namespace encoder {

struct WorkerResult;

// Why a file is encoded on one core after all.
enum class OneCoreReason {
    OneThread,      // one thread asked for, or one core online
    TooShort,       // too few frames for two segments
    NoThreadOrRoom, // a worker got no thread, or its scratch file no room
    FormatChanged,  // the audio's rate or channels change mid-way
    NotTakenApart,  // a worker's stream could not be taken apart into frames
    NoJoinFits,     // some join finds no frame where the streams meet cleanly
};

// A few words for --report-joins.
const char* describe(OneCoreReason reason);
// Why the workers' results cannot be joined, where one of them says so (a worker's
// error aside, which is thrown instead).
std::optional<OneCoreReason> unjoinable(const std::vector<WorkerResult>& results);

} // namespace encoder
