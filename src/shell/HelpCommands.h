#pragma once

class QWidget;

namespace shell {

void open_help_file();
// Modal for the whole program; returns when the About window has closed.
void show_about_window();
void quit_program(QWidget* main_window);

} // namespace shell
