#include "tracks/TrackCommands.h"

#include "layouts/MainControls.h"
#include "primitives/Dialogs.h"
#include "primitives/FileSearch.h"
#include "tracks/Id3v1.h"
#include "tracks/TrackRows.h"

#include <QElapsedTimer>
#include <QPointer>

namespace tracks {

using namespace primitives;

void fill_row(const layouts::MainControls& controls, const Text& path) {
    if (!controls.tracks) return;
    const TagFields tag = read_tag(path);
    append_row(controls.tracks, {path, size_text(path), tag.title, tag.album, tag.artist});
}

void add_item(const layouts::MainControls& controls) {
    if (!controls.file_dialog) return;
    const Text filter = controls.file_dialog->property("filter").toString().toStdString();
    const Text initial = controls.file_dialog->property("fileName").toString().toStdString();
    const Text path = choose_open_file(filter, initial);
    if (path.empty()) return;
    if (controls.file_dialog) controls.file_dialog->setProperty("fileName", QString::fromStdString(path));
    fill_row(controls, path);
}

namespace {

// Events are processed before every file, so the window answers at once; the list
// itself is repainted a few times a second only, since repainting it for every
// row would cost twenty times more than reading the files.
class RepaintThrottle {
public:
    explicit RepaintThrottle(layouts::ListView* table) : m_table(table) { m_clock.start(); }
    ~RepaintThrottle() {
        if (m_table) m_table->setUpdatesEnabled(true);
    }
    void before_events() {
        if (!m_table) return;
        const bool due = m_clock.elapsed() >= kIntervalMs;
        if (due) m_clock.restart();
        m_table->setUpdatesEnabled(due);
    }

private:
    static constexpr qint64 kIntervalMs = 40;
    QPointer<layouts::ListView> m_table;
    QElapsedTimer m_clock;
};

} // namespace

void batch_add(const layouts::MainControls& controls, const bool& stop_request) {
    Text folder = choose_folder("请选择来源文件夹", false);
    if (folder.empty()) return;
    if (folder.back() != '/') folder += '/';
    FileSearch search;
    RepaintThrottle throttle(controls.tracks);
    for (Text name = list_files(folder + "*.mp3", search); !name.empty(); name = list_files({}, search)) {
        throttle.before_events();
        process_events();
        if (stop_request || !controls.tracks) break;
        fill_row(controls, folder + name);
    }
}

void delete_item(const layouts::MainControls& controls) {
    layouts::ListView* table = controls.tracks;
    if (!table) return;
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    if (selected.isEmpty()) return;
    table->removeRow(selected.constFirst().row());
    // The view selects the row that moved up into the place: a second Ctrl+D, or a held
    // key, would remove a row the user never chose.
    table->selectionModel()->clearSelection();
}

void clear_all(const layouts::MainControls& controls) {
    if (!controls.tracks || controls.tracks->rowCount() == 0) return;
    if (message_box("你真的要清除所有项目吗？", kMessageYesNoInformation, "Brimo提醒你") != kAnswerYes) return;
    if (controls.tracks) controls.tracks->remove_all_rows();
}

} // namespace tracks
