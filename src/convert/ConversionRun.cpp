#include "convert/ConversionRun.h"

#include "convert/CommandLine.h"
#include "convert/EncoderImage.h"
#include "convert/ProgressChunk.h"
#include "primitives/Dialogs.h"
#include "primitives/Files.h"
#include "primitives/QtText.h"
#include "shell/RunContext.h"
#include "tracks/TrackCommands.h"
#include "tracks/TrackRows.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTableWidget>

namespace convert {

using namespace primitives;

namespace {

constexpr qint64 kChunkBytes = 80;
constexpr qint64 kPaintIntervalMs = 40;
const char kSameAsSource[] = "与源文件相同";
const char kFailed[] = "失败";


} // namespace

ConversionRun::ConversionRun(const layouts::MainControls& controls, shell::RunContext& context)
    : m_controls(controls), m_context(context) {}

ConversionRun::~ConversionRun() {
    // The encoder is never killed; a run still going at exit is waited for.
    if (m_child) m_child->waitForFinished(-1);
    remove_staged_encoder(m_encoder);
}

void ConversionRun::start() {
    if (m_active || !m_controls.tracks || m_controls.tracks->rowCount() == 0) return;
    m_encoder = stage_encoder();
    if (m_encoder.empty()) {
        message_box("错误!", kMessageOk, "Tunvask");
        return;
    }
    m_active = true;
    const int kbps = m_controls.bit_rate->currentIndex() < 0 ? -1 : m_controls.bit_rate->currentData().toInt();
    m_switches = switch_text(kbps, m_controls.channel->currentIndex());
    m_rows.clear();
    for (int row = 0; row < m_controls.tracks->rowCount(); ++row) m_rows.append(tracks::row_serial(m_controls.tracks, row));
    m_next = 0;
    m_failures = 0;
    next_row();
}

void ConversionRun::window_closed() {
    m_window_closed = true;
    if (!m_active) emit idle_after_close();
}

void ConversionRun::next_row() {
    while (m_next < m_rows.size()) {
        if (m_context.stop_request || !m_controls.tracks) break;
        m_serial = m_rows[m_next++];
        const int row = tracks::row_of_serial(m_controls.tracks, m_serial);
        // A row deleted during the run is skipped.
        if (row >= 0 && begin_row(row)) return;
    }
    finish_run();
}

bool ConversionRun::begin_row(int row) {
    m_source = tracks::row_path(m_controls.tracks, row);
    const Text folder = m_controls.folder ? m_controls.folder->toPlainText().toStdString() : Text{};
    m_output = folder + file_name_of(m_source);
    m_pending_progress.reset();
    show_progress(0, QStringLiteral("0%"));
    // Truncating the output would destroy the source itself.
    if (same_file(m_source, m_output)) {
        tracks::set_row_icon(m_controls.tracks, row, 1);
        tracks::set_cell(m_controls.tracks, row, tracks::RatioColumn, QString::fromUtf8(kSameAsSource));
        ++m_failures;
        return false;
    }
    if (!write_file(m_output, Bytes{})) {
        end_row(true);
        return true;
    }
    const std::vector<Text> arguments = encoder_arguments(m_encoder, m_source, m_output, m_switches);
    QStringList list;
    for (std::size_t i = 1; i < arguments.size(); ++i) list << to_qstring(arguments[i]);
    m_child = new QProcess(this);
    m_child->setProcessChannelMode(QProcess::MergedChannels);
    m_child->setStandardInputFile(QProcess::nullDevice());
    connect(m_child, &QProcess::readyRead, this, &ConversionRun::read_output);
    connect(m_child, &QProcess::finished, this, &ConversionRun::child_finished);
    connect(m_child, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) child_failed_to_start();
    });
    m_child->start(to_qstring(m_encoder), list);
    emit row_started(row);
    return true;
}

void ConversionRun::read_output() {
    if (!m_child) return;
    while (m_child->bytesAvailable() > 0) {
        const QByteArray chunk = m_child->read(kChunkBytes);
        if (chunk.isEmpty()) break;
        const Text text(chunk.constData(), qstrnlen(chunk.constData(), static_cast<uint>(chunk.size())));
        if (const auto update = parse_progress_chunk(text)) m_pending_progress.emplace(update->bar, to_qstring(update->label));
    }
    if (!m_last_paint.isValid() || m_last_paint.elapsed() >= kPaintIntervalMs) show_pending_progress();
}

void ConversionRun::show_pending_progress() {
    if (!m_pending_progress) return;
    show_progress(m_pending_progress->first, m_pending_progress->second);
    m_pending_progress.reset();
    m_last_paint.start();
}

void ConversionRun::child_finished(int exit_code, QProcess::ExitStatus status) {
    read_output();
    end_row(status != QProcess::NormalExit || exit_code != 0);
}

void ConversionRun::child_failed_to_start() { end_row(true); }

void ConversionRun::end_row(bool failed) {
    show_pending_progress();
    if (m_child) {
        m_child->disconnect(this);
        m_child->deleteLater();
        m_child = nullptr;
    }
    if (failed) {
        ++m_failures;
        // What a failed encoder left is no MP3; an older file of that name is
        // already gone, since the output was created empty.
        delete_file(m_output);
    }
    const int row = m_controls.tracks ? tracks::row_of_serial(m_controls.tracks, m_serial) : -1;
    if (row >= 0) {
        tracks::set_row_icon(m_controls.tracks, row, 1);
        const QString cell = failed ? QString::fromUtf8(kFailed) : to_qstring(ratio_text(file_size(m_output), file_size(m_source)));
        tracks::set_cell(m_controls.tracks, row, tracks::RatioColumn, cell);
    }
    // Queued: the next child starts from the event loop, not from inside this one's signal.
    QMetaObject::invokeMethod(this, &ConversionRun::next_row, Qt::QueuedConnection);
}

void ConversionRun::finish_run() {
    remove_staged_encoder(m_encoder);
    m_encoder.clear();
    m_active = false;
    if (m_window_closed) {
        emit finished();
        emit idle_after_close();
        return;
    }
    const Text message = m_failures == 0 ? Text("恭喜,转换完成!")
                                         : "转换完成,但有 " + to_text(m_failures) + " 个文件失败!";
    message_box(message, kMessageOk, "Tunvask");
    emit finished();
}

void ConversionRun::show_progress(int bar, const QString& label) {
    if (m_controls.progress) m_controls.progress->setValue(bar);
    if (m_controls.percent) m_controls.percent->setText(label);
}

} // namespace convert
