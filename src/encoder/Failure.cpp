#include "encoder/Failure.h"

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

void fail(ExitCode code, const std::string& file, const std::string& reason) {
    // Quoted, so a name ending in "n" never forms the "n:" that progress readers look for.
    throw Failure{code, std::string(progress_contract::kFailurePrefix) + "'" + echoed(file) + "': " + reason};
}

} // namespace encoder
