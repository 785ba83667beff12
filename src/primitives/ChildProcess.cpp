#include "primitives/ChildProcess.h"

#include "shared/Signals.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace primitives {

namespace {

constexpr int kReapIntervalMs = 10;

std::vector<char*> pointers(const std::vector<Text>& texts) {
    std::vector<char*> list;
    for (const Text& text : texts)
        list.push_back(const_cast<char*>(text.c_str()));
    list.push_back(nullptr);
    return list;
}

bool overridden(const char* entry, const std::vector<Text>& settings) {
    for (const Text& setting : settings) {
        const auto name = setting.find('=') + 1;
        if (std::strncmp(entry, setting.c_str(), name) == 0) return true;
    }
    return false;
}

// The signals a child gets at their default: all but those ignored when this process was
// started, as nohup ignores hangups.
sigset_t reset_in_child() {
    sigset_t reset;
    sigfillset(&reset);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&shared::ignored_at_start(), signal) == 1) sigdelset(&reset, signal);
    }
    return reset;
}

// The child starts in a process group of its own, with its three standard descriptors
// only and no signal blocked; every signal is at its default, whatever this process has
// set up for itself, except those that whoever started this process chose to ignore.
class SpawnSetup {
public:
    SpawnSetup(int pipe_read, int pipe_write) {
        posix_spawn_file_actions_init(&m_actions);
        posix_spawn_file_actions_addopen(&m_actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&m_actions, pipe_write, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&m_actions, pipe_write, STDERR_FILENO);
        posix_spawn_file_actions_addclose(&m_actions, pipe_read);
        // Nothing else reaches the child, not even what this process inherited without
        // close-on-exec from whoever started it.
        posix_spawn_file_actions_addclosefrom_np(&m_actions, STDERR_FILENO + 1);
        posix_spawnattr_init(&m_attributes);
        sigset_t none;
        sigemptyset(&none);
        static const sigset_t reset = reset_in_child(); // the same for every child
        posix_spawnattr_setsigdefault(&m_attributes, &reset);
        posix_spawnattr_setsigmask(&m_attributes, &none);
        // A process group of its own: Ctrl+C in the terminal, a hangup to the foreground
        // group or a signal to this program's group reaches this program alone, which
        // lets the row finish. The encoder still ends when this program dies.
        posix_spawnattr_setpgroup(&m_attributes, 0);
        posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&m_actions);
        posix_spawnattr_destroy(&m_attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    pid_t spawn(const std::vector<Text>& argv, const std::vector<Text>& settings) {
        std::vector<char*> arguments = pointers(argv);
        std::vector<char*> environment = pointers(settings);
        environment.pop_back();
        for (char** entry = environ; *entry; ++entry) {
            if (!overridden(*entry, settings)) environment.push_back(*entry);
        }
        environment.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, arguments[0], &m_actions, &m_attributes, arguments.data(), environment.data()) != 0)
            return -1;
        return pid;
    }

private:
    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attributes;
};

} // namespace

ChildProcess::ChildProcess(QObject* parent) : QObject(parent) {
    m_reaper.setInterval(kReapIntervalMs);
    connect(&m_reaper, &QTimer::timeout, this, &ChildProcess::reap);
}

ChildProcess::~ChildProcess() {
    close_pipe();
    if (m_pid > 0) {
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

bool ChildProcess::start(const std::vector<Text>& argv, const std::vector<Text>& settings) {
    if (argv.empty() || m_pid > 0) return false;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return false;
    shared::Descriptor reading(ends[0]);
    const shared::Descriptor writing(ends[1]);
    m_pid = SpawnSetup(reading.get(), writing.get()).spawn(argv, settings);
    if (m_pid <= 0) {
        m_pid = -1;
        return false;
    }
    m_started_pid = m_pid;
    m_pipe = std::move(reading);
    const int fd = m_pipe.get();
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    // A reader that takes less than all is told again on the next turn of the loop.
    connect(m_notifier, &QSocketNotifier::activated, this, &ChildProcess::ready_read);
    return true;
}

void ChildProcess::terminate() {
    if (m_pid > 0) ::kill(m_pid, SIGTERM);
}

Text ChildProcess::read(std::size_t max) {
    if (!m_pipe || max == 0) return {};
    Text piece(max, '\0');
    ssize_t got = -1;
    do {
        got = ::read(m_pipe.get(), piece.data(), max);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        piece.resize(static_cast<std::size_t>(got));
        ++m_reads;
        m_largest_read = std::max(m_largest_read, piece.size());
        return piece;
    }
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return {};
    // End of output (or a broken pipe): the child is ending; learn how, without waiting here.
    close_pipe();
    m_pipe_ended = true;
    QTimer::singleShot(0, this, &ChildProcess::reap);
    return {};
}

void ChildProcess::close_pipe() {
    if (m_notifier) {
        m_notifier->setEnabled(false);
        // read() may run inside the notifier's own signal.
        m_notifier->deleteLater();
    }
    m_pipe.reset();
}

void ChildProcess::reap() {
    if (m_pid <= 0 || !m_pipe_ended) return;
    int status = 0;
    const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
    if (done == 0) {
        if (!m_reaper.isActive()) m_reaper.start();
        return;
    }
    m_reaper.stop();
    m_pid = -1;
    const bool crashed = done < 0 || !WIFEXITED(status);
    emit finished(crashed ? -1 : WEXITSTATUS(status), crashed);
}

} // namespace primitives
