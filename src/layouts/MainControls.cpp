#include "layouts/MainControls.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace layouts {

MainControls MainControls::find(QWidget* window) {
    MainControls c;
    c.window = window;
    c.tracks = window->findChild<ListView*>(QStringLiteral("超级列表框1"));
    c.bit_rate = window->findChild<QComboBox*>(QStringLiteral("组合框1"));
    c.channel = window->findChild<QComboBox*>(QStringLiteral("组合框2"));
    c.folder = window->findChild<QPlainTextEdit*>(QStringLiteral("编辑框1"));
    c.progress = window->findChild<QProgressBar*>(QStringLiteral("进度条1"));
    c.percent = window->findChild<QLabel*>(QStringLiteral("标签1"));
    c.folder_button = window->findChild<QPushButton*>(QStringLiteral("按钮1"));
    c.file_dialog = window->findChild<QObject*>(QStringLiteral("通用对话框1"));
    return c;
}

} // namespace layouts
