#pragma once

#include "shared/Descriptor.h"

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>

namespace primitives {

// SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl+C) delivered through
// the event loop instead of ending the process where it stands, so the program can
// finish what it is doing and clean up. One per process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // The last signal received, 0 before any.
    int last() const { return m_last; }
    // Ends the process as the signal would have, had nobody caught it.
    [[noreturn]] static void end_by(int signal);

signals:
    // count says how many have arrived so far, this one included.
    void received(int signal, int count);

private:
    void drain();

    QPointer<QSocketNotifier> m_notifier;
    shared::Descriptor m_pipe_read, m_pipe_write; // the signal handler writes by number
    int m_count = 0;
    int m_last = 0;
};

} // namespace primitives
