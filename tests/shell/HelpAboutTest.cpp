#include "AudioFixtures.h"
#include "GuiHarness.h"
#include "convert/ConversionRun.h"
#include "primitives/Files.h"
#include "shell/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QtTest>
#include <filesystem>
#include <regex>

class HelpAboutTest : public GuiSuite {
    Q_OBJECT
private slots:
    void helpOpensTheFileOrSaysWhyNot_data();
    void helpOpensTheFileOrSaysWhyNot();
    void escapeClosesTheAboutWindowAndNotTheMainOne();
    void aboutWindowIsFreshEachTimeAndClosedByItsButton();
    void quitEndsTheLoopWithoutAQuestion();
};

void HelpAboutTest::helpOpensTheFileOrSaysWhyNot_data() {
    QTest::addColumn<QString>("place"); // where the help file is put, beside the program
    QTest::addColumn<bool>("viewer");
    QTest::addColumn<QString>("message");
    QTest::addRow("missing") << QString() << true << QStringLiteral("未找到文件!");
    QTest::addRow("beside the program") << QStringLiteral("explain.chm") << true << QString();
    // Installed, the program is in bin/ and its help in share/tunvask/.
    QTest::addRow("installed") << QStringLiteral("../share/tunvask/explain.chm") << true << QString();
    QTest::addRow("no viewer") << QStringLiteral("explain.chm") << false
                               << QStringLiteral("无法打开帮助文件 explain.chm，请安装 CHM 阅读器（例如 xchm）。");
}

void HelpAboutTest::helpOpensTheFileOrSaysWhyNot() {
    QFETCH(QString, place);
    QFETCH(bool, viewer);
    QFETCH(QString, message);
    const std::string folder = primitives::program_folder();
    std::filesystem::remove(folder + "/explain.chm");
    const std::string help = place.isEmpty() ? std::string() : folder + "/" + place.toStdString();
    if (!help.empty()) {
        std::filesystem::create_directories(std::filesystem::path(help).parent_path());
        QVERIFY(primitives::write_file(help, primitives::Bytes{'x'}));
    }
    m_script->documents_open = viewer;
    trigger(*m_session, "说明(&P)");
    if (!help.empty()) std::filesystem::remove(help);
    std::filesystem::remove_all(folder + "/../share");
    if (message.isEmpty()) {
        QVERIFY(m_script->messages.empty());
        QCOMPARE(m_script->opened_documents, std::vector<std::string>{help});
        return;
    }
    QCOMPARE(m_script->messages.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(m_script->messages[0].text), message);
    QCOMPARE(m_script->messages[0].caption, std::string("错误"));
    QCOMPARE(m_script->messages[0].flags, 0);
    if (help.empty()) QVERIFY(m_script->opened_documents.empty());
}

namespace {

// Runs check on the About window once it is open; the window is modal, so
// the check has to come from the event loop that exec() runs. The check must close
// it; a failed one is closed here, so the test fails rather than waits for ever.
void when_about_opens(std::function<void(QDialog*)> check) {
    QTimer::singleShot(0, [check] {
        auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(about);
        check(about);
        const bool left_open = about->isVisible();
        if (left_open) about->reject();
        QVERIFY2(!left_open, "the About window was still open after the check");
    });
}

} // namespace

void HelpAboutTest::escapeClosesTheAboutWindowAndNotTheMainOne() {
    bool seen = false;
    when_about_opens([&](QDialog* about) {
        seen = true;
        QCOMPARE(about->windowTitle(), QStringLiteral("关于"));
        QVERIFY(!m_session->window->isEnabled() || QApplication::activeModalWidget() == about);
        auto* picture = about->findChild<QLabel*>(QStringLiteral("图片框1"));
        QCOMPARE(picture->pixmap().size(), QSize(400, 140));
        // The layout's numbers, written out: the client area and where the button and label sit in it.
        QCOMPARE(picture->parentWidget()->size(), QSize(400, 186));
        QCOMPARE(about->findChild<QPushButton*>(QStringLiteral("按钮1"))->geometry(), QRect(316, 150, 73, 26));
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("标签1"))->geometry(), QRect(12, 154, 290, 20));
        // Its outer size, 406 × 214, centred on the screen (no frame here: outer is inner).
        const QSize screen = about->screen()->size();
        QCOMPARE(about->pos(), QPoint((screen.width() - 406) / 2, (screen.height() - 214) / 2));
        // The name and the version the encoder carried with it reports: one version for both.
        const std::string version = run_program({TVENC_PATH, "--version"}).out;
        QVERIFY2(std::regex_match(version, std::regex("tvenc \\d+\\.\\d+\\.\\d+\n")), version.c_str());
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("标签1"))->text(),
                 QStringLiteral("Tunvask ") + QString::fromStdString(version.substr(6, version.size() - 7)));
        // The main window's keys are its own: F4 here picks no bit rate.
        QTest::keyClick(about, Qt::Key_F4);
        QCOMPARE(m_session->controls.bit_rate->currentIndex(), 0);
        QTest::keyClick(about, Qt::Key_Escape);
    });
    trigger(*m_session, "关于(&A)");
    QVERIFY(seen);
    QVERIFY(m_session->window->isVisible());
    QTest::keyClick(m_session->controls.tracks, Qt::Key_Escape);
    QVERIFY(m_session->window->isVisible());
}

void HelpAboutTest::aboutWindowIsFreshEachTimeAndClosedByItsButton() {
    QList<QPointer<QDialog>> windows;
    for (int i = 0; i < 2; ++i) {
        when_about_opens([&](QDialog* about) {
            windows << about;
            // A close box and no minimise button; where a window manager minimises it all
            // the same, activating the main window it blocks brings it back.
            QVERIFY(about->windowFlags().testFlag(Qt::WindowCloseButtonHint));
            QVERIFY(!about->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
            about->setWindowState(Qt::WindowMinimized);
            QEvent activate(QEvent::WindowActivate);
            QApplication::sendEvent(m_session->window.get(), &activate);
            QVERIFY(!about->isMinimized() && about->isVisible());
            QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("按钮1")), Qt::LeftButton);
        });
        trigger(*m_session, "关于(&A)");
        // Closing destroys the window: the next opening makes a new one.
        QVERIFY(windows.last().isNull());
    }
    QCOMPARE(windows.size(), 2);
    QVERIFY(!QApplication::activeModalWidget());
}

void HelpAboutTest::quitEndsTheLoopWithoutAQuestion() {
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(m_session->run.get(), &convert::ConversionRun::idle_after_close, qApp, &QApplication::quit,
                     Qt::QueuedConnection);
    QTimer::singleShot(0, [&] { trigger(*m_session, "退出(&Q)"); });
    QTimer watchdog;
    bool timed_out = false;
    watchdog.singleShot(5000, [&] {
        timed_out = true;
        QApplication::quit();
    });
    QApplication::exec();
    QVERIFY(!timed_out);
    QVERIFY(!m_session->window->isVisible());
    QVERIFY(m_session->context.stop_request);
    QVERIFY(m_script->messages.empty());
}

QTEST_MAIN(HelpAboutTest)
#include "HelpAboutTest.moc"
