#include "convert/ConversionRun.h"

#include "convert/CommandLine.h"
#include "convert/EncoderImage.h"
#include "convert/FailureReason.h"
#include "convert/OutputFolder.h"
#include "convert/RatioText.h"
#include "primitives/Dialogs.h"
#include "primitives/Files.h"
#include "primitives/Gbk.h"
#include "primitives/QtText.h"
#include "shared/PathParts.h"
#include "tracks/TrackRows.h"

#include <algorithm>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

namespace convert {

using namespace primitives;

namespace {

constexpr std::size_t kChunkBytes = 80;
constexpr qint64 kPaintIntervalMs = 40;
const char kSameAsSource[] = "与源文件相同";
const char kFailed[] = "失败";
const char kNotStarted[] = "无法启动编码器";
const char kNoOutput[] = "输出文件不存在";
const char kCrashed[] = "编码器异常终止";

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Text join_lines(const std::vector<Text>& lines) {
    Text joined;
    for (const Text& line : lines)
        joined += (joined.empty() ? "" : "\n") + line;
    return joined;
}

QString shown(const Text& bytes) {
    return to_qstring(path_for_display(bytes));
}

} // namespace

ConversionRun::ConversionRun(const layouts::MainControls& controls, RunContext& context)
    : m_controls(controls), m_context(context) {
    if (!m_controls.tracks) return;
    const QAbstractItemModel* rows = m_controls.tracks->model();
    connect(rows, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { rows_removed(first, last); });
    // Clear all: no queued row is left.
    connect(rows, &QAbstractItemModel::modelReset, this, [this] { m_next = m_end = 0; });
}

ConversionRun::~ConversionRun() {
    // The encoder is never killed; a row still going at exit is waited for.
    delete m_child;
    remove_staged_encoder(m_encoder, m_staging_lock);
}

void ConversionRun::start() {
    if (m_active || !m_controls.tracks || m_controls.tracks->rowCount() == 0) return;
    m_encoder = m_context.stage_encoder ? m_context.stage_encoder() : stage_encoder(m_staging_lock);
    if (m_encoder.empty()) {
        message_box("错误!", kMessageOk, "Tunvask");
        return;
    }
    m_active = true;
    const int kbps = m_controls.bit_rate->currentIndex() < 0 ? -1 : m_controls.bit_rate->currentData().toInt();
    m_switches = switch_text(kbps, m_controls.channel->currentIndex());
    // The sources as queued now, even if rows go meanwhile: their files are looked at
    // only once an output turns out to exist.
    std::vector<Text> sources;
    sources.reserve(static_cast<std::size_t>(m_controls.tracks->rowCount()));
    for (int row = 0; row < m_controls.tracks->rowCount(); ++row)
        sources.push_back(tracks::row_path(m_controls.tracks, row));
    m_plan.emplace(std::move(sources));
    m_next = 0;
    m_end = m_controls.tracks->rowCount();
    m_failures.clear();
    next_row();
}

void ConversionRun::window_closed() {
    m_window_closed = true;
    if (!m_active) emit idle_after_close();
}

void ConversionRun::abort() {
    if (m_child) {
        m_child->disconnect(this);
        m_child->terminate();
    }
    remove_staged_encoder(m_encoder, m_staging_lock);
    m_encoder.clear();
}

void ConversionRun::next_row() {
    while (m_next < m_end) {
        if (m_context.stop_request || !m_controls.tracks) break;
        const int row = m_next++;
        m_row = QPersistentModelIndex(m_controls.tracks->model()->index(row, tracks::PathColumn));
        if (begin_row(row) == NextRow::Later) return;
    }
    finish_run();
}

void ConversionRun::rows_removed(int first, int last) {
    const auto removed_before = [&](int position) { return std::max(0, std::min(last, position - 1) - first + 1); };
    m_next -= removed_before(m_next);
    m_end -= removed_before(m_end);
}

ConversionRun::NextRow ConversionRun::begin_row(int row) {
    m_source = tracks::row_path(m_controls.tracks, row);
    const Text folder = output_folder(m_controls.folder);
    m_pending_progress.reset();
    show_progress(0, QStringLiteral("0%"));
    const Text name = shared::name_of(m_source);
    const OutputPlan::Choice choice = m_plan->choose(folder, name);
    if (choice.same_as_source) {
        const std::string_view reason = failure_reason(failure_contract::Cause::SameFile);
        m_failures.push_back(path_for_display(m_source) + "：" + Text(reason));
        mark_row(QString::fromUtf8(kSameAsSource), utf8(reason) + QLatin1Char('\n') + shown(folder + name));
        return NextRow::Now;
    }
    m_output = choice.path;
    // The ratio is of the source as it was when its row began.
    m_source_size = file_size(m_source);
    m_lines = ProgressLines();
    if (!start_child()) {
        end_row(kReasonNotStarted, kNotStarted);
        return NextRow::Later;
    }
    emit row_started(row);
    return NextRow::Later;
}

bool ConversionRun::start_child() {
    m_child = new ChildProcess(this);
    connect(m_child, &ChildProcess::ready_read, this, &ConversionRun::read_output);
    connect(m_child, &ChildProcess::finished, this, &ConversionRun::child_finished);
    return m_child->start(encoder_arguments(m_encoder, m_source, m_output, m_switches), encoder_environment());
}

void ConversionRun::read_output() {
    if (!m_child) return;
    for (Text piece = m_child->read(kChunkBytes); m_child && !piece.empty(); piece = m_child->read(kChunkBytes)) {
        if (const auto update = m_lines.feed(piece)) m_pending_progress.emplace(update->bar, to_qstring(update->label));
    }
    if (!m_last_paint.isValid() || m_last_paint.elapsed() >= kPaintIntervalMs) show_pending_progress();
}

void ConversionRun::show_pending_progress() {
    if (!m_pending_progress) return;
    show_progress(m_pending_progress->first, m_pending_progress->second);
    m_pending_progress.reset();
    m_last_paint.start();
}

void ConversionRun::child_finished(int exit_code, bool crashed) {
    if (const auto update = m_lines.finish()) m_pending_progress.emplace(update->bar, to_qstring(update->label));
    std::string_view reason;
    Text detail;
    if (crashed) {
        reason = kReasonStopped;
        detail = kCrashed;
        // Killed where it could not clean up (the out-of-memory killer): its work file,
        // where the output's file system has no nameless files, is removed by its name.
        if (m_child) delete_work_file(m_output, m_child->started_pid());
    } else if (exit_code != 0) {
        reason = failure_reason(m_lines.failure_line(), exit_code);
        detail = m_lines.failure_line().empty() ? "tvenc: exit status " + to_text(exit_code) : m_lines.failure_line();
    } else if (m_lines.numbered() > 0) {
        // Another file came to the output's name meanwhile and stays; the result is beside it.
        m_output = shared::numbered_path(m_output, m_lines.numbered());
    }
    if (reason.empty() && file_size(m_output) <= 0) {
        // Success means a result exists, not only that the encoder said so.
        reason = kReasonNoOutput;
        detail = kNoOutput;
    }
    end_row(reason, detail);
}

void ConversionRun::end_row(std::string_view reason, const Text& detail) {
    show_pending_progress();
    if (m_child) {
        m_child->disconnect(this);
        m_child->deleteLater();
        m_child = nullptr;
    }
    if (!reason.empty()) {
        m_failures.push_back(path_for_display(m_source) + "：" + Text(reason));
        mark_row(QString::fromUtf8(kFailed), utf8(reason) + QLatin1Char('\n') + shown(detail));
    } else {
        m_plan->record_written(m_output);
        mark_row(to_qstring(ratio_text(file_size(m_output), m_source_size)), shown(m_output));
    }
    // Queued: the next child starts from the event loop, not from inside this one's signal.
    QMetaObject::invokeMethod(this, &ConversionRun::next_row, Qt::QueuedConnection);
}

void ConversionRun::mark_row(const QString& cell, const QString& tip) {
    if (!m_controls.tracks || !m_row.isValid()) return;
    const int row = m_row.row();
    tracks::set_row_icon(m_controls.tracks, row, tracks::kIconConverted);
    tracks::set_cell(m_controls.tracks, row, tracks::RatioColumn, cell);
    tracks::set_cell_tip(m_controls.tracks, row, tracks::RatioColumn, tip);
}

void ConversionRun::finish_run() {
    remove_staged_encoder(m_encoder, m_staging_lock);
    m_encoder.clear();
    m_plan.reset();
    m_active = false;
    if (m_window_closed) {
        emit finished();
        emit idle_after_close();
        return;
    }
    if (m_failures.empty()) {
        message_box("恭喜,转换完成!", kMessageOk, "Tunvask");
    } else {
        // The reasons are in the cells' tool tips, and, for the keyboard, in the details.
        message_box("转换完成,但有 " + to_text(static_cast<int>(m_failures.size())) +
                        " 个文件失败!把鼠标停在“失败”上可以看到原因。",
                    kMessageOk, "Tunvask", join_lines(m_failures));
    }
    emit finished();
}

void ConversionRun::show_progress(int bar, const QString& label) {
    if (m_controls.progress) m_controls.progress->setValue(bar);
    if (!m_controls.percent) return;
    m_controls.percent->setText(label);
    // Its accessible name says what it is; a screen reader hears the figure from here.
    m_controls.percent->setAccessibleDescription(label);
}

} // namespace convert
