#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace layouts {

// How a cell's bytes become the text shown: as UTF-8, as GBK (tag fields written on
// Windows), or as a path whose names may each be either (see path_for_display).
enum class CellBytes : std::uint8_t { Utf8, Gbk, Path };

// The rows of a report list, each kept in one compact record of its own: the bytes of
// its cells and tool tips in a single buffer, how to show each cell, and an icon index.
// Text is decoded only when a cell is drawn or read, so a list of a hundred thousand
// files costs a few megabytes, not a widget item with several roles per cell.
class ListRows : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kMostColumns = 8;

    ListRows(QStringList headers, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

    struct Cell {
        std::string_view bytes;
        CellBytes shown_as = CellBytes::Utf8;
    };
    // Appends a row whose first cells are given; the others stay empty. Returns its index.
    int append(std::initializer_list<Cell> cells, int icon);
    void set_cell(int row, int column, std::string_view bytes, CellBytes shown_as);
    void set_tip(int row, int column, std::string_view utf8);
    std::string cell_bytes(int row, int column) const;
    void set_icon(int row, int icon);
    int icon(int row) const;
    void remove_all();

private:
    struct Row {
        std::string bytes;                                  // cells, then tool tips, one after another
        std::array<std::uint32_t, 2 * kMostColumns> ends{}; // where each piece ends in bytes
        std::array<CellBytes, kMostColumns> shown_as{};
        int icon = 0;

        std::string_view piece(int index) const;
        void set_piece(int index, std::string_view value);
    };

    bool valid(int row, int column) const;
    void changed(int row, int column, int role);

    QStringList m_headers;
    std::vector<Row> m_rows;
};

} // namespace layouts
