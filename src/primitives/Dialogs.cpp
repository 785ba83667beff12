#include "primitives/Dialogs.h"
#include "primitives/FileSearch.h"
#include "primitives/Files.h"
#include "primitives/QtText.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTextEdit>
#include <QUrl>

namespace primitives {

namespace {

Text utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

// A window manager shows a title only as far as the window is wide: a short text
// must not leave the caption out. Room for the title bar's buttons too.
constexpr int kTitleBarButtonsWidth = 120;

void make_room_for_caption(QMessageBox& box, const QString& caption) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    const int width = box.fontMetrics().horizontalAdvance(caption) + kTitleBarButtonsWidth;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

int show_message_box(const Text& content, int flags, const Text& caption, const Text& details) {
    QMessageBox box;
    configure_message_box(box, content, flags, caption, details);
    const int answer = box.exec();
    if (answer == QMessageBox::Yes) return kAnswerYes;
    if (answer == QMessageBox::No) return kAnswerNo;
    return kAnswerOk;
}

} // namespace

void configure_message_box(QMessageBox& box, const Text& content, int flags, const Text& caption, const Text& details) {
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(to_qstring(caption));
    box.setText(to_qstring(content));
    if ((flags & 0xF) == 0x4) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    if ((flags & 0xF0) == 0x40) box.setIcon(QMessageBox::Information);
    if (!details.empty()) {
        box.setDetailedText(to_qstring(details));
        // Read with the keyboard too: its cursor moves and selects, Ctrl+C copies.
        if (auto* text = box.findChild<QTextEdit*>())
            text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    make_room_for_caption(box, to_qstring(caption));
}

namespace {

Text show_folder_dialog(const Text& title, bool include_files) {
    QFileDialog dialog(QApplication::activeWindow(), to_qstring(title));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly, !include_files);
    dialog.setLabelText(QFileDialog::LookIn, to_qstring(title));
    dialog.setDirectory(to_qstring(folder_dialog_start()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    Text path = utf8(dialog.selectedFiles().constFirst());
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

Text show_open_dialog(const Text& filter, const Text& initial) {
    const QString filter_text = to_qstring(filter);
    const QString name = filter_text.section(u'|', 0, 0);
    const QString pattern = filter_text.section(u'|', 1, 1);
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setNameFilter(QStringLiteral("%1 (%2)").arg(name, pattern));
    if (initial.empty())
        dialog.setDirectory(to_qstring(folder_dialog_start()));
    else
        dialog.selectFile(to_qstring(initial));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return file_shown_as(utf8(dialog.selectedFiles().constFirst()));
}

// A viewer we know reads the file is asked first; else the desktop's handler for its
// type, when it has one. QDesktopServices alone would report success whenever
// xdg-open starts, even where xdg-open then finds nothing.
bool open_with_desktop(const Text& path) {
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".chm") == 0) {
        for (const char* viewer : {"xchm", "kchmviewer"}) {
            const QString program = QStandardPaths::findExecutable(QString::fromLatin1(viewer));
            if (!program.isEmpty() && QProcess::startDetached(program, {file})) return true;
        }
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFile(file);
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type.name()});
    if (!query.waitForFinished(3000) || query.readAllStandardOutput().trimmed().isEmpty()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

} // namespace

DialogHooks& dialog_hooks() {
    static DialogHooks hooks{show_message_box, show_folder_dialog, open_with_desktop, show_open_dialog};
    return hooks;
}

int message_box(const Text& content, int flags, const Text& caption, const Text& details) {
    return dialog_hooks().message_box(content, flags, caption, details);
}

void process_events() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

Text choose_folder(const Text& title, bool include_files) {
    return dialog_hooks().choose_folder(title, include_files);
}

bool open_document(const Text& path) {
    return dialog_hooks().open_document(path);
}

Text file_shown_as(const Text& shown) {
    const auto slash = shown.rfind('/');
    if (file_exists(shown) || slash == Text::npos) return shown;
    const Text folder = shown.substr(0, slash + 1);
    const QString name = to_qstring(shown.substr(slash + 1));
    Text found;
    int matches = 0;
    FileSearch search;
    for (Text entry = list_files(folder + "*", search); !entry.empty(); entry = list_files({}, search)) {
        if (to_qstring(entry) != name) continue;
        found = folder + entry;
        ++matches;
    }
    return matches == 1 ? found : shown;
}

Text folder_dialog_start() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) return utf8(desktop);
    return utf8(QDir::homePath());
}

Text choose_open_file(const Text& filter, const Text& initial) {
    return dialog_hooks().choose_open_file(filter, initial);
}

} // namespace primitives
