#include "shell/Session.h"

#include "convert/ConversionRun.h"
#include "shell/MainWindow.h"
#include "shell/Wiring.h"

namespace shell {

Session::Session() = default;
Session::~Session() = default;

bool open_session(Session& session) {
    session.window = std::make_unique<MainWindow>();
    session.controls = layouts::MainControls::find(session.window.get());
    const auto& c = session.controls;
    if (!c.tracks || !c.bit_rate || !c.channel || !c.folder || !c.progress || !c.percent || !c.folder_button)
        return false;
    session.run = std::make_unique<convert::ConversionRun>(session.controls, session.context);
    wire_session(session);
#ifndef QT_NO_DEBUG
    const QStringList problems = wiring_problems(session);
    Q_ASSERT_X(problems.isEmpty(), "open_session", qPrintable(problems.join(u'\n')));
#endif
    return true;
}

} // namespace shell
