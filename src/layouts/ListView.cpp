#include "layouts/ListView.h"

namespace layouts {

ListView::ListView(const QStringList& headers, QWidget* parent)
    : QTableView(parent), m_rows(new ListRows(headers, this)) {
    setModel(m_rows);
}

} // namespace layouts
