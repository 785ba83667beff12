#include "shared/Signals.h"

namespace shared {

void catch_unless_ignored(std::span<const int> numbers, const struct sigaction& action) {
    for (int signal : numbers) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace shared
