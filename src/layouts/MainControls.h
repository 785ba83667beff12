#pragma once

#include "layouts/ListView.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

namespace layouts {

// The main window's controls, which are the only store of the track list and the
// options. Guarded pointers: a command that processes events may outlive them.
struct MainControls {
    QPointer<QWidget> window;
    QPointer<ListView> tracks;           // 超级列表框1
    QPointer<QComboBox> bit_rate;        // 组合框1
    QPointer<QComboBox> channel;         // 组合框2
    QPointer<QPlainTextEdit> folder;     // 编辑框1
    QPointer<QProgressBar> progress;     // 进度条1
    QPointer<QLabel> percent;            // 标签1
    QPointer<QPushButton> folder_button; // 按钮1
    QPointer<QObject> file_dialog;       // 通用对话框1

    static MainControls find(QWidget* window);
};

} // namespace layouts
