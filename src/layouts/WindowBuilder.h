#pragma once

#include "layouts/LayoutRecords.h"

#include <QPoint>

class QMainWindow;
class QWidget;

namespace layouts {

class ShortcutFilter;

// Creates the controls of a layout on client, each named after its record, and
// fixes the client to the layout's size.
void build_controls(QWidget* client, const WindowRecord& layout);

// Builds the menu bar of a layout into window and fills its key table.
void build_menu(QMainWindow* window, const WindowRecord& layout, ShortcutFilter* keys);

// Top-left corner that centres an outer size on the primary screen.
QPoint centred_position(int outer_width, int outer_height);

} // namespace layouts
