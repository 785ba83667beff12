#pragma once

#include "convert/OutputPlan.h"
#include "convert/ProgressLines.h"
#include "convert/RunContext.h"
#include "layouts/MainControls.h"
#include "primitives/ChildProcess.h"
#include "primitives/FolderLock.h"
#include "primitives/Text.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace convert {

// The batch conversion run: one encoder child per row, in order, driven by the
// child's output and its end rather than by blocking reads, so the window never
// freezes while the encoder is silent.
class ConversionRun : public QObject {
    Q_OBJECT
public:
    ConversionRun(const layouts::MainControls& controls, RunContext& context);
    ~ConversionRun() override;

    // Start conversion: nothing when the list is empty or a run is going.
    void start();
    // The main window has been closed: no further row starts.
    void window_closed();
    // The program must end now: the encoder is asked to stop (it removes its unfinished
    // output) and the staged encoder goes. No signal follows.
    void abort();
    bool active() const { return m_active; }
    // The encoder child of the row being converted, if any.
    primitives::ChildProcess* current_child() const { return m_child; }

signals:
    // The encoder has been started for the row at this position.
    void row_started(int row);
    void finished();
    // The window is closed and no row is being converted: the program may end.
    void idle_after_close();

private:
    // Whether the loop goes on to the next row at once, or the end of this row (an
    // encoder that finishes, or one that could not start) starts it from the event loop.
    enum class NextRow { Now, Later };

    void next_row();
    void rows_removed(int first, int last);
    NextRow begin_row(int row);
    bool start_child();
    void read_output();
    void child_finished(int exit_code, bool crashed);
    // An empty reason: the row is done; otherwise the reason shown first, then detail.
    void end_row(std::string_view reason, const primitives::Text& detail = {});
    void mark_row(const QString& cell, const QString& tip);
    void finish_run();
    void show_progress(int bar, const QString& label);
    void show_pending_progress();

    layouts::MainControls m_controls;
    RunContext& m_context;
    bool m_active = false;
    bool m_window_closed = false;
    primitives::Text m_encoder;
    primitives::FolderLock m_staging_lock;
    primitives::Text m_switches;
    // The rows queued when the run began: from m_next up to m_end, both kept in step
    // when rows are deleted meanwhile; rows added later are not part of the run.
    int m_next = 0;
    int m_end = 0;
    QPersistentModelIndex m_row;
    std::optional<OutputPlan> m_plan;
    primitives::Text m_source;
    primitives::Text m_output;
    std::int64_t m_source_size = 0;
    // Each failed row of this run, in list order: its source and the reason, one line.
    std::vector<primitives::Text> m_failures;
    QPointer<primitives::ChildProcess> m_child;
    ProgressLines m_lines;
    // The encoder reports every third of a percent; the widgets are repainted at most
    // every few hundredths of a second, with the newest figure.
    std::optional<std::pair<int, QString>> m_pending_progress;
    QElapsedTimer m_last_paint;
};

} // namespace convert
