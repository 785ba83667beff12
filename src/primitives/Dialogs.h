#pragma once

#include "primitives/Text.h"

#include <functional>

class QMessageBox;

namespace primitives {

// Message box flags and answers, as the commands use them.
constexpr int kMessageOk = 0x0;
constexpr int kMessageYesNoInformation = 0x44;
constexpr int kAnswerOk = 0;
constexpr int kAnswerYes = 5;
constexpr int kAnswerNo = 6;

// details, where given, is text the user can open in the box (its "显示详细信息" button)
// and select: what a mouse pointer would find elsewhere, for the keyboard and screen readers.
int message_box(const Text& content, int flags, const Text& caption, const Text& details = {});
// The box message_box shows, made ready: buttons, icon, details, and room for the caption.
void configure_message_box(QMessageBox& box, const Text& content, int flags, const Text& caption,
                           const Text& details = {});
// Runs the pending events and returns; a quit request stays queued.
void process_events();
// A folder chosen by the user, without a trailing "/" (except "/" itself);
// empty when cancelled.
Text choose_folder(const Text& title, bool include_files);
// Opens a document in the program the desktop has for it; false when there is none.
bool open_document(const Text& path);
// A file chosen in a dialog, as the file system spells it: Qt's dialogs show a name
// that is not UTF-8 (GBK bytes from a Windows archive) with replacement characters,
// and a path rebuilt from that names no file. The one entry of its folder that
// shows the same is taken; the path as it is when none or several do.
Text file_shown_as(const Text& shown);

// Where the folder browsers start: the desktop folder when there is one, else home.
Text folder_dialog_start();
// An existing file chosen in an open dialog with one filter ("MP3文件|*.mp3"),
// pre-filled with initial; empty when cancelled.
Text choose_open_file(const Text& filter, const Text& initial);

// Every dialog goes through these, so tests can answer them without a person.
struct DialogHooks {
    std::function<int(const Text&, int, const Text&, const Text&)> message_box;
    std::function<Text(const Text&, bool)> choose_folder;
    std::function<bool(const Text&)> open_document;
    std::function<Text(const Text&, const Text&)> choose_open_file;
};
DialogHooks& dialog_hooks();

} // namespace primitives
