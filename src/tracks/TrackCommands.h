#pragma once

#include "primitives/Text.h"
#include "tracks/TrackRows.h"

namespace layouts {
struct MainControls;
}

namespace tracks {

void add_item(const layouts::MainControls& controls);
// Processes events before each file, so any command may run inside it; it stops
// when the main window goes away.
void batch_add(const layouts::MainControls& controls, const bool& stop_request);
void delete_item(const layouts::MainControls& controls);
void clear_all(const layouts::MainControls& controls);

// Appends the row of one file at the end of the list.
void fill_row(const layouts::MainControls& controls, const primitives::Text& path);

} // namespace tracks
