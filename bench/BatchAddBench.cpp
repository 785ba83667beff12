// Batch add of a folder of small tagged MP3 files, headless: rows per second
// (first and last thousand, to show whether the cost per row grows with the list)
// and the longest time the window went without processing its events.
// Usage: batch_add_bench [files, default 10000]
#include "convert/ConversionRun.h"
#include "primitives/Dialogs.h"
#include "shell/MainWindow.h"
#include "shell/Session.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>

namespace {

void make_folder(const QString& folder, int files) {
    std::string trailer = "TAG";
    trailer.resize(128, '\0');
    for (int i = 0; i < files; ++i) {
        std::string tag = trailer;
        const std::string title = "Title " + std::to_string(i);
        tag.replace(3, title.size(), title);
        std::ofstream(folder.toStdString() + "/track" + std::to_string(i) + ".mp3", std::ios::binary)
            << std::string(2000, '\xFF') << tag;
    }
}

// Resident memory now, and the most it has been, in MB.
std::pair<double, double> resident_mb() {
    std::ifstream status("/proc/self/status");
    double now = 0, peak = 0;
    for (std::string key; status >> key;) {
        double kb = 0;
        if (key == "VmRSS:" && status >> kb) now = kb / 1024;
        if (key == "VmHWM:" && status >> kb) peak = kb / 1024;
    }
    return {now, peak};
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir dir;
    make_folder(dir.path(), files);
    primitives::dialog_hooks().choose_folder = [&](const std::string&, bool) { return dir.path().toStdString(); };

    shell::Session session;
    shell::open_session(session);
    session.window->show();
    QApplication::processEvents();
    const auto empty = resident_mb();

    // A timer due every millisecond fires whenever events are processed; the
    // longest gap between two firings is the longest the window was frozen.
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer heartbeat;
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    std::vector<qint64> row_times;
    QObject::connect(session.controls.tracks->model(), &QAbstractItemModel::rowsInserted,
                     [&] { row_times.push_back(clock.nsecsElapsed()); });
    clock.start();
    heartbeat.start();
    session.window->findChild<QAction*>(QStringLiteral("批量添加(&M)"))->trigger();
    const double seconds = clock.nsecsElapsed() / 1e9;
    heartbeat.stop();

    const int rows = session.controls.tracks->rowCount();
    auto rate = [&](std::size_t from, std::size_t to) {
        return (to - from) / ((row_times[to - 1] - row_times[from]) / 1e9);
    };
    std::printf("files %d, rows %d, %.2f s, %.0f rows/s\n", files, rows, seconds, rows / seconds);
    std::printf("rows/s per thousand:");
    for (std::size_t from = 0; from + 1000 <= row_times.size(); from += 1000)
        std::printf(" %.0f", rate(from, from + 1000));
    std::printf("\n");
    std::printf("longest gap between processed event batches: %.1f ms\n", longest / 1e6);
    const auto full = resident_mb();
    std::printf("resident: %.1f MB with the empty window, %.1f MB with %d rows (peak %.1f MB)\n", empty.first,
                full.first, rows, full.second);

    // Deleting the selected row and clearing the list: the commands as the user reaches them.
    session.controls.tracks->selectRow(rows / 2);
    clock.restart();
    session.window->findChild<QAction*>(QStringLiteral("删除项目(&D)"))->trigger();
    const double delete_ms = clock.nsecsElapsed() / 1e6;
    primitives::dialog_hooks().message_box = [](const std::string&, int, const std::string&, const std::string&) {
        return primitives::kAnswerYes;
    };

    // Starting a run over every row: from the command to the first encoder started
    // (an encoder that ends at once), then the cost of a row near the start of the list.
    const std::string encoder = dir.filePath(QStringLiteral("encoder.sh")).toStdString();
    std::ofstream(encoder) << "#!/bin/sh\nexit 0\n";
    QFile::setPermissions(QString::fromStdString(encoder), QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    session.context.stage_encoder = [&] { return encoder; };
    std::vector<qint64> started;
    QObject::connect(session.run.get(), &convert::ConversionRun::row_started, [&](int) {
        started.push_back(clock.nsecsElapsed());
        if (started.size() == 200) session.context.stop_request = true;
    });
    QEventLoop loop;
    QObject::connect(session.run.get(), &convert::ConversionRun::finished, &loop, &QEventLoop::quit);
    clock.restart();
    session.window->findChild<QAction*>(QStringLiteral("开始转换(&F5)"))->trigger();
    if (session.run->active()) loop.exec();
    std::printf("start a run over %d rows: %.1f ms to the first encoder; %.2f ms a row after that\n", rows - 1,
                started.at(0) / 1e6, (started.back() - started.front()) / 1e6 / double(started.size() - 1));
    clock.restart();
    session.window->findChild<QAction*>(QStringLiteral("全部清除(&C)"))->trigger();
    const double clear_ms = clock.nsecsElapsed() / 1e6;
    std::printf("delete the selected row: %.1f ms; clear all: %.1f ms\n", delete_ms, clear_ms);
    return rows == files ? 0 : 1;
}
