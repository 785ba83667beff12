#include "shell/Startup.h"

#include "convert/ConversionRun.h"
#include "convert/EncoderImage.h"
#include "primitives/Dialogs.h"
#include "primitives/Display.h"
#include "primitives/Files.h"
#include "primitives/TerminationSignals.h"
#include "shell/Artwork.h"
#include "shell/MainWindow.h"
#include "shell/Session.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>
#include <cstdio>
#include <unistd.h>

namespace shell {

namespace {

// A first ending signal acts as closing the window: the row being converted is
// finished, no other starts, the staged encoder goes. A second one ends the program
// now, asking the encoder to stop and clean up first.
void end_on_signals(primitives::TerminationSignals& endings, Session& session) {
    QObject::connect(&endings, &primitives::TerminationSignals::received, &endings, [&session](int signal, int count) {
        if (count == 1) {
            session.window->close();
            return;
        }
        session.run->abort();
        primitives::TerminationSignals::end_by(signal);
    });
}

int run_session(QApplication& app, primitives::TerminationSignals& endings) {
    Session session;
    if (!open_session(session)) {
        primitives::message_box("载入启动窗口失败", primitives::kMessageOk, "Tunvask");
        return 1;
    }
    QObject::connect(session.run.get(), &convert::ConversionRun::idle_after_close, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    end_on_signals(endings, session);
    session.window->show();
    return QApplication::exec();
}

} // namespace

bool install_qt_translation(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (translator->load(QStringLiteral("qtbase_zh_CN"), folder) && QCoreApplication::installTranslator(translator))
        return true;
    std::fprintf(stderr, "tunvask: qtbase_zh_CN not found in %s; Qt's own texts stay English\n", qPrintable(folder));
    delete translator;
    return false;
}

void set_up_application(QApplication& app) {
    install_qt_translation(app);
    QApplication::setApplicationName(QStringLiteral("Tunvask"));
    QApplication::setApplicationVersion(QStringLiteral(TUNVASK_VERSION));
    QApplication::setWindowIcon(application_icon());
    // The program ends when the main window is closed and any row being converted
    // has finished, not as soon as the last window disappears.
    QApplication::setQuitOnLastWindowClosed(false);
}

void keep_qt_settings_in(const QString& folder) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

int run_program(int argc, char** argv) {
    if (!primitives::display_reachable()) {
        // Qt would abort with an English message of its own.
        std::fputs("无法连接到图形界面 (no display)\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    set_up_application(app);
    const QTemporaryDir qt_settings;
    if (qt_settings.isValid()) keep_qt_settings_in(qt_settings.path());
    const primitives::Text folder = primitives::program_folder();
    // The working folder only matters to relative paths typed by the user: a failure is not acted on.
    if (!folder.empty()) {
        [[maybe_unused]] const int ignored = ::chdir(folder.c_str());
    }
    convert::remove_stale_encoders();
    primitives::TerminationSignals endings;
    const int status = run_session(app, endings);
    // Ended by a signal: say so to whoever waits for the program, as an uncaught one would.
    if (endings.last() != 0) primitives::TerminationSignals::end_by(endings.last());
    return status;
}

} // namespace shell
