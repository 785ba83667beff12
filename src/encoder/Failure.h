#pragma once

#include <string>

namespace encoder {

// Exit statuses, one per kind of trouble, so scripts can tell them apart.
enum ExitCode { kSuccess = 0, kFailUsage = 2, kFailInput = 3, kFailOutput = 4 };

// Carries a "tvenc: <file>: <reason>" line up to main, which prints it and exits.
struct Failure {
    ExitCode code;
    std::string message;
};

[[noreturn]] void fail(ExitCode code, const std::string& file, const std::string& reason);

} // namespace encoder
