#include "shell/Wiring.h"
#include "convert/ConversionRun.h"
#include "convert/OptionCommands.h"
#include "layouts/LayoutRecords.h"
#include "shell/HelpCommands.h"
#include "shell/MainWindow.h"
#include "shell/MouseSwallower.h"
#include "shell/Session.h"
#include "tracks/TrackCommands.h"

#include <QAction>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <algorithm>

namespace shell {

namespace {

using layouts::Command;

struct Route {
    Command command;
    void (*run)(Session&);
};

const Route kMenuRoutes[] = {
    {Command::AddItem, [](Session& s) { tracks::add_item(s.controls); }},
    {Command::BatchAdd, [](Session& s) { tracks::batch_add(s.controls, s.context.stop_request); }},
    {Command::DeleteItem, [](Session& s) { tracks::delete_item(s.controls); }},
    {Command::ClearAll, [](Session& s) { tracks::clear_all(s.controls); }},
    {Command::Quit, [](Session& s) { quit_program(s.controls.window); }},
    {Command::BitRate128, [](Session& s) { convert::set_bit_rate(s.controls, 0); }},
    {Command::BitRate112, [](Session& s) { convert::set_bit_rate(s.controls, 1); }},
    {Command::BitRate96, [](Session& s) { convert::set_bit_rate(s.controls, 2); }},
    {Command::BitRate64, [](Session& s) { convert::set_bit_rate(s.controls, 3); }},
    {Command::BitRate32, [](Session& s) { convert::set_bit_rate(s.controls, 4); }},
    {Command::BitRate16, [](Session& s) { convert::set_bit_rate(s.controls, 5); }},
    {Command::Stereo, [](Session& s) { convert::set_channel(s.controls, 0); }},
    {Command::Mono, [](Session& s) { convert::set_channel(s.controls, 1); }},
    {Command::OutputFolder, [](Session& s) { convert::choose_output_folder(s.controls); }},
    {Command::StartConversion, [](Session& s) { s.run->start(); }},
    {Command::Help, [](Session&) { open_help_file(); }},
    {Command::About, [](Session&) { show_about_window(); }},
};

const Route* route_of(Command command) {
    for (const Route& route : kMenuRoutes) {
        if (route.command == command) return &route;
    }
    return nullptr;
}

// Menu items: the actions with a command, which the layout gives every item.
QList<QAction*> command_actions(const Session& session) {
    QList<QAction*> actions;
    for (QAction* action : session.window->findChildren<QAction*>()) {
        if (action->data().isValid() && action->data().toInt() != static_cast<int>(Command::None)) actions << action;
    }
    return actions;
}

void wire_menu(Session& session) {
    for (QAction* action : command_actions(session)) {
        const Route* route = route_of(static_cast<Command>(action->data().toInt()));
        if (!route) continue;
        QObject::connect(action, &QAction::triggered, action, [&session, route] { route->run(session); });
    }
}

void wire_controls(Session& session) {
    const layouts::MainControls& c = session.controls;
    QObject::connect(c.folder_button, &QPushButton::clicked, c.folder_button,
                     [&session] { convert::choose_output_folder(session.controls); });
    QObject::connect(c.bit_rate, &QComboBox::activated, c.bit_rate,
                     [&session] { convert::record_bit_rate(session.controls); });
    QObject::connect(c.channel, &QComboBox::activated, c.channel,
                     [&session] { convert::record_channel(session.controls); });
    auto* swallower = new MouseSwallower(c.folder);
    c.folder->installEventFilter(swallower);
    c.folder->viewport()->installEventFilter(swallower);
    QObject::connect(session.window.get(), &MainWindow::closing, session.window.get(), [&session] {
        session.context.stop_request = true;
        session.run->window_closed();
    });
}

} // namespace

void wire_session(Session& session) {
    wire_menu(session);
    wire_controls(session);
}

QStringList wiring_problems(const Session& session) {
    QStringList problems;
    const QList<QAction*> actions = command_actions(session);
    for (QAction* action : actions) {
        if (!route_of(static_cast<Command>(action->data().toInt())))
            problems << QStringLiteral("menu item %1 has a command with no route").arg(action->objectName());
    }
    for (const Route& route : kMenuRoutes) {
        const bool found = std::any_of(actions.begin(), actions.end(), [&](QAction* a) {
            return a->data().toInt() == static_cast<int>(route.command);
        });
        if (!found) problems << QStringLiteral("command %1 has no menu item").arg(static_cast<int>(route.command));
    }
    return problems;
}

} // namespace shell
