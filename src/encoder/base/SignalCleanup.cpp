#include "encoder/base/SignalCleanup.h"

#include "shared/Signals.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace encoder {

namespace {

// One output and a few parts at most are listed at a time.
constexpr std::size_t kSlots = 64;
std::array<std::atomic<char*>, kSlots> g_paths{};

void on_ending_signal(int signal) {
    // Taking a path out of its slot means no other thread frees it meanwhile.
    for (auto& slot : g_paths) {
        if (char* path = slot.exchange(nullptr)) ::unlink(path);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

void SignalCleanup::install() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = on_ending_signal;
    sigfillset(&action.sa_mask);
    static constexpr int kEnding[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    shared::catch_unless_ignored(kEnding, action);
}

int SignalCleanup::add(const std::string& path) {
    char* copy = ::strdup(path.c_str());
    if (!copy) return -1;
    for (std::size_t i = 0; i < kSlots; ++i) {
        char* empty = nullptr;
        if (g_paths[i].compare_exchange_strong(empty, copy)) return static_cast<int>(i);
    }
    std::free(copy);
    return -1;
}

int SignalCleanup::make_listed(std::string& pattern, int& slot, const std::function<int(const char*)>& make) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static thread_local std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
    if (pattern.size() < 6) return -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = pattern.size() - 6; i < pattern.size(); ++i)
            pattern[i] = kLetters[random() % (sizeof kLetters - 1)];
        const int made = make_listed_as(pattern, slot, make);
        if (made >= 0 || errno != EEXIST) return made;
    }
    errno = EEXIST;
    return -1;
}

int SignalCleanup::make_listed_as(const std::string& path, int& slot, const std::function<int(const char*)>& make) {
    slot = add(path);
    if (slot < 0) return -1;
    const int made = make(path.c_str());
    if (made >= 0) return made;
    const int error = errno;
    drop(slot);
    slot = -1;
    errno = error;
    return -1;
}

int SignalCleanup::create_listed(std::string& pattern, int& slot) {
    return make_listed(pattern, slot, create_new);
}

int SignalCleanup::create_listed_as(const std::string& path, int& slot) {
    return make_listed_as(path, slot, create_new);
}

int SignalCleanup::create_new(const char* path) {
    return ::open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
}

void SignalCleanup::drop(int slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= kSlots) return;
    std::free(g_paths[static_cast<std::size_t>(slot)].exchange(nullptr));
}

} // namespace encoder
