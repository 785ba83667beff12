#pragma once

#include "primitives/Text.h"

#include <QString>

namespace layouts {
class ListView;
}

namespace tracks {

// Columns of a track row.
enum Column { PathColumn = 0, SizeColumn = 1, RatioColumn = 2, TitleColumn = 3, AlbumColumn = 4, ArtistColumn = 5 };

// Icon indexes of a row: added, and processed by a conversion run.
constexpr int kIconAdded = 0;
constexpr int kIconConverted = 1;

// What a new row shows: the source path as the file system's bytes, its size, and
// the three tag fields as the tag's GBK bytes.
struct RowContent {
    primitives::Text path = {};
    primitives::Text size = {};
    primitives::Text title = {}, album = {}, artist = {};
};

// Reading and writing the rows of the track list, the only store of the queue.
// Each row keeps its path and tag fields as bytes; they are decoded when shown.
int append_row(layouts::ListView* table, const RowContent& content);
void set_cell(layouts::ListView* table, int row, int column, const QString& text);
QString cell_text(const layouts::ListView* table, int row, int column);
void set_cell_tip(layouts::ListView* table, int row, int column, const QString& tip);
QString cell_tip(const layouts::ListView* table, int row, int column);
primitives::Text row_path(const layouts::ListView* table, int row);
void set_row_icon(layouts::ListView* table, int row, int icon);
int row_icon(const layouts::ListView* table, int row);

} // namespace tracks
