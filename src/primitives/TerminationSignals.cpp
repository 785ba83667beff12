#include "primitives/TerminationSignals.h"

#include "shared/Signals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace primitives {

namespace {

constexpr int kCaught[] = {SIGTERM, SIGHUP, SIGINT};
int g_pipe[2] = {-1, -1};

void on_signal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t ignored = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    m_pipe_read.reset(g_pipe[0]);
    m_pipe_write.reset(g_pipe[1]);
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::drain);
    struct sigaction action {};
    action.sa_handler = on_signal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    shared::catch_unless_ignored(kCaught, action);
}

TerminationSignals::~TerminationSignals() {
    struct sigaction action {};
    for (int signal : kCaught) {
        if (::sigaction(signal, nullptr, &action) == 0 && action.sa_handler == on_signal) std::signal(signal, SIG_DFL);
    }
    delete m_notifier;
    // The handlers are gone: nothing writes to the pipe once its ends close.
    g_pipe[0] = g_pipe[1] = -1;
}

void TerminationSignals::drain() {
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1) {
        m_last = byte;
        emit received(byte, ++m_count);
    }
}

void TerminationSignals::end_by(int signal) {
    std::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

} // namespace primitives
