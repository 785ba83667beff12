#pragma once

#include "shared/FailureContract.h"

#include <string>

namespace encoder {

// Exit statuses, one per kind of trouble, so scripts can tell them apart.
enum ExitCode {
    kSuccess = failure_contract::kSuccess,
    kFailUsage = failure_contract::kUsage,
    kFailInput = failure_contract::kInput,
    kFailOutput = failure_contract::kOutput
};

using failure_contract::Cause;
using failure_contract::cause_word;

// Carries a "tvenc: '<file>': <reason> [<cause>]" line up to main, which prints it and
// exits. Control characters in the file's name are escaped: the line is always one.
struct Failure {
    ExitCode code;
    std::string message;
};

[[noreturn]] void fail(ExitCode code, Cause cause, const std::string& file, const std::string& reason);
// The reason and its cause from an error number of the system (errno).
[[noreturn]] void fail_errno(ExitCode code, const std::string& file, int error);
// A name as a failure line quotes it: control characters as \n, \t or \xNN, and a "%"
// after an "n:" as \x25, so that the line is one line and never looks like progress.
std::string echoed(const std::string& file);

} // namespace encoder
