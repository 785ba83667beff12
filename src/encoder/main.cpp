#include "encoder/Conversion.h"
#include "encoder/base/Console.h"
#include "encoder/base/Failure.h"
#include "encoder/base/Options.h"
#include "encoder/base/SignalCleanup.h"
#include "shared/ProgressContract.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <sys/prctl.h>
#include <unistd.h>

using namespace encoder;

namespace {

// Started by a program that asked for it, tvenc ends (and cleans up) when that
// program goes, however it went.
void follow_parent() {
    const char* parent = std::getenv("TVENC_PARENT_PID");
    if (!parent || !*parent) return;
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The parent may have gone before the request was made.
    if (std::to_string(::getppid()) != parent) std::raise(SIGTERM);
}

int report(ExitCode code, const std::string& message) {
    Console::print_line(message);
    return code;
}

std::string failure_line(const char* what, Cause cause) {
    return std::string(progress_contract::kFailurePrefix) + what + " [" + std::string(cause_word(cause)) + "]";
}

} // namespace

int main(int argc, char** argv) {
    SignalCleanup::install();
    follow_parent();
    Console::take_over_standard_error();
    Options options;
    const std::string problem = parse_options(argc, argv, options);
    if (options.help) {
        std::fputs(kUsage, stdout);
        return kSuccess;
    }
    if (options.version) {
        std::fputs(kVersion, stdout);
        return kSuccess;
    }
    if (!problem.empty()) {
        Console::print_line(progress_contract::kFailurePrefix + problem);
        std::fputs(kUsage, Console::stream());
        return kFailUsage;
    }
    // Every failure, whatever thread it arose on, ends here; the staged output is gone by now.
    try {
        return convert(options);
    } catch (const Failure& failure) {
        return report(failure.code, failure.message);
    } catch (const std::bad_alloc&) {
        return report(kFailInput, failure_line("out of memory", Cause::NoMemory));
    } catch (const std::exception& error) {
        return report(kFailInput, failure_line(error.what(), Cause::Internal));
    }
}
