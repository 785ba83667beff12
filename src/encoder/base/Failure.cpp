#include "encoder/base/Failure.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "shared/ProgressContract.h"

namespace encoder {

std::string echoed(const std::string& file) {
    const auto marker = file.find("n:");
    const bool looks_like_progress = marker != std::string::npos && file.find('%', marker) != std::string::npos;
    std::string text;
    for (const char c : file) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            text += "\\n";
        } else if (c == '\t') {
            text += "\\t";
        } else if (byte < 0x20 || byte == 0x7F || (c == '%' && looks_like_progress)) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            text += escape;
        } else {
            text += c;
        }
    }
    return text;
}

void fail(ExitCode code, Cause cause, const std::string& file, const std::string& reason) {
    // Quoted, so a name ending in "n" never forms the "n:" that progress readers look for.
    throw Failure{code, std::string(progress_contract::kFailurePrefix) + "'" + echoed(file) + "': " + reason + " [" +
                            std::string(cause_word(cause)) + "]"};
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
