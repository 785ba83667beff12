#include "tracks/TrackRows.h"

#include "layouts/ListView.h"

namespace tracks {

using layouts::CellBytes;

int append_row(layouts::ListView* table, const RowContent& content) {
    return table->rows()->append({{content.path, CellBytes::Path},
                                  {content.size, CellBytes::Utf8},
                                  {{}, CellBytes::Utf8},
                                  {content.title, CellBytes::Gbk},
                                  {content.album, CellBytes::Gbk},
                                  {content.artist, CellBytes::Gbk}},
                                 kIconAdded);
}

void set_cell(layouts::ListView* table, int row, int column, const QString& text) {
    table->rows()->set_cell(row, column, text.toStdString(), CellBytes::Utf8);
}

QString cell_text(const layouts::ListView* table, int row, int column) {
    return table->rows()->index(row, column).data().toString();
}

void set_cell_tip(layouts::ListView* table, int row, int column, const QString& tip) {
    table->rows()->set_tip(row, column, tip.toStdString());
}

QString cell_tip(const layouts::ListView* table, int row, int column) {
    return table->rows()->index(row, column).data(Qt::ToolTipRole).toString();
}

primitives::Text row_path(const layouts::ListView* table, int row) {
    return table->rows()->cell_bytes(row, PathColumn);
}

void set_row_icon(layouts::ListView* table, int row, int icon) {
    // The list has no image list: the index is kept, nothing is drawn for it.
    table->rows()->set_icon(row, icon);
}

int row_icon(const layouts::ListView* table, int row) {
    return table->rows()->icon(row);
}

} // namespace tracks
