#pragma once

#include "primitives/Text.h"

#include <QString>

class QTableWidget;

namespace tracks {

// Columns of a track row.
enum Column { PathColumn = 0, SizeColumn = 1, RatioColumn = 2, TitleColumn = 3, AlbumColumn = 4, ArtistColumn = 5 };

// Icon indexes of a row: added, and processed by a conversion run.
constexpr int kIconAdded = 0;
constexpr int kIconConverted = 1;

// Reading and writing the rows of the track list, the only store of the queue.
// Each row keeps its source path as the file system's bytes beside the text shown.
int append_row(QTableWidget* table, const primitives::Text& path);
void set_cell(QTableWidget* table, int row, int column, const QString& text);
void set_cell_tip(QTableWidget* table, int row, int column, const QString& tip);
primitives::Text row_path(QTableWidget* table, int row);
void set_row_icon(QTableWidget* table, int row, int icon);
int row_icon(QTableWidget* table, int row);
// A tag field's GBK bytes, shown decoded.
void set_tag_cell(QTableWidget* table, int row, int column, const primitives::Text& gbk);

} // namespace tracks
