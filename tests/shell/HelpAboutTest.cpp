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
#include <QtTest>
#include <filesystem>
#include <regex>

class HelpAboutTest : public GuiSuite {
    Q_OBJECT
private slots:
    void helpReportsAMissingFile();
    void helpOpensTheFileBesideTheProgram();
    void helpSaysWhenNoViewerCanOpenIt();
    void helpIsFoundInTheInstalledDataFolder();
    void escapeClosesTheAboutWindowAndNotTheMainOne();
    void aboutWindowIsFreshEachTimeAndClosedByItsButton();
    void quitEndsTheLoopWithoutAQuestion();
};

void HelpAboutTest::helpReportsAMissingFile() {
    primitives::delete_file(primitives::program_folder() + "/explain.chm");
    trigger(*m_session, "说明(&P)");
    QCOMPARE(m_script->messages.size(), std::size_t{1});
    QCOMPARE(m_script->messages[0].text, std::string("未找到文件!"));
    QCOMPARE(m_script->messages[0].caption, std::string("错误"));
    QCOMPARE(m_script->messages[0].flags, 0);
    QVERIFY(m_script->opened_documents.empty());
}

void HelpAboutTest::helpOpensTheFileBesideTheProgram() {
    const std::string help = primitives::program_folder() + "/explain.chm";
    QVERIFY(primitives::write_file(help, primitives::Bytes{'x'}));
    trigger(*m_session, "说明(&P)");
    primitives::delete_file(help);
    QVERIFY(m_script->messages.empty());
    QCOMPARE(m_script->opened_documents, std::vector<std::string>{help});
}

void HelpAboutTest::helpSaysWhenNoViewerCanOpenIt() {
    m_script->documents_open = false;
    const std::string help = primitives::program_folder() + "/explain.chm";
    QVERIFY(primitives::write_file(help, primitives::Bytes{'x'}));
    trigger(*m_session, "说明(&P)");
    primitives::delete_file(help);
    QCOMPARE(m_script->messages.size(), std::size_t{1});
    QCOMPARE(m_script->messages[0].text, std::string("无法打开帮助文件 explain.chm，请安装 CHM 阅读器（例如 xchm）。"));
    QCOMPARE(m_script->messages[0].caption, std::string("错误"));
    QCOMPARE(m_script->messages[0].flags, 0);
}

void HelpAboutTest::helpIsFoundInTheInstalledDataFolder() {
    // Installed, the program is in bin/ and its help in share/tunvask/.
    const std::string folder = primitives::program_folder() + "/../share/tunvask";
    std::filesystem::create_directories(folder);
    QVERIFY(primitives::write_file(folder + "/explain.chm", primitives::Bytes{'x'}));
    trigger(*m_session, "说明(&P)");
    std::filesystem::remove_all(primitives::program_folder() + "/../share");
    QVERIFY(m_script->messages.empty());
    QCOMPARE(m_script->opened_documents, std::vector<std::string>{folder + "/explain.chm"});
}

namespace {

// Runs check on the About window once it is open; the window is modal, so
// the check has to come from the event loop that exec() runs.
void when_about_opens(std::function<void(QDialog*)> check) {
    QTimer::singleShot(0, [check] {
        auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(about);
        check(about);
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
        // The name and the version the encoder carried with it reports: one version for both.
        const std::string version = run_program({TVENC_PATH, "--version"}).out;
        QVERIFY2(std::regex_match(version, std::regex("tvenc \\d+\\.\\d+\\.\\d+\n")), version.c_str());
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("标签1"))->text(),
                 QStringLiteral("Tunvask ") + QString::fromStdString(version.substr(6, version.size() - 7)));
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
