#include "AudioFixtures.h"
#include "GuiHarness.h"
#include "TempDir.h"
#include "primitives/Files.h"
#include "primitives/Profile.h"
#include "shell/MainWindow.h"
#include "tracks/TrackRows.h"

#include <QAction>
#include <QApplication>
#include <QtTest>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string tagged_mp3(const std::string& title, const std::string& artist, const std::string& album) {
    return std::string(500, '\x55') + id3v1_tag(title, artist, album);
}

// count files named like MP3s, f0.mp3 and on; their content does not matter here.
void write_mp3_names(const TempDir& dir, int count) {
    for (int i = 0; i < count; ++i)
        dir.write("f" + std::to_string(i) + ".mp3", "x");
}

QStringList row_texts(layouts::ListView* table, int row) {
    QStringList cells;
    for (int c = 0; c < table->model()->columnCount(); ++c)
        cells << tracks::cell_text(table, row, c);
    return cells;
}

QStringList paths(layouts::ListView* table) {
    QStringList list;
    for (int r = 0; r < table->rowCount(); ++r)
        list << tracks::cell_text(table, r, 0);
    list.sort();
    return list;
}

} // namespace

class TrackCommandsTest : public GuiSuite {
    Q_OBJECT
private slots:
    void addItemFillsEveryCellAndAddsDuplicates();
    void batchAddTakesMp3FilesOfOneFolderOnlyHiddenOnesToo();
    void batchAddNeverWaitsOnAFifoAndShowsGbkNames();
    void batchAddRepaintsTheListAFewTimesNotForEveryRow();
    void emptyFolderAndCancelAddNothing();
    void deleteItemRemovesTheSelectedRowOnly();
    void clearAllAsksOnlyWhenThereAreRows();
    void closingTheWindowDuringBatchAddEndsCleanly();
    void nestedBatchAddAndClearKeepTheListConsistent();
    void bitRateAndChannelAreWrittenToTheSettings();
    void choosingAFolderSetsTheBoxAndTheSettings();
};

void TrackCommandsTest::addItemFillsEveryCellAndAddsDuplicates() {
    TempDir dir;
    // Title 月亮 (GBK), artist at offset 33, album at offset 63.
    const std::string path = dir.write("歌 #1.mp3", tagged_mp3("\xD4\xC2\xC1\xC1", "Artist", "Album"));
    layouts::ListView* table = m_session->controls.tracks;
    m_script->open_files = {path, path};
    trigger(*m_session, "添加项目(&N)");
    trigger(*m_session, "添加项目(&N)");
    QCOMPARE(table->rowCount(), 2);
    const QStringList expected{QString::fromStdString(path), "628", "", "月亮", "Album", "Artist"};
    QCOMPARE(row_texts(table, 0), expected);
    QCOMPARE(row_texts(table, 1), expected);
    QCOMPARE(tracks::row_icon(table, 0), 0);
    QCOMPARE(m_script->open_initials, (std::vector<std::string>{"", path}));
    trigger(*m_session, "添加项目(&N)");
    QCOMPARE(table->rowCount(), 2);
}

void TrackCommandsTest::batchAddTakesMp3FilesOfOneFolderOnlyHiddenOnesToo() {
    TempDir dir;
    dir.write("x.mp3", tagged_mp3("X", "", ""));
    dir.write("Y.MP3", "short");
    dir.write(".hidden.mp3", "");
    dir.write("a.mp3.bak", "no");
    dir.write("notes.txt", "no");
    std::filesystem::create_directory(dir.file("z.mp3"));
    dir.write("z.mp3/inner.mp3", "no");
    std::filesystem::create_directory_symlink(dir.file("z.mp3"), dir.file("w.mp3"));
    m_script->folders = {dir.path()};
    trigger(*m_session, "批量添加(&M)");
    layouts::ListView* table = m_session->controls.tracks;
    QCOMPARE(paths(table),
             (QStringList{QString::fromStdString(dir.file(".hidden.mp3")), QString::fromStdString(dir.file("Y.MP3")),
                          QString::fromStdString(dir.file("x.mp3"))}));
    QCOMPARE(m_script->folder_titles, std::vector<std::string>{"请选择来源文件夹"});
    QVERIFY2(table->updatesEnabled(), "the list is left without repainting after the walk");
    for (int r = 0; r < table->rowCount(); ++r) {
        if (tracks::cell_text(table, r, 0).endsWith(QStringLiteral("x.mp3")))
            QCOMPARE(tracks::cell_text(table, r, 3), QStringLiteral("X"));
        else if (tracks::cell_text(table, r, 0).endsWith(QStringLiteral("Y.MP3")))
            QCOMPARE(tracks::cell_text(table, r, 1), QStringLiteral("5"));
    }
    // A trailing "/" from the chooser is not doubled.
    m_script->folders = {dir.path() + "/"};
    trigger(*m_session, "批量添加(&M)");
    QCOMPARE(table->rowCount(), 6);
    QVERIFY(!tracks::cell_text(table, 5, 0).contains(QStringLiteral("//")));
}

void TrackCommandsTest::batchAddNeverWaitsOnAFifoAndShowsGbkNames() {
    TempDir dir;
    QCOMPARE(::mkfifo(dir.file("pipe.mp3").c_str(), 0644), 0);
    dir.write("\xD4\xC2\xC1\xC1.mp3", tagged_mp3("T", "", "")); // 月亮.mp3 in GBK bytes
    dir.write("\xFF\xFE.mp3", "neither UTF-8 nor GBK");
    m_script->folders = {dir.path()};
    ::alarm(30); // a read that waits for a FIFO writer would wait for ever: end the test instead
    trigger(*m_session, "批量添加(&M)");
    ::alarm(0);
    const QString folder = QString::fromStdString(dir.path()) + "/";
    QCOMPARE(paths(m_session->controls.tracks),
             (QStringList{folder + "pipe.mp3", folder + "月亮.mp3", folder + QStringLiteral("\uFFFD\uFFFD.mp3")}));
    layouts::ListView* table = m_session->controls.tracks;
    for (int r = 0; r < table->rowCount(); ++r) {
        if (tracks::cell_text(table, r, 0).endsWith(QStringLiteral("pipe.mp3")))
            QCOMPARE(tracks::cell_text(table, r, 1), QStringLiteral("0"));
        if (tracks::cell_text(table, r, 0).endsWith(QStringLiteral("月亮.mp3")))
            QCOMPARE(tracks::cell_text(table, r, 3), QStringLiteral("T"));
    }
}

namespace {

// Counts the paints of the widget it watches.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

// The window answers between files, but the list, whose repaint would cost far more than
// reading a file, is repainted only now and then while a folder is added.
void TrackCommandsTest::batchAddRepaintsTheListAFewTimesNotForEveryRow() {
    TempDir dir;
    constexpr int kFiles = 600;
    for (int i = 0; i < kFiles; ++i)
        dir.write("song" + std::to_string(i) + ".mp3", "x");
    m_session->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_session->window.get()));
    PaintCounter counter;
    m_session->controls.tracks->viewport()->installEventFilter(&counter);
    m_script->folders = {dir.path()};
    trigger(*m_session, "批量添加(&M)");
    QCOMPARE(m_session->controls.tracks->rowCount(), kFiles);
    QVERIFY2(counter.paints < kFiles / 4, qPrintable(QString::number(counter.paints)));
}

void TrackCommandsTest::emptyFolderAndCancelAddNothing() {
    TempDir dir;
    dir.write("a.wav", "x");
    m_script->folders = {dir.path()};
    trigger(*m_session, "批量添加(&M)");
    trigger(*m_session, "批量添加(&M)"); // cancelled
    QCOMPARE(m_session->controls.tracks->rowCount(), 0);
    QVERIFY(m_script->messages.empty());
}

void TrackCommandsTest::deleteItemRemovesTheSelectedRowOnly() {
    TempDir dir;
    layouts::ListView* table = m_session->controls.tracks;
    for (const char* name : {"a", "b", "c"})
        tracks::append_row(table, {dir.file(name)});
    trigger(*m_session, "删除项目(&D)");
    QCOMPARE(table->rowCount(), 3);
    table->selectRow(1);
    trigger(*m_session, "删除项目(&D)");
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(tracks::cell_text(table, 0, 0), QString::fromStdString(dir.file("a")));
    QCOMPARE(tracks::cell_text(table, 1, 0), QString::fromStdString(dir.file("c")));
    // Nothing is selected after it: a second Ctrl+D, or a held key, removes no other row.
    QVERIFY(table->selectionModel()->selectedRows().isEmpty());
    trigger(*m_session, "删除项目(&D)");
    QCOMPARE(table->rowCount(), 2);
}

void TrackCommandsTest::clearAllAsksOnlyWhenThereAreRows() {
    layouts::ListView* table = m_session->controls.tracks;
    trigger(*m_session, "全部清除(&C)");
    QVERIFY(m_script->messages.empty());
    tracks::append_row(table, {"/a"});
    tracks::append_row(table, {"/b"});
    m_script->answers = {primitives::kAnswerNo};
    trigger(*m_session, "全部清除(&C)");
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(m_script->messages.at(0).text, std::string("你真的要清除所有项目吗？"));
    QCOMPARE(m_script->messages.at(0).caption, std::string("Brimo提醒你"));
    QCOMPARE(m_script->messages.at(0).flags, 0x44);
    m_script->answers = {primitives::kAnswerYes};
    trigger(*m_session, "全部清除(&C)");
    QCOMPARE(table->rowCount(), 0);
}

void TrackCommandsTest::closingTheWindowDuringBatchAddEndsCleanly() {
    TempDir dir;
    write_mp3_names(dir, 20);
    m_script->folders = {dir.path()};
    int added_before_close = -1;
    QTimer::singleShot(0, [&] {
        added_before_close = m_session->controls.tracks->rowCount();
        m_session->window->close();
    });
    trigger(*m_session, "批量添加(&M)");
    QVERIFY(m_session->context.stop_request);
    QCOMPARE(m_session->controls.tracks->rowCount(), added_before_close);
    QVERIFY(added_before_close < 20);
}

void TrackCommandsTest::nestedBatchAddAndClearKeepTheListConsistent() {
    TempDir dir;
    write_mp3_names(dir, 5);
    layouts::ListView* table = m_session->controls.tracks;
    m_script->folders = {dir.path(), dir.path()};
    m_script->answers = {primitives::kAnswerYes};
    bool nested = false;
    QTimer::singleShot(0, [&] {
        nested = true;
        trigger(*m_session, "批量添加(&M)"); // runs all 5 inside the outer walk
        trigger(*m_session, "全部清除(&C)");
    });
    trigger(*m_session, "批量添加(&M)");
    QVERIFY(nested);
    // Everything the outer walk added after the clear is complete and in order.
    QVERIFY(table->rowCount() <= 5);
    for (int r = 0; r < table->rowCount(); ++r)
        QCOMPARE(tracks::cell_text(table, r, 1), QStringLiteral("1"));
}

void TrackCommandsTest::bitRateAndChannelAreWrittenToTheSettings() {
    const auto& c = m_session->controls;
    QTest::keyClick(c.tracks, Qt::Key_F4);
    QCOMPARE(c.bit_rate->currentText(), QStringLiteral("磁带品质(64Kbps)"));
    QCOMPARE(primitives::read_profile_value(m_script->settings_path(), "set", "kbps"), std::string("4"));
    QTest::keyClick(c.tracks, Qt::Key_F8);
    QCOMPARE(primitives::read_profile_value(m_script->settings_path(), "set", "sd"), std::string("2"));
    // A pick by the user writes; a selection set by the program does not.
    primitives::delete_file(m_script->settings_path());
    auto pick = [](QComboBox* box, int index) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    };
    pick(c.bit_rate, 5);
    QCOMPARE(m_script->settings(), std::string("[set]\nkbps=6\n"));
    c.bit_rate->setCurrentIndex(2);
    QCOMPARE(m_script->settings(), std::string("[set]\nkbps=6\n"));
    pick(c.bit_rate, 1);
    QCOMPARE(m_script->settings(), std::string("[set]\nkbps=2\n"));
    primitives::delete_file(m_script->settings_path());
    pick(c.bit_rate, 1);
    QCOMPARE(m_script->settings(), std::string("[set]\nkbps=2\n"));
    pick(c.channel, 0);
    QCOMPARE(primitives::read_profile_value(m_script->settings_path(), "set", "sd"), std::string("1"));
}

void TrackCommandsTest::choosingAFolderSetsTheBoxAndTheSettings() {
    const auto& c = m_session->controls;
    const QString start = c.folder->toPlainText();
    QTest::mouseClick(c.folder_button, Qt::LeftButton); // cancelled
    QCOMPARE(c.folder->toPlainText(), start);
    QVERIFY(!primitives::file_exists(m_script->settings_path()));
    m_script->folders = {"/tmp/音乐", "/"};
    QTest::mouseClick(c.folder_button, Qt::LeftButton);
    QCOMPARE(c.folder->toPlainText(), QStringLiteral("/tmp/音乐/"));
    QCOMPARE(primitives::read_profile_value(m_script->settings_path(), "set", "path"), std::string("/tmp/音乐/"));
    QTest::keyClick(c.tracks, Qt::Key_F10);
    QCOMPARE(c.folder->toPlainText(), QStringLiteral("/"));
    QCOMPARE(m_script->folder_titles, (std::vector<std::string>{"请选择保存目录", "请选择保存目录", "请选择保存目录"}));
}

QTEST_MAIN(TrackCommandsTest)
#include "TrackCommandsTest.moc"
