#pragma once

#include <QStringList>

namespace shell {

struct Session;

// Routes every menu item, key, button and bound event of the session's window to its
// command.
void wire_session(Session& session);

// Menu items whose command has no route, and routes that no menu item reaches:
// empty when the menu tree and the wiring agree. Debug builds check it at start-up.
QStringList wiring_problems(const Session& session);

} // namespace shell
