#include "encoder/Failure.h"

#include <cerrno>
#include <cstring>

#include "shared/ProgressContract.h"

namespace encoder {

namespace {

// A progress reader takes the figure after "n:" up to the next "%": a name that holds
// both in that order has its "%" written as "\x25", so no message looks like progress.
std::string echoed(const std::string& file) {
    const auto marker = file.find("n:");
    if (marker == std::string::npos || file.find('%', marker) == std::string::npos) return file;
    std::string text;
    for (char c : file)
        text += c == '%' ? std::string("\\x25") : std::string(1, c);
    return text;
}

} // namespace

const char* cause_word(Cause cause) {
    static constexpr const char* kWords[] = {"not-audio",  "empty",      "damaged",   "unsupported", "no-source",
                                             "unreadable", "not-a-file", "no-folder", "read-only",   "disk-full",
                                             "no-memory",  "same-file",  "format",    "internal"};
    return kWords[static_cast<int>(cause)];
}

void fail(ExitCode code, Cause cause, const std::string& file, const std::string& reason) {
    // Quoted, so a name ending in "n" never forms the "n:" that progress readers look for.
    throw Failure{code, std::string(progress_contract::kFailurePrefix) + "'" + echoed(file) + "': " + reason + " [" +
                            cause_word(cause) + "]"};
}

void fail_errno(ExitCode code, const std::string& file, int error) {
    const bool input = code == kFailInput;
    Cause cause = input ? Cause::Unreadable : Cause::Internal;
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        cause = input ? Cause::NoSource : Cause::NoFolder;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        cause = input ? Cause::Unreadable : Cause::ReadOnly;
        break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        cause = Cause::DiskFull;
        break;
    case ENOMEM:
        cause = Cause::NoMemory;
        break;
    case EISDIR:
        cause = Cause::NotAFile;
        break;
    default:
        break;
    }
    fail(code, cause, file, std::strerror(error));
}

} // namespace encoder
