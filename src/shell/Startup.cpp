#include "shell/Startup.h"

#include "convert/ConversionRun.h"
#include "primitives/Dialogs.h"
#include "primitives/Files.h"
#include "shell/Artwork.h"
#include "shell/MainWindow.h"
#include "shell/Session.h"

#include <QApplication>
#include <unistd.h>

namespace shell {

int run_program(int argc, char** argv) {
    QApplication app(argc, argv);
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
