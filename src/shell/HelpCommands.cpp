#include "shell/HelpCommands.h"

#include "layouts/FramePlacer.h"
#include "layouts/LayoutRecords.h"
#include "layouts/WindowBuilder.h"
#include "primitives/Dialogs.h"
#include "primitives/Files.h"
#include "shell/Artwork.h"
#include "shell/ModalRestorer.h"

#include <QDialog>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QVBoxLayout>

namespace shell {

using namespace primitives;

namespace {

// Beside the program in a build; in the data folder once installed.
Text help_file_path() {
    const Text beside = program_folder() + "/explain.chm";
    if (file_exists(beside)) return beside;
    const Text installed = program_folder() + "/" TUNVASK_DATA_FROM_BIN "/explain.chm";
    return file_exists(installed) ? installed : Text{};
}

} // namespace

void open_help_file() {
    const Text path = help_file_path();
    if (path.empty())
        message_box("未找到文件!", kMessageOk, "错误");
    else if (!open_document(path))
        // A stock desktop has no CHM viewer: say so rather than do nothing.
        message_box("无法打开帮助文件 explain.chm，请安装 CHM 阅读器（例如 xchm）。", kMessageOk, "错误");
}

void show_about_window() {
    const layouts::WindowRecord& layout = layouts::about_layout();
    QDialog about;
    about.setObjectName(QStringLiteral("关于"));
    about.setWindowTitle(QStringLiteral("关于"));
    about.setWindowModality(Qt::ApplicationModal);
    about.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* client = new QWidget(&about);
    layouts::build_controls(client, layout);
    auto* frame = new QVBoxLayout(&about);
    frame->setContentsMargins(0, 0, 0, 0);
    frame->addWidget(client);
    frame->setSizeConstraint(QLayout::SetFixedSize);
    client->findChild<QLabel*>(QStringLiteral("图片框1"))->setPixmap(QPixmap::fromImage(about_picture()));
    client->findChild<QLabel*>(QStringLiteral("标签1"))
        ->setText(QStringLiteral("Tunvask %1").arg(QStringLiteral(TUNVASK_VERSION)));
    auto* ok = client->findChild<QPushButton*>(QStringLiteral("按钮1"));
    ok->setAutoDefault(false);
    QObject::connect(ok, &QPushButton::clicked, &about, &QDialog::close);
    layouts::FramePlacer::place(&about, layouts::centred_position(layout.outer_width, layout.outer_height));
    const ModalRestorer restorer(&about);
    about.exec();
}

void quit_program(QWidget* main_window) {
    // Queued, so the close happens once the menu command has returned.
    if (main_window) QMetaObject::invokeMethod(main_window, &QWidget::close, Qt::QueuedConnection);
}

} // namespace shell
