#include "shell/MainWindow.h"

#include "layouts/FramePlacer.h"
#include "layouts/LayoutRecords.h"
#include "layouts/ShortcutFilter.h"
#include "layouts/WindowBuilder.h"
#include "primitives/Files.h"

#include <QCloseEvent>
#include <QLayout>
#include <QPlainTextEdit>

namespace shell {

MainWindow::MainWindow() {
    const layouts::WindowRecord& record = layouts::main_layout();
    setObjectName(QString::fromUtf8(record.name.data(), static_cast<qsizetype>(record.name.size())));
    setWindowTitle(QStringLiteral("Tunvask"));
    layouts::build_menu(this, record, new layouts::ShortcutFilter(this));
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("客户区"));
    layouts::build_controls(client, record);
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // A drive root means nothing here, and "/" cannot be written by a user.
    if (auto* folder = findChild<QPlainTextEdit*>(QStringLiteral("编辑框1")))
        folder->setPlainText(QString::fromStdString(primitives::home_folder()));
    layouts::FramePlacer::place(this, layouts::centred_position(record.outer_width, record.outer_height));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!m_closed) {
        m_closed = true;
        emit closing();
    }
    event->accept();
}

} // namespace shell
