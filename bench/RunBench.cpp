// Wall time of the program's conversion run, headless, over the files given.
// Usage: run_bench <output folder> <kbps index 0-5> <file>...
#include "convert/ConversionRun.h"
#include "convert/OptionCommands.h"
#include "primitives/Dialogs.h"
#include "shell/MainWindow.h"
#include "shell/Session.h"
#include "tracks/TrackCommands.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: run_bench <output folder> <kbps index 0-5> <file>...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string message;
    primitives::dialog_hooks().message_box = [&](const std::string& text, int, const std::string&, const std::string&) {
        message = text;
        return primitives::kAnswerOk;
    };
    shell::Session session;
    shell::open_session(session);
    session.window->show();
    std::string folder = argv[1];
    if (folder.back() != '/') folder += '/';
    session.controls.folder->setPlainText(QString::fromStdString(folder));
    convert::set_bit_rate(session.controls, std::atoi(argv[2]));
    for (int i = 3; i < argc; ++i)
        tracks::fill_row(session.controls, argv[i]);

    QEventLoop loop;
    QObject::connect(session.run.get(), &convert::ConversionRun::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    session.run->start();
    if (session.run->active()) loop.exec();
    std::printf("%.3f\n", clock.nsecsElapsed() / 1e9);
    std::fprintf(stderr, "%s\n", message.c_str());
    return message == "恭喜,转换完成!" ? 0 : 1;
}
