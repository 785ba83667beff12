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

// What went wrong, in a word that the program and scripts can rely on, whatever the
// wording of the reason: the failure line ends with it in brackets. The words, and
// what each means, are failure_contract::kCauseWords, in this order.
enum class Cause {
    NotAudio,
    Empty,
    Damaged,
    Unsupported,
    NoSource,
    Unreadable,
    NotAFile,
    NoFolder,
    ReadOnly,
    DiskFull,
    NoMemory,
    SameFile,
    Format,
    Internal,
    Changed,
};
static_assert(static_cast<std::size_t>(Cause::Changed) + 1 == failure_contract::kCauseWords.size(),
              "a word for every cause");

// Carries a "tvenc: '<file>': <reason> [<cause>]" line up to main, which prints it and
// exits. Control characters in the file's name are escaped: the line is always one.
struct Failure {
    ExitCode code;
    std::string message;
};

[[noreturn]] void fail(ExitCode code, Cause cause, const std::string& file, const std::string& reason);
// The reason and its cause from an error number of the system (errno).
[[noreturn]] void fail_errno(ExitCode code, const std::string& file, int error);
// The word that names cause in the failure line.
std::string_view cause_word(Cause cause);
// A name as a failure line quotes it: control characters as \n, \t or \xNN, and a "%"
// after an "n:" as \x25, so that the line is one line and never looks like progress.
std::string echoed(const std::string& file);

} // namespace encoder
