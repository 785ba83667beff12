#pragma once

#include "primitives/Dialogs.h"
#include "shell/Session.h"

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <memory>

// Answers every dialog instead of a person and records what was asked, and points
// the settings file at a temporary folder.
class DialogScript {
public:
    DialogScript();
    ~DialogScript();

    struct Message {
        std::string text;
        int flags;
        std::string caption;
        std::string details;
    };
    std::vector<Message> messages;
    std::vector<std::string> opened_documents;
    bool documents_open = true;         // whether the desktop has a program for them
    std::deque<int> answers;            // message box answers; OK when empty
    std::deque<std::string> folders;    // choose_folder answers; cancel when empty
    std::deque<std::string> open_files; // file dialog answers; cancel when empty
    std::vector<std::string> folder_titles;
    std::vector<std::string> open_initials;

    std::string settings_path() const;
    std::string settings() const;

private:
    primitives::DialogHooks m_saved;
    QTemporaryDir m_config;
};

// A main window created and wired as the program does it.
std::unique_ptr<shell::Session> open_main_window();
// Chooses the main window's menu item with this caption, as a click on it would.
void trigger(shell::Session& session, const char* item);

// A suite of window tests: before each test a fresh main window, wired as the program
// wires it, with every dialog answered by m_script; both go after the test.
class GuiSuite : public QObject {
    Q_OBJECT
protected slots:
    void init();
    void cleanup();

protected:
    std::unique_ptr<DialogScript> m_script;
    std::unique_ptr<shell::Session> m_session;
};
