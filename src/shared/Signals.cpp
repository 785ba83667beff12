#include "shared/Signals.h"

namespace shared {

namespace {

sigset_t read_ignored() {
    sigset_t ignored;
    sigemptyset(&ignored);
    struct sigaction current {};
    for (int signal = 1; signal < NSIG; ++signal) {
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) sigaddset(&ignored, signal);
    }
    return ignored;
}

const sigset_t g_ignored_at_start = read_ignored();

} // namespace

const sigset_t& ignored_at_start() {
    return g_ignored_at_start;
}

void catch_unless_ignored(std::span<const int> numbers, const struct sigaction& action) {
    for (int signal : numbers) {
        if (sigismember(&g_ignored_at_start, signal) == 1) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace shared
