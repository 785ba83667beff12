#include "encoder/parallel/OneCoreReason.h"

#include "encoder/joins/WorkerResult.h"

namespace encoder {

const char* describe(OneCoreReason reason) {
    switch (reason) {
    case OneCoreReason::OneThread:
        return "one thread";
    case OneCoreReason::TooShort:
        return "too short to share";
    case OneCoreReason::NoThreadOrRoom:
        return "no thread or no room for a worker";
    case OneCoreReason::FormatChanged:
        return "the audio format changes";
    case OneCoreReason::NotTakenApart:
        return "a worker's stream could not be taken apart";
    case OneCoreReason::NoJoinFits:
        return "no join fits";
    }
    return "";
}

std::optional<OneCoreReason> unjoinable(const std::vector<WorkerResult>& results) {
    for (const WorkerResult& r : results) {
        if (r.not_started) return OneCoreReason::NoThreadOrRoom;
        if (r.format_changed) return OneCoreReason::FormatChanged;
        if (!r.shapes_whole) return OneCoreReason::NotTakenApart;
    }
    return std::nullopt;
}

} // namespace encoder
