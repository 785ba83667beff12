// Batch add of a folder of small tagged MP3 files, headless: rows per second
// (first and last thousand, to show whether the cost per row grows with the list)
// and the longest time the window went without processing its events.
// Usage: batch_add_bench [files, default 10000]
#include "primitives/Dialogs.h"
#include "shell/MainWindow.h"
#include "shell/Session.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>
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
    return rows == files ? 0 : 1;
}
