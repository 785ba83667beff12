#include "layouts/ListRows.h"

#include "primitives/Gbk.h"
#include "primitives/QtText.h"

#include <algorithm>

namespace layouts {

std::string_view ListRows::Row::piece(int index) const {
    const std::uint32_t start = index == 0 ? 0 : ends[static_cast<std::size_t>(index - 1)];
    return std::string_view(bytes).substr(start, ends[static_cast<std::size_t>(index)] - start);
}

void ListRows::Row::set_piece(int index, std::string_view value) {
    const auto i = static_cast<std::size_t>(index);
    const std::uint32_t start = i == 0 ? 0 : ends[i - 1];
    const auto old_length = static_cast<std::int64_t>(ends[i] - start);
    bytes.replace(start, ends[i] - start, value);
    const auto shift = static_cast<std::int64_t>(value.size()) - old_length;
    for (std::size_t k = i; k < ends.size(); ++k)
        ends[k] = static_cast<std::uint32_t>(ends[k] + shift);
}

ListRows::ListRows(QStringList headers, QObject* parent) : QAbstractTableModel(parent), m_headers(std::move(headers)) {
    if (m_headers.size() > kMostColumns) m_headers.resize(kMostColumns);
}

int ListRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ListRows::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headers.size());
}

bool ListRows::valid(int row, int column) const {
    return row >= 0 && row < rowCount() && column >= 0 && column < columnCount();
}

QVariant ListRows::data(const QModelIndex& index, int role) const {
    if (!valid(index.row(), index.column())) return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        const std::string bytes(row.piece(column));
        switch (row.shown_as[static_cast<std::size_t>(column)]) {
        case CellBytes::Gbk:
            return primitives::to_qstring(primitives::gbk_to_utf8(bytes));
        case CellBytes::Path:
            return primitives::to_qstring(primitives::path_for_display(bytes));
        case CellBytes::Utf8:
            return primitives::to_qstring(bytes);
        }
    }
    // A screen reader says what the tool tip shows: a failed row's reason.
    if (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole) {
        const std::string_view tip = row.piece(kMostColumns + column);
        if (!tip.empty()) return primitives::to_qstring(std::string(tip));
    }
    return {};
}

QVariant ListRows::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole) return m_headers[section];
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags ListRows::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    // The flags a report list's items carry (editable, draggable, checkable), as callers
    // that ask for them expect; the view starts no editor and no drag, so no cell is ever
    // edited in place or moved.
    return Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled |
           Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
}

bool ListRows::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count <= 0 || row + count > rowCount()) return false;
    beginRemoveRows({}, row, row + count - 1);
    m_rows.erase(m_rows.begin() + row, m_rows.begin() + row + count);
    endRemoveRows();
    return true;
}

int ListRows::append(std::initializer_list<Cell> cells, int icon) {
    Row record;
    record.icon = icon;
    int column = 0;
    for (const Cell& cell : cells) {
        if (column >= columnCount()) break;
        record.bytes += cell.bytes;
        record.shown_as[static_cast<std::size_t>(column)] = cell.shown_as;
        record.ends[static_cast<std::size_t>(column++)] = static_cast<std::uint32_t>(record.bytes.size());
    }
    // The cells not given and every tool tip start out empty.
    std::fill(record.ends.begin() + column, record.ends.end(), static_cast<std::uint32_t>(record.bytes.size()));
    record.bytes.shrink_to_fit();
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_rows.push_back(std::move(record));
    endInsertRows();
    return row;
}

void ListRows::set_cell(int row, int column, std::string_view bytes, CellBytes shown_as) {
    if (!valid(row, column)) return;
    Row& record = m_rows[static_cast<std::size_t>(row)];
    record.set_piece(column, bytes);
    record.shown_as[static_cast<std::size_t>(column)] = shown_as;
    changed(row, column, Qt::DisplayRole);
}

void ListRows::set_tip(int row, int column, std::string_view utf8) {
    if (!valid(row, column)) return;
    m_rows[static_cast<std::size_t>(row)].set_piece(kMostColumns + column, utf8);
    changed(row, column, Qt::ToolTipRole);
    changed(row, column, Qt::AccessibleDescriptionRole);
}

std::string ListRows::cell_bytes(int row, int column) const {
    return valid(row, column) ? std::string(m_rows[static_cast<std::size_t>(row)].piece(column)) : std::string{};
}

void ListRows::set_icon(int row, int icon) {
    if (valid(row, 0)) m_rows[static_cast<std::size_t>(row)].icon = icon;
}

int ListRows::icon(int row) const {
    return valid(row, 0) ? m_rows[static_cast<std::size_t>(row)].icon : -1;
}

void ListRows::remove_all() {
    beginResetModel();
    std::vector<Row>().swap(m_rows);
    endResetModel();
}

void ListRows::changed(int row, int column, int role) {
    const QModelIndex at = index(row, column);
    emit dataChanged(at, at, {role});
}

} // namespace layouts
