#pragma once

#include "layouts/MainControls.h"
#include "primitives/Text.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QElapsedTimer>
#include <QProcess>
#include <optional>
#include <utility>

namespace shell {
struct RunContext;
}

namespace convert {

// The batch conversion run: one encoder child per row, in order, driven by the
// child's output and its end rather than by blocking reads, so the window never
// freezes while the encoder is silent.
class ConversionRun : public QObject {
    Q_OBJECT
public:
    ConversionRun(const layouts::MainControls& controls, shell::RunContext& context);
    ~ConversionRun() override;

    // Start conversion: nothing when the list is empty or a run is going.
    void start();
    // The main window has been closed: no further row starts.
    void window_closed();
    bool active() const { return m_active; }

signals:
    // The encoder has been started for the row at this position.
    void row_started(int row);
    void finished();
    // The window is closed and no row is being converted: the program may end.
    void idle_after_close();

private:
    void next_row();
    bool begin_row(int row);
    void read_output();
    void child_finished(int exit_code, QProcess::ExitStatus status);
    void child_failed_to_start();
    void end_row(bool failed);
    void finish_run();
    void show_progress(int bar, const QString& label);
    void show_pending_progress();

    layouts::MainControls m_controls;
    shell::RunContext& m_context;
    bool m_active = false;
    bool m_window_closed = false;
    primitives::Text m_encoder;
    primitives::Text m_switches;
    QList<qint64> m_rows; // serial numbers of the rows queued when the run began
    int m_next = 0;
    qint64 m_serial = 0;
    primitives::Text m_source;
    primitives::Text m_output;
    int m_failures = 0;
    QPointer<QProcess> m_child;
    // The encoder reports every third of a percent; the widgets are repainted at most
    // every few hundredths of a second, with the newest figure.
    std::optional<std::pair<int, QString>> m_pending_progress;
    QElapsedTimer m_last_paint;
};

} // namespace convert
