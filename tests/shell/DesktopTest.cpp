#include "AudioFixtures.h"
#include "GuiHarness.h"
#include "ScopedEnvironment.h"
#include "TempDir.h"
#include "primitives/Dialogs.h"
#include "primitives/Gbk.h"
#include "shell/Startup.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTranslator>
#include <QtTest>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace {

bool have(const char* program) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}

// "&#35828;" and its kind back to the characters they stand for.
QString decode_references(const QString& html) {
    QString text = html;
    static const QRegularExpression reference(QStringLiteral("&#(\\d+);"));
    for (auto match = reference.match(text); match.hasMatch(); match = reference.match(text)) {
        const char32_t code = match.captured(1).toUInt();
        text.replace(match.capturedStart(), match.capturedLength(), QString::fromUcs4(&code, 1));
    }
    return text;
}

QString from_gbk(const std::string& bytes) {
    const std::string utf8 = primitives::gbk_to_utf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void helpFileReadsAsChineseInEveryViewer();
    void theApplicationSpeaksChineseAndCarriesItsIcon();
    void folderBrowsersStartAtTheDesktop();
    void qtsOwnDialogHistoryStaysOutOfTheUsersSettings();
    void aGbkNamedFileChosenInTheDialogKeepsItsBytes();
    void desktopEntryAndMetainfoValidate();
    void withoutADisplayTheProgramSaysSoAndEnds_data();
    void withoutADisplayTheProgramSaysSoAndEnds();
};

void DesktopTest::helpFileReadsAsChineseInEveryViewer() {
#ifndef TUNVASK_HELP_BUILT
    QSKIP("built without the help file (-DTUNVASK_HELP=OFF)");
#endif
    if (!have("extract_chmLib")) QSKIP("extract_chmLib (libchm-bin) not installed");
    TempDir dir;
    const std::string command = "extract_chmLib '" HELP_FILE_PATH "' '" + dir.file("chm") + "' >/dev/null";
    QCOMPARE(std::system(command.c_str()), 0);
    const std::string page = read_whole(dir.file("chm/index.html"));
    // The page is ASCII: whatever code page a viewer assumes, it reads the same.
    QVERIFY(std::all_of(page.begin(), page.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    QVERIFY(page.find("charset=gb2312") != std::string::npos);
    const QString marked = decode_references(QString::fromLatin1(page));
    // xchm breaks lines only at spaces: no line of the body is wider than its window at its
    // default size (48 half-width columns, a Chinese character taking two), and every break
    // the page makes is where Chinese typesetting allows one: no line starts with closing
    // punctuation or ends with opening punctuation, none splits a Latin word or number.
    const QString body = marked.section(QStringLiteral("<body>"), 1);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>|\\n"));
    const QStringList broken = body.split(QStringLiteral("<br>"));
    for (qsizetype k = 0; k + 1 < broken.size(); ++k) {
        const QString before = QString(broken[k]).remove(tags), after = QString(broken[k + 1]).remove(tags).trimmed();
        if (before.isEmpty() || after.isEmpty()) continue;
        const QChar last = before.back(), next = after.front();
        const QString pair = QString(last) + u'|' + next;
        QVERIFY2(!QStringLiteral("，。、：；！？）」』”%,.;:!?)").contains(next), qPrintable(pair));
        QVERIFY2(!QStringLiteral("（「『“(").contains(last), qPrintable(pair));
        QVERIFY2(
            !(last.isLetterOrNumber() && last.unicode() < 0x80 && next.isLetterOrNumber() && next.unicode() < 0x80),
            qPrintable(pair));
    }
    QVERIFY(broken.size() > 50);
    static const QRegularExpression line_end(QStringLiteral("<br>|<(/?)(p|li|h\\d|td|th|tr|ol|ul|table)[^>]*>"));
    for (const QString& line : body.split(line_end)) {
        int columns = 0;
        for (const QChar c : QString(line).remove(QRegularExpression(QStringLiteral("<[^>]*>"))).simplified())
            columns += c.unicode() < 0x1100 ? 1 : 2;
        QVERIFY2(columns <= 48, qPrintable(line));
    }
    const QString text = QString(marked).remove(QStringLiteral("<br>")).remove(u'\n');
    for (const char* phrase :
         {"Tunvask 说明", "添加项目", "批量添加",     "删除项目", "全部清除",   "退出",        "比特率",
          "声道",         "输出路径", "开始转换",     "说明",     "关于",       "Ctrl+N",      "F1 至 F6",
          "F5 键已用于",  "Alt+V",    "与源文件相同", "失败",     "01 (2).mp3", "tunvask.ini", "旧文件保持原样"})
        QVERIFY2(text.contains(QString::fromUtf8(phrase)), phrase);
    // The contents and the title are GBK, as the language code 0x804 says.
    QVERIFY(from_gbk(read_whole(dir.file("chm/toc.hhc"))).contains(QStringLiteral("Tunvask 说明")));
    QVERIFY(from_gbk(read_whole(dir.file("chm/#SYSTEM"))).contains(QStringLiteral("Tunvask 说明")));
}

void DesktopTest::theApplicationSpeaksChineseAndCarriesItsIcon() {
    QVERIFY2(shell::install_qt_translation(*qApp), "qtbase_zh_CN.qm (qt6-translations-l10n) not found");
    for (QTranslator* installed : qApp->findChildren<QTranslator*>())
        QCoreApplication::removeTranslator(installed);
    shell::set_up_application(*qApp);
    QVERIFY(!QApplication::windowIcon().isNull());
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    QVERIFY(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("是")));
    QVERIFY(box.button(QMessageBox::No)->text().contains(QStringLiteral("否")));
    QVERIFY(QCoreApplication::translate("QFileDialog", "&Choose").contains(QStringLiteral("选择")));
    QVERIFY(QCoreApplication::translate("QFileDialog", "Look in:").contains(QStringLiteral("查找范围")));
}

// The file dialog writes its history when it goes; none of it reaches the user's
// configuration folder, from which the next start would read it back.
void DesktopTest::qtsOwnDialogHistoryStaysOutOfTheUsersSettings() {
    TempDir config, throwaway, visited;
    const ScopedEnvironment environment({{"XDG_CONFIG_HOME", config.path()}});
    shell::keep_qt_settings_in(QString::fromStdString(throwaway.path()));
    {
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setDirectory(QString::fromStdString(visited.path()));
        dialog.setHistory({QString::fromStdString(visited.path())});
    }
    QVERIFY(std::filesystem::is_empty(config.path()));
    QVERIFY(!std::filesystem::is_empty(throwaway.path()));
}

void DesktopTest::folderBrowsersStartAtTheDesktop() {
    TempDir home;
    const QByteArray saved = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(primitives::folder_dialog_start(), home.path());
    std::filesystem::create_directory(home.file("Desktop"));
    QCOMPARE(primitives::folder_dialog_start(), home.file("Desktop"));
    qputenv("HOME", saved);
}

void DesktopTest::aGbkNamedFileChosenInTheDialogKeepsItsBytes() {
    TempDir dir;
    const std::string gbk = dir.write("\xD4\xC2\xC1\xC1.mp3", "x"); // 月亮.mp3 in GBK
    // What Qt's dialog hands back for it: the bytes shown as replacement characters.
    const std::string shown = QString::fromUtf8(QByteArray::fromStdString(gbk)).toStdString();
    QVERIFY(shown != gbk);
    QCOMPARE(primitives::file_shown_as(shown), gbk);
    const std::string plain = dir.write("plain.mp3", "x");
    QCOMPARE(primitives::file_shown_as(plain), plain);
    QCOMPARE(primitives::file_shown_as(dir.file("missing.mp3")), dir.file("missing.mp3"));
}

void DesktopTest::desktopEntryAndMetainfoValidate() {
    if (!have("desktop-file-validate") || !have("appstreamcli"))
        QSKIP("desktop-file-validate (desktop-file-utils) or appstreamcli (appstream) not installed");
    QCOMPARE(std::system("desktop-file-validate '" TUNVASK_SOURCE_DIR "/data/tunvask.desktop'"), 0);
    QCOMPARE(std::system("appstreamcli validate --no-net '" METAINFO_PATH "' >/dev/null"), 0);
}

// Sessions that name a display nobody serves (sudo, ssh, a stale session) as well as
// none at all: our own line and status, never the toolkit's English abort.
void DesktopTest::withoutADisplayTheProgramSaysSoAndEnds_data() {
    QTest::addColumn<QStringList>("settings");
    QTest::newRow("none") << QStringList{};
    QTest::newRow("X display gone") << QStringList{QStringLiteral("DISPLAY=:731")};
    QTest::newRow("Wayland display gone") << QStringList{QStringLiteral("WAYLAND_DISPLAY=wayland-gone")};
    QTest::newRow("xcb asked, X gone") << QStringList{QStringLiteral("QT_QPA_PLATFORM=xcb"),
                                                      QStringLiteral("DISPLAY=:731")};
    QTest::newRow("wayland asked, none named")
        << QStringList{QStringLiteral("QT_QPA_PLATFORM=wayland"), QStringLiteral("DISPLAY=:731")};
    QTest::newRow("Wayland served, Qt without its plugin") << QStringList{QStringLiteral("WAYLAND_DISPLAY=served")};
    QTest::newRow("Wayland named, no runtime folder")
        << QStringList{QStringLiteral("WAYLAND_DISPLAY=served"), QStringLiteral("XDG_RUNTIME_DIR=")};
}

void DesktopTest::withoutADisplayTheProgramSaysSoAndEnds() {
    QFETCH(QStringList, settings);
    if (std::filesystem::exists("/tmp/.X11-unix/X731")) QSKIP("display :731 exists on this machine");
    TempDir runtime;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime.path()));
    for (const QString& setting : settings)
        environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    if (environment.value(QStringLiteral("XDG_RUNTIME_DIR")).isEmpty())
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    // A compositor's socket that answers: only Qt's missing plugin stands in the way.
    std::optional<ListeningSocket> compositor;
    if (environment.value(QStringLiteral("WAYLAND_DISPLAY")) == QStringLiteral("served")) {
        if (!QDir(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"))
                 .entryList({QStringLiteral("libqwayland*")})
                 .isEmpty())
            QSKIP("Qt's Wayland plugin is installed here");
        compositor.emplace(runtime.file("served"));
        QVERIFY(compositor->listening());
    }
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TUNVASK_PATH), {});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(program.readAllStandardError()), QStringLiteral("无法连接到图形界面 (no display)\n"));
}

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
