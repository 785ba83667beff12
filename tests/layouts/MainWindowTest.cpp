#include "shell/MainWindow.h"
#include "GuiHarness.h"
#include "TempDir.h"
#include "convert/ConversionRun.h"
#include "layouts/LayoutRecords.h"
#include "primitives/Files.h"
#include "shell/Session.h"
#include "shell/Wiring.h"
#include "tracks/TrackRows.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextBlock>
#include <QtTest>

using namespace layouts;

class MainWindowTest : public GuiSuite {
    Q_OBJECT
private slots:
    void controlsHaveTheirNamesPlacesAndStartStates();
    void comboBoxesStartOnTheFirstItemUnderAnEmptyField();
    void menusShowCaptionsAndKeys();
    void functionKeysReachTheirCommands();
    void ctrlCInAComboFieldClearsAllAndCopiesNothing();
    void clicksIntoTheFolderBoxAreSwallowed();
    void nothingIsReadFromTheSettingsAtStart();
    void typingInAComboFieldSelectsAndWritesNothing();
    void keysMatchOnlyWithExactlyTheTablesModifiers();
    void tabLeavesTheListForTheNextControl();
    void theListSelectsOneRowAtATime();
    void progressBarIsDrawnInBlocks();
    void functionKeysWorkWithAListOpen();
    void captionsAreDrawnAsTheClassicControlsDrawThem();
    void selectionShowsOnlyWhileTheControlHasTheFocus();
    void convertedRowsShowNoImage();
    void messageBoxesAreWideEnoughForTheirCaption();
    void wiringFollowsCommandsNotCaptions();
};

void MainWindowTest::controlsHaveTheirNamesPlacesAndStartStates() {
    QVERIFY(m_session);
    QWidget* w = m_session->window.get();
    QCOMPARE(w->windowTitle(), QStringLiteral("Tunvask"));
    // The layout's numbers, written out here so that a wrong number in the table fails.
    const struct {
        const char* name;
        QRect place;
        bool visible;
    } expected[] = {
        {"进度条1", {48, 109, 459, 16}, true},   {"超级按钮_取消", {381, 156, 56, 16}, false},
        {"标签1", {3, 109, 39, 16}, true},       {"分组框2", {316, 2, 193, 107}, true},
        {"按钮1", {4, 70, 32, 32}, true},        {"组合框2", {3, 44, 186, 20}, true},
        {"组合框1", {4, 15, 185, 20}, true},     {"编辑框1", {42, 69, 145, 30}, true},
        {"超级列表框1", {1, 1, 311, 106}, true},
    };
    for (const auto& control : expected) {
        auto* widget = w->findChild<QWidget*>(QString::fromUtf8(control.name));
        QVERIFY2(widget, control.name);
        QCOMPARE(widget->geometry(), control.place);
        QCOMPARE(widget->isVisibleTo(w), control.visible);
    }
    QVERIFY(w->findChild<QObject*>(QStringLiteral("通用对话框1")));
    const auto& c = m_session->controls;
    // What a screen reader announces: each box its own name, not its group's caption.
    const std::pair<QWidget*, QString> spoken[] = {
        {c.bit_rate, QStringLiteral("比特率")},       {c.channel, QStringLiteral("声道")},
        {c.folder, QStringLiteral("输出文件夹")},     {c.tracks, QStringLiteral("文件列表")},
        {c.progress, QStringLiteral("转换进度")},     {c.percent, QStringLiteral("完成百分比")},
        {c.folder_button, QStringLiteral("输出路径")}};
    for (const auto& [widget, name] : spoken)
        QCOMPARE(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name), name);
    // The boxes keep their names after a pick and after typing; what they show is their
    // value, nothing before the first pick.
    QCOMPARE(QAccessible::queryAccessibleInterface(c.bit_rate)->text(QAccessible::Value), QString());
    trigger(*m_session, "磁带品质(64Kbps)(&F4)");
    c.channel->setEditText(QStringLiteral("随便"));
    QAccessibleInterface* bit_rate = QAccessible::queryAccessibleInterface(c.bit_rate);
    QAccessibleInterface* channel = QAccessible::queryAccessibleInterface(c.channel);
    QCOMPARE(bit_rate->text(QAccessible::Name), QStringLiteral("比特率"));
    QCOMPARE(bit_rate->text(QAccessible::Value), QStringLiteral("磁带品质(64Kbps)"));
    QCOMPARE(channel->text(QAccessible::Name), QStringLiteral("声道"));
    QCOMPARE(channel->text(QAccessible::Value), QStringLiteral("随便"));
    QCOMPARE(bit_rate->role(), QAccessible::ComboBox);
    QCOMPARE(bit_rate->childCount(), 2);
    QCOMPARE(bit_rate->indexOfChild(bit_rate->child(0)), 0);
    QCOMPARE(c.folder_button->parentWidget()->objectName(), QStringLiteral("分组框2"));
    QCOMPARE(qobject_cast<QGroupBox*>(c.folder_button->parentWidget())->title(), QStringLiteral("输出参数"));
    QCOMPARE(c.tracks->rowCount(), 0);
    const std::pair<const char*, int> columns[] = {{"文件名", 150}, {"大小", 80},    {"压缩率", 80},
                                                   {"标题", 100},   {"专辑　", 100}, {"艺术家", 50}};
    QCOMPARE(c.tracks->model()->columnCount(), 6);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(c.tracks->model()->headerData(i, Qt::Horizontal).toString(), QString::fromUtf8(columns[i].first));
        const auto alignment =
            c.tracks->model()->headerData(i, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>();
        QCOMPARE(alignment & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        QCOMPARE(c.tracks->columnWidth(i), columns[i].second);
    }
    QCOMPARE(c.folder->toPlainText(), QString::fromUtf8(qgetenv("HOME")) + u'/');
    QVERIFY(c.folder->isReadOnly());
    QCOMPARE(c.progress->value(), 0);
    QCOMPARE(c.percent->text(), QString());
    QCOMPARE(c.folder_button->text(), QStringLiteral("输出路径"));
    QVERIFY(!w->findChild<QWidget*>(QStringLiteral("超级按钮_取消"))->isVisible());
    QVERIFY(m_session->window->centralWidget()->width() >= 509 && m_session->window->centralWidget()->height() >= 127);
}

void MainWindowTest::comboBoxesStartOnTheFirstItemUnderAnEmptyField() {
    const auto& c = m_session->controls;
    QCOMPARE(c.bit_rate->currentText(), QString());
    QCOMPARE(c.bit_rate->currentIndex(), 0);
    QCOMPARE(c.bit_rate->currentData().toInt(), 128);
    const std::pair<const char*, int> rates[] = {{"CD品质(128Kbps)", 128},   {"次CD品质(112Kbps)", 112},
                                                 {"FM广播品质(96Kbps)", 96}, {"磁带品质(64Kbps)", 64},
                                                 {"AM广播品质(32Kbps)", 32}, {"电话品质(16Kbps)", 16}};
    QCOMPARE(c.bit_rate->count(), 6);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(c.bit_rate->itemText(i), QString::fromUtf8(rates[i].first));
        QCOMPARE(c.bit_rate->itemData(i).toInt(), rates[i].second);
    }
    QCOMPARE(c.channel->currentText(), QString());
    QCOMPARE(c.channel->currentIndex(), 0);
    QCOMPARE(c.channel->count(), 2);
    QCOMPARE(c.channel->itemText(0), QStringLiteral("立体声"));
    QCOMPARE(c.channel->itemText(1), QStringLiteral("单身道"));
    QVERIFY(c.bit_rate->isEditable());
}

namespace {

// Every entry of a menu tree in order, indented by its depth: caption with its
// mnemonic, then the key text shown beside it; "-" for a separator.
void list_menu(const QList<QAction*>& actions, int depth, QStringList& out) {
    for (QAction* action : actions) {
        out << QString(depth * 2, u' ') + (action->isSeparator() ? QStringLiteral("-") : action->text());
        if (action->menu()) list_menu(action->menu()->actions(), depth + 1, out);
    }
}

} // namespace

// The whole menu tree, written out here: every caption, mnemonic and key text. The
// keys are handled by the program's own key table, so no action carries a shortcut.
void MainWindowTest::menusShowCaptionsAndKeys() {
    QStringList tree;
    list_menu(m_session->window->menuBar()->actions(), 0, tree);
    const QStringList expected = {
        "文件(&F)",
        "  添加项目(&N)\tCtrl+N",
        "  批量添加(&M)\tCtrl+M",
        "  删除项目(&D)\tCtrl+D",
        "  全部清除(&C)\tCtrl+C",
        "  -",
        "  退出(&Q)",
        "选项(&E)",
        "  比特率(&W)",
        "    CD品质(128Kbps)(&F1)\tF1",
        "    次CD品质(112Kbps)(&F2)\tF2",
        "    FM广播品质(96Kbps)(&F3)\tF3",
        "    磁带品质(64Kbps)(&F4)\tF4",
        "    AM广播品质(32Kbps)(&F5)\tF5",
        "    电话品质(16Kbps)(&F6)\tF6",
        "  声道(&R)",
        "    立体声(&F7)\tF7",
        "    单身道(&F8)\tF8",
        "  输出路径(&F10)\tF10",
        "转换(&V)",
        "  开始转换(&F5)\tF5",
        "帮助(&H)",
        "  说明(&P)",
        "  关于(&A)",
    };
    QCOMPARE(tree, expected);
    for (QAction* action : m_session->window->findChildren<QAction*>())
        QVERIFY2(action->shortcut().isEmpty(), qPrintable(action->text()));
}

void MainWindowTest::functionKeysReachTheirCommands() {
    const auto& c = m_session->controls;
    QWidget* focus = c.tracks;
    // F5 is both 32 kbps and 开始转换: the bit rate wins, and no run starts with rows queued.
    TempDir dir;
    tracks::append_row(c.tracks, {dir.file("a.mp3")});
    const int keys[] = {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F5, Qt::Key_F6};
    for (int i = 5; i >= 0; --i) {
        QTest::keyClick(focus, static_cast<Qt::Key>(keys[i]));
        QCOMPARE(c.bit_rate->currentIndex(), i);
    }
    QVERIFY(!m_session->run->active());
    QVERIFY(m_script->messages.empty());
    QTest::keyClick(focus, Qt::Key_F8);
    QCOMPARE(c.channel->currentIndex(), 1);
    QCOMPARE(c.channel->currentText(), QStringLiteral("单身道"));
    QTest::keyClick(focus, Qt::Key_F7);
    QCOMPARE(c.channel->currentIndex(), 0);
    QTest::keyClick(focus, Qt::Key_F10);
    QCOMPARE(m_script->folder_titles, (std::vector<std::string>{"请选择保存目录"}));
    QTest::keyClick(focus, Qt::Key_M, Qt::ControlModifier);
    QCOMPARE(m_script->folder_titles.back(), std::string("请选择来源文件夹"));
    QTest::keyClick(focus, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(m_script->open_initials.size(), std::size_t{1});
}

void MainWindowTest::ctrlCInAComboFieldClearsAllAndCopiesNothing() {
    const auto& c = m_session->controls;
    tracks::append_row(c.tracks, {"/x/a.mp3"});
    QApplication::clipboard()->setText(QStringLiteral("before"));
    QLineEdit* field = c.bit_rate->lineEdit();
    field->setText(QStringLiteral("typed"));
    field->selectAll();
    field->setFocus();
    m_script->answers.push_back(primitives::kAnswerYes);
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(m_script->messages.size(), std::size_t{1});
    QCOMPARE(m_script->messages[0].text, std::string("你真的要清除所有项目吗？"));
    QCOMPARE(c.tracks->rowCount(), 0);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
}

void MainWindowTest::clicksIntoTheFolderBoxAreSwallowed() {
    QPlainTextEdit* box = m_session->controls.folder;
    QTextCursor start = box->textCursor();
    start.setPosition(0);
    box->setTextCursor(start);
    const QPoint end = box->cursorRect(QTextCursor(box->document()->lastBlock())).center() + QPoint(40, 0);
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, end);
    QCOMPARE(box->textCursor().position(), 0);
    QVERIFY(!box->hasFocus());
    // A right click asks for the context menu, which would open its own loop: a popup
    // that opens is closed from there and counted.
    bool popped_up = false;
    QTimer::singleShot(0, box, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) popped_up = popup->close();
    });
    QContextMenuEvent right_click(QContextMenuEvent::Mouse, end, box->viewport()->mapToGlobal(end));
    QApplication::sendEvent(box->viewport(), &right_click);
    QCoreApplication::processEvents(); // the check runs here if no loop of a popup ran it
    QVERIFY(!popped_up);
}

void MainWindowTest::nothingIsReadFromTheSettingsAtStart() {
    {
        auto first = open_main_window();
        QTest::keyClick(first->controls.tracks, Qt::Key_F4);
        QTest::keyClick(first->controls.tracks, Qt::Key_F8);
    }
    QVERIFY(m_script->settings().find("kbps=4") != std::string::npos);
    auto second = open_main_window();
    QCOMPARE(second->controls.bit_rate->currentIndex(), 0);
    QCOMPARE(second->controls.bit_rate->currentText(), QString());
    QCOMPARE(second->controls.channel->currentIndex(), 0);
}

void MainWindowTest::typingInAComboFieldSelectsAndWritesNothing() {
    for (QComboBox* box : {m_session->controls.bit_rate.data(), m_session->controls.channel.data()}) {
        QVERIFY(!box->completer());
        QLineEdit* field = box->lineEdit();
        field->setFocus();
        for (const QString& typed : {QStringLiteral("c"), box->itemText(1)}) {
            field->clear();
            if (typed == QStringLiteral("c"))
                QTest::keyClicks(field, typed);
            else
                field->insert(typed); // as an input method delivers Chinese text
            QTest::keyClick(field, Qt::Key_Return);
            m_session->controls.tracks->setFocus(); // leaving the field
            field->setFocus();
            QCOMPARE(box->currentIndex(), 0);
            QCOMPARE(field->text(), typed);
        }
    }
    QVERIFY(!primitives::file_exists(m_script->settings_path()));
}

void MainWindowTest::keysMatchOnlyWithExactlyTheTablesModifiers() {
    const auto& c = m_session->controls;
    tracks::append_row(c.tracks, {"/x/a.mp3"});
    c.tracks->selectRow(0);
    QTest::keyClick(c.tracks, Qt::Key_F6, Qt::AltModifier);
    QTest::keyClick(c.tracks, Qt::Key_F6, Qt::MetaModifier);
    QCOMPARE(c.bit_rate->currentIndex(), 0);
    QTest::keyClick(c.tracks, Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(c.tracks->rowCount(), 1);
    QTest::keyClick(c.tracks, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(c.tracks->rowCount(), 0);
    QTest::keyClick(c.tracks, Qt::Key_F6, Qt::KeypadModifier);
    QCOMPARE(c.bit_rate->currentIndex(), 5);
}

void MainWindowTest::tabLeavesTheListForTheNextControl() {
    layouts::ListView* table = m_session->controls.tracks;
    for (int row = 0; row < 3; ++row)
        tracks::append_row(table, {"x", "x", "x", "x", "x"});
    QApplication::setActiveWindow(m_session->window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_session->window.get()));
    table->setFocus();
    table->setCurrentIndex(table->model()->index(0, 0));
    QTest::keyClick(table, Qt::Key_Tab);
    QVERIFY(!table->hasFocus());
    QCOMPARE(m_session->window->focusWidget(), m_session->controls.folder_button.data());
}

// Delete item removes "the selected row": there is never more than one.
void MainWindowTest::theListSelectsOneRowAtATime() {
    layouts::ListView* table = m_session->controls.tracks;
    for (const char* name : {"/a.mp3", "/b.mp3", "/c.mp3"})
        tracks::append_row(table, {name});
    const auto click = [&](int row, Qt::KeyboardModifiers keys) {
        const QRect cell = table->visualRect(table->model()->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, keys, cell.center());
    };
    click(0, Qt::NoModifier);
    click(2, Qt::ControlModifier);
    QCOMPARE(table->selectionModel()->selectedRows().size(), 1);
    click(0, Qt::ShiftModifier);
    QCOMPARE(table->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(table->selectionModel()->selectedRows().constFirst().row(), 0);
    // A cell is never edited in place, by a double click or by typing.
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(0, 0)).center());
    QTest::keyClick(table, Qt::Key_X);
    QVERIFY(!table->viewport()->findChild<QLineEdit*>());
}

void MainWindowTest::progressBarIsDrawnInBlocks() {
    QProgressBar* bar = m_session->controls.progress;
    const QColor fill = bar->palette().color(QPalette::Highlight);
    for (int value : {0, 50, 100}) {
        bar->setValue(value);
        const QImage image = bar->grab().toImage();
        int runs = 0, last = -1;
        bool inside = false;
        for (int x = 0; x < image.width(); ++x) {
            const bool block = image.pixelColor(x, image.height() / 2) == fill;
            runs += block && !inside;
            last = block ? x : last;
            inside = block;
        }
        QVERIFY2(value == 0 ? runs == 0 : runs >= 10,
                 qPrintable(QStringLiteral("%1 blocks at %2").arg(runs).arg(value)));
        // Filled up to the value's share of the bar, give or take a block.
        QVERIFY(value == 0 || std::abs(last + 1 - image.width() * value / 100) <= image.width() / 20);
        // Even full, no block is drawn over the frame around it.
        for (int x = 0; x < image.width(); ++x)
            QVERIFY(image.pixelColor(x, 0) != fill && image.pixelColor(x, image.height() - 1) != fill);
        for (int y = 0; y < image.height(); ++y)
            QVERIFY(image.pixelColor(0, y) != fill && image.pixelColor(image.width() - 1, y) != fill);
    }
}

// With a list dropped down (a window of its own), the function keys still pick, and the
// list closes.
void MainWindowTest::functionKeysWorkWithAListOpen() {
    const auto& c = m_session->controls;
    m_session->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_session->window.get()));
    c.bit_rate->showPopup();
    QTRY_VERIFY(c.bit_rate->view()->isVisible());
    QTest::keyClick(c.bit_rate->view(), Qt::Key_F4);
    QCOMPARE(c.bit_rate->currentIndex(), 3);
    QTRY_VERIFY(!c.bit_rate->view()->isVisible());
    c.channel->showPopup();
    QTRY_VERIFY(c.channel->view()->isVisible());
    QTest::keyClick(c.channel->view(), Qt::Key_F8);
    QCOMPARE(c.channel->currentIndex(), 1);
    QTRY_VERIFY(!c.channel->view()->isVisible());
}

namespace {

// The rectangle of what a widget draws nearer its text colour than its background's,
// the frame left out.
QRect ink(QWidget* widget, QPalette::ColorRole text, QPalette::ColorRole background) {
    const QImage image = widget->grab().toImage();
    const int ink_grey = qGray(widget->palette().color(text).rgb());
    const int paper_grey = qGray(widget->palette().color(background).rgb());
    QRect box;
    for (int y = 3; y < image.height() - 3; ++y)
        for (int x = 3; x < image.width() - 3; ++x) {
            const int grey = qGray(image.pixel(x, y));
            if (std::abs(grey - ink_grey) < std::abs(grey - paper_grey)) box |= QRect(x, y, 1, 1);
        }
    return box;
}

} // namespace

// The percentage stands in the middle of its label; 输出路径 wraps onto two lines of its
// small square button rather than being cut.
void MainWindowTest::captionsAreDrawnAsTheClassicControlsDrawThem() {
    const auto& c = m_session->controls;
    c.percent->setText(QStringLiteral("0%"));
    const QRect percent = ink(c.percent, QPalette::WindowText, QPalette::Window);
    QVERIFY(percent.isValid());
    QVERIFY2(
        std::abs(percent.left() - (c.percent->width() - 1 - percent.right())) <= 4,
        qPrintable(QStringLiteral("%1..%2 of %3").arg(percent.left()).arg(percent.right()).arg(c.percent->width())));
    const QRect caption = ink(c.folder_button, QPalette::ButtonText, QPalette::Button);
    QVERIFY2(caption.height() > c.folder_button->fontMetrics().height(), qPrintable(QString::number(caption.height())));
}

void MainWindowTest::selectionShowsOnlyWhileTheControlHasTheFocus() {
    layouts::ListView* table = m_session->controls.tracks;
    tracks::append_row(table, {"/x/a.mp3"});
    table->selectRow(0);
    const auto colour_of_row = [&] {
        const QRect cell = table->visualRect(table->model()->index(0, tracks::RatioColumn));
        return table->viewport()->grab().toImage().pixelColor(cell.center());
    };
    QApplication::setActiveWindow(m_session->window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_session->window.get()));
    table->setFocus();
    QCOMPARE(colour_of_row(), table->palette().color(QPalette::Active, QPalette::Highlight));
    m_session->controls.folder_button->setFocus();
    QVERIFY(!table->hasFocus());
    QCOMPARE(colour_of_row(), table->palette().color(QPalette::Active, QPalette::Base));
    QPlainTextEdit* box = m_session->controls.folder;
    QCOMPARE(box->palette().color(QPalette::Active, QPalette::Highlight),
             box->palette().color(QPalette::Active, QPalette::Base));
}

void MainWindowTest::convertedRowsShowNoImage() {
    layouts::ListView* table = m_session->controls.tracks;
    tracks::append_row(table, {"/x/a.mp3"});
    tracks::set_row_icon(table, 0, tracks::kIconConverted);
    QCOMPARE(tracks::row_icon(table, 0), tracks::kIconConverted);
    QVERIFY(!table->model()->index(0, 0).data(Qt::DecorationRole).isValid());
}

void MainWindowTest::messageBoxesAreWideEnoughForTheirCaption() {
    QMessageBox box;
    primitives::configure_message_box(box, "未找到文件!", primitives::kMessageOk, "错误");
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QVERIFY2(box.width() >= box.fontMetrics().horizontalAdvance(QStringLiteral("错误")) + 100,
             qPrintable(QString::number(box.width())));
}

void MainWindowTest::wiringFollowsCommandsNotCaptions() {
    QVERIFY(shell::wiring_problems(*m_session).isEmpty());
    // A caption spelt otherwise changes nothing: the item keeps its command.
    auto* item = m_session->window->findChild<QAction*>(QStringLiteral("磁带品质(64Kbps)(&F4)"));
    item->setText(QStringLiteral("another caption"));
    item->setObjectName(QStringLiteral("another caption"));
    item->trigger();
    QCOMPARE(m_session->controls.bit_rate->currentIndex(), 3);
    // An item whose command nothing runs is reported.
    auto* stray = m_session->window->menuBar()->addAction(QStringLiteral("stray"));
    stray->setData(999);
    QCOMPARE(shell::wiring_problems(*m_session).size(), 1);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
