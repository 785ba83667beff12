#include "GuiHarness.h"

#include <QTest>

#include "TempDir.h"
#include "shell/MainWindow.h"

#include <QAction>
#include <cstdlib>

DialogScript::DialogScript() : m_saved(primitives::dialog_hooks()) {
    ::setenv("XDG_CONFIG_HOME", m_config.path().toUtf8().constData(), 1);
    auto& hooks = primitives::dialog_hooks();
    hooks.message_box = [this](const std::string& text, int flags, const std::string& caption,
                               const std::string& details) {
        messages.push_back({text, flags, caption, details});
        if (answers.empty()) return primitives::kAnswerOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    };
    hooks.choose_folder = [this](const std::string& title, bool) {
        folder_titles.push_back(title);
        if (folders.empty()) return std::string();
        std::string folder = folders.front();
        folders.pop_front();
        return folder;
    };
    hooks.open_document = [this](const std::string& path) {
        opened_documents.push_back(path);
        return documents_open;
    };
    hooks.choose_open_file = [this](const std::string&, const std::string& initial) {
        open_initials.push_back(initial);
        if (open_files.empty()) return std::string();
        std::string file = open_files.front();
        open_files.pop_front();
        return file;
    };
}

DialogScript::~DialogScript() {
    primitives::dialog_hooks() = m_saved;
    ::unsetenv("XDG_CONFIG_HOME");
}

std::string DialogScript::settings_path() const {
    return m_config.path().toStdString() + "/tunvask/tunvask.ini";
}

std::string DialogScript::settings() const {
    return read_whole(settings_path());
}

std::unique_ptr<shell::Session> open_main_window() {
    auto session = std::make_unique<shell::Session>();
    if (!shell::open_session(*session)) return nullptr;
    session->window->show();
    return session;
}

void trigger(shell::Session& session, const char* item) {
    // A menu item that is not there fails the test that asked for it; it never crashes it.
    QAction* action = session.window->findChild<QAction*>(QString::fromUtf8(item));
    if (!action) {
        QTest::qFail(qPrintable(QStringLiteral("no menu item %1").arg(QString::fromUtf8(item))), __FILE__, __LINE__);
        return;
    }
    action->trigger();
}

void GuiSuite::init() {
    m_script = std::make_unique<DialogScript>();
    m_session = open_main_window();
}

void GuiSuite::cleanup() {
    m_session.reset();
    m_script.reset();
}
