#pragma once

#include "convert/RunContext.h"
#include "layouts/MainControls.h"

#include <QStringList>
#include <memory>

namespace convert {
class ConversionRun;
}

namespace shell {

class MainWindow;

// Everything the commands of one program start share: the run context, the main
// window's controls and the conversion run.
struct Session {
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    convert::RunContext context;
    std::unique_ptr<MainWindow> window;
    layouts::MainControls controls;
    std::unique_ptr<convert::ConversionRun> run;
};

// Creates the main window, wires every menu item, key, button and bound event to
// its command. Returns false when the window could not be created.
bool open_session(Session& session);

} // namespace shell
