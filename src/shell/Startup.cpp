#include "shell/Startup.h"

#include "convert/ConversionRun.h"
#include "primitives/Dialogs.h"
#include "primitives/Files.h"
#include "shell/Artwork.h"
#include "shell/MainWindow.h"
#include "shell/Session.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace shell {

bool install_qt_translation(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator->load(QStringLiteral("qtbase_zh_CN"), folder) && QCoreApplication::installTranslator(translator))
        return true;
    std::fprintf(stderr, "tunvask: qtbase_zh_CN not found in %s; Qt's own texts stay English\n", qPrintable(folder));
    delete translator;
    return false;
}

bool display_available() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

int run_program(int argc, char** argv) {
    if (!display_available()) {
        // Qt would abort with a message of its own.
        std::fputs("无法连接到图形界面 (no display)\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    install_qt_translation(app);
    QApplication::setApplicationName(QStringLiteral("Tunvask"));
    QApplication::setApplicationVersion(QStringLiteral(TUNVASK_VERSION));
    QApplication::setWindowIcon(application_icon());
    // The program ends when the main window is closed and any row being converted
    // has finished, not as soon as the last window disappears.
    QApplication::setQuitOnLastWindowClosed(false);
    const primitives::Text folder = primitives::program_folder();
    // The working folder only matters to relative paths typed by the user: a failure is not acted on.
    if (!folder.empty()) {
        [[maybe_unused]] const int ignored = ::chdir(folder.c_str());
    }
    Session session;
    if (!open_session(session)) {
        primitives::message_box("载入启动窗口失败", primitives::kMessageOk, "Tunvask");
        return 1;
    }
    QObject::connect(session.run.get(), &convert::ConversionRun::idle_after_close, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    session.window->show();
    return QApplication::exec();
}

} // namespace shell
