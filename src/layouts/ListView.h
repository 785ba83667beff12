#pragma once

#include "layouts/ListRows.h"

#include <QTableView>

namespace layouts {

// A list view in report mode: a header of columns over rows kept by ListRows. The
// control itself is the store of its rows; nothing else holds them.
class ListView : public QTableView {
    Q_OBJECT
public:
    ListView(const QStringList& headers, QWidget* parent);

    ListRows* rows() const { return m_rows; }
    int rowCount() const { return m_rows->rowCount(); }
    void removeRow(int row) { m_rows->removeRows(row, 1); }
    void remove_all_rows() { m_rows->remove_all(); }

private:
    ListRows* m_rows;
};

} // namespace layouts
