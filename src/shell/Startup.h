#pragma once

class QCoreApplication;

namespace shell {

// Start-up to exit: the whole program behind main().
int run_program(int argc, char** argv);

// Qt's own texts (dialog buttons, the file dialog) in Simplified Chinese, whatever
// the locale. False, with a line on stderr, when the catalogue is not installed.
bool install_qt_translation(QCoreApplication& app);

} // namespace shell
