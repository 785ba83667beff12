#pragma once

#include "primitives/Text.h"
#include "shared/Descriptor.h"

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <sys/types.h>
#include <vector>

namespace primitives {

// One child program whose standard output and standard error share one pipe,
// started from an argument vector of bytes: paths reach it exactly as the file
// system holds them, whatever their encoding. Reading never blocks the caller.
class ChildProcess : public QObject {
    Q_OBJECT
public:
    explicit ChildProcess(QObject* parent = nullptr);
    // A child still running is waited for, never killed.
    ~ChildProcess() override;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is the program's path; settings ("NAME=value") are added to the
    // environment it inherits, replacing any of the same name. False when it could
    // not be started.
    bool start(const std::vector<Text>& argv, const std::vector<Text>& settings = {});
    // The process number the child had, also once it has ended; -1 before a start.
    pid_t started_pid() const { return m_started_pid; }
    // Asks the child to end (SIGTERM), so it can clean up after itself.
    void terminate();
    // At most max bytes of what the child wrote; empty when nothing is waiting.
    Text read(std::size_t max);
    // How the output was taken: the number of reads that returned bytes, and the
    // most bytes any of them returned.
    std::size_t reads() const { return m_reads; }
    std::size_t largest_read() const { return m_largest_read; }

signals:
    void ready_read();
    // After the last byte of output has been offered to read().
    void finished(int exit_code, bool crashed);

private:
    void close_pipe();
    void reap();

    pid_t m_pid = -1;
    pid_t m_started_pid = -1;
    shared::Descriptor m_pipe;
    bool m_pipe_ended = false;
    std::size_t m_reads = 0;
    std::size_t m_largest_read = 0;
    QPointer<QSocketNotifier> m_notifier;
    QTimer m_reaper;
};

} // namespace primitives
