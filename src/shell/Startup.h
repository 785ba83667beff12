#pragma once

class QApplication;
class QCoreApplication;
class QString;

namespace shell {

// Start-up to exit: the whole program behind main().
int run_program(int argc, char** argv);

// Qt's own texts (dialog buttons, the file dialog) in Simplified Chinese, whatever
// the locale. False, with a line on stderr, when the catalogue is not installed.
bool install_qt_translation(QCoreApplication& app);

// What the application is before its first window: Qt's texts in Chinese, its name,
// version and icon, and an end that waits for the run rather than the last window.
void set_up_application(QApplication& app);

// Qt's own dialogs keep a history (the last folders, the file dialog's sidebar) in a
// settings file of their own and read it back; every start of this program begins
// fresh, so those settings go to folder, which lives only as long as the program.
void keep_qt_settings_in(const QString& folder);

} // namespace shell
