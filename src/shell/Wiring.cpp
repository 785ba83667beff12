#include "convert/ConversionRun.h"
#include "convert/OptionCommands.h"
#include "shell/HelpCommands.h"
#include "shell/MainWindow.h"
#include "shell/MouseSwallower.h"
#include "shell/Session.h"
#include "tracks/TrackCommands.h"

#include <QAction>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>

namespace shell {

Session::Session() = default;
Session::~Session() = default;

namespace {

struct Route {
    const char* item;
    std::function<void(Session&)> command;
};

const Route kMenuRoutes[] = {
    {"添加项目(&N)", [](Session& s) { tracks::add_item(s.controls); }},
    {"批量添加(&M)", [](Session& s) { tracks::batch_add(s.controls, s.context.stop_request); }},
    {"删除项目(&D)", [](Session& s) { tracks::delete_item(s.controls); }},
    {"全部清除(&C)", [](Session& s) { tracks::clear_all(s.controls); }},
    {"退出(&Q)", [](Session& s) { quit_program(s.controls.window); }},
    {"CD品质(128Kbps)(&F1)", [](Session& s) { convert::set_bit_rate(s.controls, 0); }},
    {"次CD品质(112Kbps)(&F2)", [](Session& s) { convert::set_bit_rate(s.controls, 1); }},
    {"FM广播品质(96Kbps)(&F3)", [](Session& s) { convert::set_bit_rate(s.controls, 2); }},
    {"磁带品质(64Kbps)(&F4)", [](Session& s) { convert::set_bit_rate(s.controls, 3); }},
    {"AM广播品质(32Kbps)(&F5)", [](Session& s) { convert::set_bit_rate(s.controls, 4); }},
    {"电话品质(16Kbps)(&F6)", [](Session& s) { convert::set_bit_rate(s.controls, 5); }},
    {"立体声(&F7)", [](Session& s) { convert::set_channel(s.controls, 0); }},
    {"单身道(&F8)", [](Session& s) { convert::set_channel(s.controls, 1); }},
    {"输出路径(&F10)", [](Session& s) { convert::choose_output_folder(s.controls); }},
    {"开始转换(&F5)", [](Session& s) { s.run->start(); }},
    {"说明(&P)", [](Session&) { open_help_file(); }},
    {"关于(&A)", [](Session&) { show_about_window(); }},
};

void wire_menu(Session& session) {
    for (const Route& route : kMenuRoutes) {
        auto* action = session.window->findChild<QAction*>(QString::fromUtf8(route.item));
        if (!action) continue;
        QObject::connect(action, &QAction::triggered, action, [&session, &route] { route.command(session); });
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

bool open_session(Session& session) {
    session.window = std::make_unique<MainWindow>();
    session.controls = layouts::MainControls::find(session.window.get());
    const auto& c = session.controls;
    if (!c.tracks || !c.bit_rate || !c.channel || !c.folder || !c.progress || !c.percent || !c.folder_button)
        return false;
    session.run = std::make_unique<convert::ConversionRun>(session.controls, session.context);
    wire_menu(session);
    wire_controls(session);
    return true;
}

} // namespace shell
