#pragma once

#include "primitives/Text.h"

#include <QString>

class QTableWidget;

namespace tracks {

// Reading and writing the rows of the track list, the only store of the queue.
// Each row keeps its source path and a serial number that survives deletions, so
// a run never writes into a row that has since come to hold another file.
int append_row(QTableWidget* table, const primitives::Text& path);
void set_cell(QTableWidget* table, int row, int column, const QString& text);
primitives::Text row_path(QTableWidget* table, int row);
qint64 row_serial(QTableWidget* table, int row);
int row_of_serial(QTableWidget* table, qint64 serial);
void set_row_icon(QTableWidget* table, int row, int icon);
int row_icon(QTableWidget* table, int row);
// The raw GBK bytes of a tag field, kept beside the text shown.
void set_tag_cell(QTableWidget* table, int row, int column, const primitives::Text& gbk);

} // namespace tracks
