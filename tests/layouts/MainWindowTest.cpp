#include "GuiHarness.h"
#include "TempDir.h"
#include "convert/ConversionRun.h"
#include "layouts/LayoutRecords.h"
#include "shell/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTextBlock>
#include <QtTest>

using namespace layouts;

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void controlsHaveTheirNamesPlacesAndStartStates();
    void comboBoxesStartOnTheFirstItemUnderAnEmptyField();
    void menusShowCaptionsAndKeys();
    void functionKeysReachTheirCommands();
    void f5SetsThirtyTwoKbpsAndStartsNoRun();
    void ctrlCInAComboFieldClearsAllAndCopiesNothing();
    void clicksIntoTheFolderBoxAreSwallowed();
    void nothingIsReadFromTheSettingsAtStart();
};

void MainWindowTest::controlsHaveTheirNamesPlacesAndStartStates() {
    DialogScript script;
    auto session = open_main_window();
    QVERIFY(session);
    QWidget* w = session->window.get();
    QCOMPARE(w->windowTitle(), QStringLiteral("Tunvask"));
    for (const ControlRecord& record : main_layout().controls) {
        const QString name = QString::fromUtf8(record.name.data(), static_cast<qsizetype>(record.name.size()));
        QObject* control = w->findChild<QObject*>(name);
        QVERIFY2(control, qPrintable(name));
        if (record.kind == ControlKind::FileDialog) continue;
        auto* widget = qobject_cast<QWidget*>(control);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), QRect(record.left, record.top, record.width, record.height));
        QCOMPARE(widget->isVisibleTo(w), record.visible);
    }
    const auto& c = session->controls;
    QCOMPARE(c.folder_button->parentWidget()->objectName(), QStringLiteral("分组框2"));
    QCOMPARE(qobject_cast<QGroupBox*>(c.folder_button->parentWidget())->title(), QStringLiteral("输出参数"));
    QCOMPARE(c.tracks->rowCount(), 0);
    QCOMPARE(c.tracks->columnCount(), 6);
    QCOMPARE(c.tracks->horizontalHeaderItem(4)->text(), QStringLiteral("专辑　"));
    QCOMPARE(c.tracks->columnWidth(0), 150);
    QCOMPARE(c.folder->toPlainText(), QString::fromUtf8(qgetenv("HOME")) + u'/');
    QVERIFY(c.folder->isReadOnly());
    QCOMPARE(c.progress->value(), 0);
    QCOMPARE(c.percent->text(), QString());
    QCOMPARE(c.folder_button->text(), QStringLiteral("输出路径"));
    QVERIFY(!w->findChild<QWidget*>(QStringLiteral("超级按钮_取消"))->isVisible());
    QVERIFY(session->window->centralWidget()->width() >= 509 && session->window->centralWidget()->height() >= 127);
}

void MainWindowTest::comboBoxesStartOnTheFirstItemUnderAnEmptyField() {
    DialogScript script;
    auto session = open_main_window();
    const auto& c = session->controls;
    QCOMPARE(c.bit_rate->currentText(), QString());
    QCOMPARE(c.bit_rate->currentIndex(), 0);
    QCOMPARE(c.bit_rate->currentData().toInt(), 128);
    QCOMPARE(c.bit_rate->count(), 6);
    QCOMPARE(c.bit_rate->itemText(5), QStringLiteral("电话品质(16Kbps)"));
    QCOMPARE(c.bit_rate->itemData(5).toInt(), 16);
    QCOMPARE(c.channel->currentText(), QString());
    QCOMPARE(c.channel->currentIndex(), 0);
    QCOMPARE(c.channel->itemText(1), QStringLiteral("单身道"));
    QVERIFY(c.bit_rate->isEditable());
}

void MainWindowTest::menusShowCaptionsAndKeys() {
    DialogScript script;
    auto session = open_main_window();
    QStringList bar;
    for (QAction* a : session->window->menuBar()->actions()) bar << a->text();
    QCOMPARE(bar, (QStringList{"文件(&F)", "选项(&E)", "转换(&V)", "帮助(&H)"}));
    const QList<QPair<QString, QString>> expected = {
        {"添加项目(&N)", "添加项目(&N)\tCtrl+N"},  {"全部清除(&C)", "全部清除(&C)\tCtrl+C"},
        {"退出(&Q)", "退出(&Q)"},                  {"CD品质(128Kbps)(&F1)", "CD品质(128Kbps)(&F1)\tF1"},
        {"单身道(&F8)", "单身道(&F8)\tF8"},        {"输出路径(&F10)", "输出路径(&F10)\tF10"},
        {"开始转换(&F5)", "开始转换(&F5)\tF5"},    {"关于(&A)", "关于(&A)"},
    };
    for (const auto& [name, text] : expected) {
        auto* action = session->window->findChild<QAction*>(name);
        QVERIFY2(action, qPrintable(name));
        QCOMPARE(action->text(), text);
        QVERIFY(action->shortcut().isEmpty());
    }
    auto* rates = session->window->findChild<QMenu*>(QStringLiteral("比特率(&W)"));
    QVERIFY(rates);
    QCOMPARE(rates->actions().size(), 6);
}

void MainWindowTest::functionKeysReachTheirCommands() {
    DialogScript script;
    auto session = open_main_window();
    const auto& c = session->controls;
    QWidget* focus = c.tracks;
    const int keys[] = {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F5, Qt::Key_F6};
    for (int i = 5; i >= 0; --i) {
        QTest::keyClick(focus, static_cast<Qt::Key>(keys[i]));
        QCOMPARE(c.bit_rate->currentIndex(), i);
    }
    QTest::keyClick(focus, Qt::Key_F8);
    QCOMPARE(c.channel->currentIndex(), 1);
    QCOMPARE(c.channel->currentText(), QStringLiteral("单身道"));
    QTest::keyClick(focus, Qt::Key_F7);
    QCOMPARE(c.channel->currentIndex(), 0);
    QTest::keyClick(focus, Qt::Key_F10);
    QCOMPARE(script.folder_titles, (std::vector<std::string>{"请选择保存目录"}));
    QTest::keyClick(focus, Qt::Key_M, Qt::ControlModifier);
    QCOMPARE(script.folder_titles.back(), std::string("请选择来源文件夹"));
    QTest::keyClick(focus, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(script.open_initials.size(), std::size_t{1});
}

void MainWindowTest::f5SetsThirtyTwoKbpsAndStartsNoRun() {
    DialogScript script;
    auto session = open_main_window();
    TempDir dir;
    session->controls.tracks->insertRow(0);
    session->controls.tracks->setItem(0, 0, new QTableWidgetItem(QString::fromStdString(dir.file("a.mp3"))));
    QTest::keyClick(session->controls.tracks, Qt::Key_F5);
    QCOMPARE(session->controls.bit_rate->currentText(), QStringLiteral("AM广播品质(32Kbps)"));
    QVERIFY(!session->run->active());
    QVERIFY(script.messages.empty());
}

void MainWindowTest::ctrlCInAComboFieldClearsAllAndCopiesNothing() {
    DialogScript script;
    auto session = open_main_window();
    const auto& c = session->controls;
    c.tracks->insertRow(0);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    QLineEdit* field = c.bit_rate->lineEdit();
    field->setText(QStringLiteral("typed"));
    field->selectAll();
    field->setFocus();
    script.answers.push_back(primitives::kAnswerYes);
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(script.messages.size(), std::size_t{1});
    QCOMPARE(script.messages[0].text, std::string("你真的要清除所有项目吗？"));
    QCOMPARE(c.tracks->rowCount(), 0);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
}

void MainWindowTest::clicksIntoTheFolderBoxAreSwallowed() {
    DialogScript script;
    auto session = open_main_window();
    QPlainTextEdit* box = session->controls.folder;
    QTextCursor start = box->textCursor();
    start.setPosition(0);
    box->setTextCursor(start);
    const QPoint end = box->cursorRect(QTextCursor(box->document()->lastBlock())).center() + QPoint(40, 0);
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, end);
    QCOMPARE(box->textCursor().position(), 0);
    QVERIFY(!box->hasFocus());
    QTest::mouseClick(box->viewport(), Qt::RightButton, {}, end);
    QVERIFY(!QApplication::activePopupWidget());
}

void MainWindowTest::nothingIsReadFromTheSettingsAtStart() {
    DialogScript script;
    {
        auto first = open_main_window();
        QTest::keyClick(first->controls.tracks, Qt::Key_F4);
        QTest::keyClick(first->controls.tracks, Qt::Key_F8);
    }
    QVERIFY(script.settings().find("kbps=4") != std::string::npos);
    auto second = open_main_window();
    QCOMPARE(second->controls.bit_rate->currentIndex(), 0);
    QCOMPARE(second->controls.bit_rate->currentText(), QString());
    QCOMPARE(second->controls.channel->currentIndex(), 0);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
