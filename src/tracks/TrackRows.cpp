#include "tracks/TrackRows.h"

#include "primitives/Gbk.h"
#include "primitives/QtText.h"

#include <QTableWidget>

namespace tracks {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kIconRole = Qt::UserRole + 1;

QTableWidgetItem* item_at(QTableWidget* table, int row, int column) {
    QTableWidgetItem* item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        table->setItem(row, column, item);
    }
    return item;
}

} // namespace

int append_row(QTableWidget* table, const primitives::Text& path) {
    const int row = table->rowCount();
    table->insertRow(row);
    auto* first = new QTableWidgetItem(primitives::to_qstring(primitives::path_for_display(path)));
    first->setData(kPathRole, QByteArray::fromStdString(path));
    first->setData(kIconRole, kIconAdded);
    table->setItem(row, PathColumn, first);
    return row;
}

void set_cell(QTableWidget* table, int row, int column, const QString& text) {
    if (row < 0 || row >= table->rowCount()) return;
    item_at(table, row, column)->setText(text);
}

void set_cell_tip(QTableWidget* table, int row, int column, const QString& tip) {
    if (row < 0 || row >= table->rowCount()) return;
    item_at(table, row, column)->setToolTip(tip);
}

void set_tag_cell(QTableWidget* table, int row, int column, const primitives::Text& gbk) {
    if (row < 0 || row >= table->rowCount()) return;
    QTableWidgetItem* item = item_at(table, row, column);
    item->setText(primitives::to_qstring(primitives::gbk_to_utf8(gbk)));
}

primitives::Text row_path(QTableWidget* table, int row) {
    const QTableWidgetItem* item = table->item(row, PathColumn);
    return item ? item->data(kPathRole).toByteArray().toStdString() : primitives::Text{};
}

void set_row_icon(QTableWidget* table, int row, int icon) {
    QTableWidgetItem* item = table->item(row, PathColumn);
    if (!item) return;
    // The list has no image list: the index is kept, nothing is drawn for it.
    item->setData(kIconRole, icon);
}

int row_icon(QTableWidget* table, int row) {
    const QTableWidgetItem* item = table->item(row, PathColumn);
    return item ? item->data(kIconRole).toInt() : -1;
}

} // namespace tracks
