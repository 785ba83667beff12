#include "convert/ConversionRun.h"
#include "AudioFixtures.h"
#include "GuiHarness.h"
#include "ScopedEnvironment.h"
#include "TempDir.h"
#include "primitives/Files.h"
#include "primitives/Text.h"
#include "shared/PathParts.h"
#include "shared/ProgressContract.h"
#include "shell/MainWindow.h"
#include "tracks/TrackCommands.h"
#include "tracks/TrackRows.h"

#include <QAction>
#include <QCryptographicHash>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextEdit>
#include <QtTest>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using primitives::file_exists;
using primitives::file_size;

namespace {

// A short 128 kbps stereo MP3 made by the real encoder from a generated tone.
std::string make_mp3(const TempDir& dir, const std::string& name, double seconds = 2.0) {
    const std::string wav = dir.file(name + ".wav");
    write_wav(wav, 44100, 2, static_cast<long>(44100 * seconds));
    const std::string mp3 = dir.file(name);
    const RunResult r = run_program({TVENC_PATH, wav, mp3, "-br", "128000"});
    std::filesystem::remove(wav);
    return r.status == 0 ? mp3 : std::string();
}

QString ratio_of(const std::string& output, const std::string& source) {
    const double ratio = static_cast<double>(file_size(output)) / static_cast<double>(file_size(source)) * 100.0;
    return QStringLiteral("%1%").arg(static_cast<qint64>(std::floor(ratio)));
}

// The /proc folders of this process's children: those that have ended but were never
// waited for, or the others.
std::vector<std::string> child_processes(bool ended) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string stat = read_whole(entry.path().string() + "/stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos || close + 4 >= stat.size()) continue;
        char state = 0;
        long parent = 0;
        if (std::sscanf(stat.c_str() + close + 2, "%c %ld", &state, &parent) == 2 && (state == 'Z') == ended &&
            parent == QCoreApplication::applicationPid())
            found.push_back(entry.path().string());
    }
    return found;
}

// Descriptors an encoder got from the program beside its standard ones: pipes, event
// and signal descriptors, the run's lock. Files it opened itself are paths of audio.
QStringList inherited_descriptors() {
    QStringList held;
    std::error_code gone;
    for (const std::string& child : child_processes(false)) {
        // The encoder writes its own lines through a copy of its standard error, which is
        // the run's pipe like its standard output.
        const std::string own_errors = std::filesystem::read_symlink(child + "/fd/1", gone).string();
        for (const auto& fd : std::filesystem::directory_iterator(child + "/fd", gone)) {
            const std::string target = std::filesystem::read_symlink(fd.path(), gone).string();
            if (!gone && std::stoi(fd.path().filename().string()) > 2 && target != own_errors &&
                (target[0] != '/' || target.ends_with("/lock")))
                held << QString::fromStdString(target);
        }
    }
    return held;
}

QString cell(layouts::ListView* t, int row, int column) {
    return tracks::cell_text(t, row, column);
}
// An encoder for the run made of a shell script: each run stages it afresh, as the
// real one is, in a folder the run removes at its end.
std::function<primitives::Text()> scripted_encoder(const TempDir& scripts, const std::string& body) {
    return [&scripts, body] {
        const std::string folder = scripts.file("stage");
        std::filesystem::create_directory(folder);
        const std::string script = folder + "/60718243.exe";
        std::ofstream(script) << "#!/bin/sh\n" << body;
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        return script;
    };
}

QString tip(layouts::ListView* t, int row, int column) {
    return tracks::cell_tip(t, row, column);
}

// SHA-256 of every file in some folders, taken before a run: what the user had must
// be there, byte for byte, after it, whether the run went well or not.
class Fingerprints {
public:
    explicit Fingerprints(std::initializer_list<std::string> folders) {
        for (const std::string& folder : folders)
            for (const auto& e : std::filesystem::directory_iterator(folder))
                if (e.is_regular_file()) m_sums[e.path().string()] = sum(e.path().string());
    }
    bool unchanged() const {
        for (const auto& [path, digest] : m_sums)
            if (sum(path) != digest) return qWarning("changed or gone: %s", path.c_str()), false;
        return true;
    }

private:
    static QByteArray sum(const std::string& path) {
        return QCryptographicHash::hash(QByteArray::fromStdString(read_whole(path)), QCryptographicHash::Sha256);
    }
    std::map<std::string, QByteArray> m_sums;
};

} // namespace

class ConversionRunTest : public GuiSuite {
    Q_OBJECT
private slots:
    void convertsEveryRowInOrderAtTheChosenRate();
    void emptyListStartsNothing();
    void closingDuringRowTwoFinishesItAndStartsNoOther();
    void noOutputGoesOntoASource();
    void missingSourceAndClosedFolderAreReportedAsFailures();
    void secondStartAndDeletedRowsAreHarmless();
    void aFailedRowLeavesTheUsersFileAndTheProgress();
    void sameNamedSourcesGetNumberedOutputs();
    void anOutputFolderRemovedMidRowIsAFailure();
    void aGbkNamedSourceConvertsUnderItsOwnName();
    void theRatioIsOfTheSourceAsTheRowBegan();
    void twoRunsAtOnceKeepTheirOwnEncoders();
    void aBurstOfOutputIsReadEightyBytesAtATime();
    void anEncoderThatSaysDoneButWroteNothingFailed();
    void aResultUnderANumberedNameIsTheOneShown();
    void theDetailsOfAMessageOpenFromTheKeyboard();
    void everyFailedRowSaysWhyInChineseToEyeAndEar();

private:
    void start() { trigger(*m_session, "开始转换(&F5)"); }
    void set_folder(const std::string& folder) {
        m_session->controls.folder->setPlainText(QString::fromStdString(folder));
    }
    bool wait_for_run() {
        QSignalSpy done(m_session->run.get(), &convert::ConversionRun::finished);
        return !m_session->run->active() || done.wait(60000);
    }
    layouts::ListView* table() { return m_session->controls.tracks; }
};

void ConversionRunTest::convertsEveryRowInOrderAtTheChosenRate() {
    TempDir in, out;
    std::vector<std::string> sources;
    for (const char* name : {"a b 'q' \"d\".mp3", "#hash;semi $x.mp3", "月亮代表我的心.mp3"}) {
        sources.push_back(make_mp3(in, name));
        QVERIFY(!sources.back().empty());
        tracks::fill_row(m_session->controls, sources.back());
    }
    set_folder(out.path() + "/");
    QTest::keyClick(table(), Qt::Key_F4);
    QTest::keyClick(table(), Qt::Key_F8);
    QList<int> order;
    QStringList leaked;
    int inheritable[2]; // as the program may have got from whoever started it
    QCOMPARE(::pipe(inheritable), 0);
    connect(m_session->run.get(), &convert::ConversionRun::row_started, this, [&](int row) {
        order << row;
        leaked << inherited_descriptors();
    });
    start();
    QVERIFY(wait_for_run());
    ::close(inheritable[0]);
    ::close(inheritable[1]);
    QCOMPARE(order, (QList<int>{0, 1, 2}));
    QVERIFY2(leaked.isEmpty(), qPrintable(leaked.join(u' ')));
    for (int row = 0; row < 3; ++row) {
        const std::string output = out.file(shared::name_of(sources[row]));
        QVERIFY2(file_exists(output), output.c_str());
        QCOMPARE(tracks::row_icon(table(), row), 1);
        QCOMPARE(cell(table(), row, tracks::RatioColumn), ratio_of(output, sources[row]));
        const Decoded d = decode_mp3(output);
        QVERIFY(d.opened && !d.error);
        // What the percentage shows is what a screen reader hears of it.
        QCOMPARE(m_session->controls.percent->accessibleDescription(), QStringLiteral("100%"));
        QCOMPARE(d.channels, 1);
        QCOMPARE(d.frames, std::int64_t{88200});
        QVERIFY(std::all_of(d.bit_rates.begin(), d.bit_rates.end(), [](int r) { return r == 64; }));
    }
    QCOMPARE(m_session->controls.percent->text(), QStringLiteral("100%"));
    QCOMPARE(m_session->controls.progress->value(), 100);
    QVERIFY(!file_exists(primitives::program_folder() + "/60718243.exe"));
    QTRY_COMPARE(child_processes(true).size(), std::size_t{0});
    QCOMPARE(m_script->messages.size(), std::size_t{1});
    QCOMPARE(m_script->messages[0].text, std::string("恭喜,转换完成!"));
    QCOMPARE(m_script->messages[0].caption, std::string("Tunvask"));
}

void ConversionRunTest::emptyListStartsNothing() {
    start();
    QVERIFY(!m_session->run->active());
    QVERIFY(m_script->messages.empty());
}

void ConversionRunTest::closingDuringRowTwoFinishesItAndStartsNoOther() {
    TempDir in, out;
    std::vector<std::string> sources;
    for (int i = 0; i < 5; ++i) {
        sources.push_back(make_mp3(in, "s" + std::to_string(i) + ".mp3", 1.0));
        tracks::fill_row(m_session->controls, sources.back());
    }
    set_folder(out.path() + "/");
    QSignalSpy idle(m_session->run.get(), &convert::ConversionRun::idle_after_close);
    connect(m_session->run.get(), &convert::ConversionRun::row_started, this, [&](int row) {
        if (row == 1) m_session->window->close();
    });
    start();
    QVERIFY(idle.count() == 1 || idle.wait(60000));
    QVERIFY(m_session->context.stop_request);
    QVERIFY(file_exists(out.file("s0.mp3")) && file_exists(out.file("s1.mp3")));
    QCOMPARE(cell(table(), 1, tracks::RatioColumn), ratio_of(out.file("s1.mp3"), sources[1]));
    for (int row = 2; row < 5; ++row) {
        QVERIFY(!file_exists(out.file("s" + std::to_string(row) + ".mp3")));
        QCOMPARE(cell(table(), row, tracks::RatioColumn), QString());
        QCOMPARE(tracks::row_icon(table(), row), 0);
    }
    QVERIFY(!file_exists(primitives::program_folder() + "/60718243.exe"));
    QVERIFY(m_script->messages.empty());
}

// Its own source, reached through a symlinked folder, and another row's source of the
// same name: neither is ever written.
void ConversionRunTest::noOutputGoesOntoASource() {
    TempDir a, b;
    const std::string b_x = make_mp3(b, "x.mp3"), a_x = make_mp3(a, "x.mp3");
    std::filesystem::create_directory_symlink(b.path(), a.file("link"));
    const Fingerprints before{a.path(), b.path()};
    tracks::fill_row(m_session->controls, b_x);
    tracks::fill_row(m_session->controls, a_x);
    set_folder(a.file("link") + "/");
    start();
    QVERIFY(wait_for_run());
    QVERIFY(before.unchanged());
    QCOMPARE(cell(table(), 0, tracks::RatioColumn), QStringLiteral("与源文件相同"));
    QCOMPARE(cell(table(), 1, tracks::RatioColumn), QStringLiteral("与源文件相同"));
    QCOMPARE(m_script->messages.at(0).text, std::string("转换完成,但有 2 个文件失败!把鼠标停在“失败”上可以看到原因。"));
}

// Odd sources fail their own row only; a temporary folder that others can write to
// (no sticky bit) is passed over for staging, so nobody can swap the encoder run.
void ConversionRunTest::missingSourceAndClosedFolderAreReportedAsFailures() {
    TempDir in, out, hostile;
    ::chmod(hostile.path().c_str(), 0777);
    const ScopedEnvironment environment({{"XDG_RUNTIME_DIR", std::nullopt}, {"TMPDIR", hostile.path()}});
    const std::string good = make_mp3(in, "good.mp3");
    QCOMPARE(::mkfifo(in.file("fifo.mp3").c_str(), 0644), 0);
    tracks::fill_row(m_session->controls, in.file("missing.mp3"));
    tracks::fill_row(m_session->controls, in.file("fifo.mp3"));
    tracks::fill_row(m_session->controls, good);
    tracks::fill_row(m_session->controls, in.write("text.mp3", std::string(3000, 'T')));
    set_folder(out.path() + "/");
    bool staged_in_hostile = false;
    connect(m_session->run.get(), &convert::ConversionRun::row_started, this,
            [&] { staged_in_hostile = staged_in_hostile || !std::filesystem::is_empty(hostile.path()); });
    start();
    QVERIFY(wait_for_run());
    QVERIFY(!staged_in_hostile);
    QCOMPARE(cell(table(), 0, tracks::RatioColumn), QStringLiteral("失败"));
    QVERIFY(tip(table(), 0, tracks::RatioColumn).startsWith(QStringLiteral("找不到源文件")));
    QCOMPARE(cell(table(), 1, tracks::RatioColumn), QStringLiteral("失败"));
    // The reason first, in Chinese; then the encoder's own line as the detail.
    QCOMPARE(tip(table(), 1, tracks::RatioColumn),
             QStringLiteral("源文件或输出位置不是普通文件（文件夹或特殊文件），请换一个文件或输出路径。\n"
                            "tvenc: '%1': not a regular file [not-a-file]")
                 .arg(QString::fromStdString(in.file("fifo.mp3"))));
    QVERIFY(tip(table(), 3, tracks::RatioColumn).startsWith(QStringLiteral("这不是可以识别的音频文件")));
    QCOMPARE(cell(table(), 2, tracks::RatioColumn), ratio_of(out.file("good.mp3"), good));
    QCOMPARE(cell(table(), 3, tracks::RatioColumn), QStringLiteral("失败"));
    QVERIFY(!file_exists(out.file("missing.mp3")) && !file_exists(out.file("text.mp3")));
    QVERIFY(!file_exists(out.file("fifo.mp3")));
    QCOMPARE(m_script->messages.at(0).text, std::string("转换完成,但有 3 个文件失败!把鼠标停在“失败”上可以看到原因。"));
    // The same reasons for the keyboard, in the order of the list.
    QCOMPARE(m_script->messages.at(0).details,
             in.file("missing.mp3") + "：找不到源文件，它可能已被移动或删除，请重新添加。\n" + in.file("fifo.mp3") +
                 "：源文件或输出位置不是普通文件（文件夹或特殊文件），请换一个文件或输出路径。\n" +
                 in.file("text.mp3") + "：这不是可以识别的音频文件，请确认它是完好的 MP3 或 WAV 文件。");

    set_folder("/proc/");
    start();
    QVERIFY(wait_for_run());
    QCOMPARE(cell(table(), 2, tracks::RatioColumn), QStringLiteral("失败"));
    QCOMPARE(m_script->messages.at(1).text, std::string("转换完成,但有 4 个文件失败!把鼠标停在“失败”上可以看到原因。"));
}

// Rows deleted during a run, after the current one and before it: every row still in
// the list is converted once, none is skipped, and rows added meanwhile wait for the next run.
void ConversionRunTest::secondStartAndDeletedRowsAreHarmless() {
    TempDir in, out;
    for (const char* name : {"r0.mp3", "r1.mp3", "r2.mp3", "r3.mp3", "r4.mp3"})
        tracks::fill_row(m_session->controls, make_mp3(in, name));
    const std::string late = make_mp3(in, "late.mp3");
    set_folder(out.path() + "/");
    QStringList started;
    connect(m_session->run.get(), &convert::ConversionRun::row_started, this, [&](int row) {
        started << cell(table(), row, tracks::PathColumn).section(u'/', -1);
        if (started.size() == 1) {
            start();               // a second start while the first run goes: nothing
            table()->removeRow(1); // r1 leaves the list before its turn
            tracks::fill_row(m_session->controls, late);
        }
        if (started.size() == 2) table()->removeRow(0); // r0, done, leaves: r3 is still next
    });
    start();
    QVERIFY(wait_for_run());
    QCOMPARE(started, (QStringList{"r0.mp3", "r2.mp3", "r3.mp3", "r4.mp3"}));
    QCOMPARE(table()->rowCount(), 4);
    QCOMPARE(cell(table(), 0, tracks::PathColumn), QString::fromStdString(in.file("r2.mp3")));
    QCOMPARE(cell(table(), 0, tracks::RatioColumn), ratio_of(out.file("r2.mp3"), in.file("r2.mp3")));
    QVERIFY(!file_exists(out.file("r1.mp3")) && !file_exists(out.file("late.mp3")));
    QCOMPARE(cell(table(), 3, tracks::RatioColumn), QString());
    QCOMPARE(m_script->messages.size(), std::size_t{1});
}

// Its error line names a file that looks like progress: the bar stays where it was.
void ConversionRunTest::aFailedRowLeavesTheUsersFileAndTheProgress() {
    TempDir in, out;
    out.write("Section: 57%.mp3", "the user's own file of that name");
    tracks::fill_row(m_session->controls, in.write("Section: 57%.mp3", std::string(3000, 'T')));
    const Fingerprints before{in.path(), out.path()};
    set_folder(out.path() + "/");
    start();
    QVERIFY(wait_for_run());
    QVERIFY(before.unchanged());
    QCOMPARE(cell(table(), 0, tracks::RatioColumn), QStringLiteral("失败"));
    QVERIFY2(tip(table(), 0, tracks::RatioColumn).section(u'\n', 1).startsWith("tvenc: "),
             qPrintable(tip(table(), 0, tracks::RatioColumn)));
    QCOMPARE(std::distance(std::filesystem::directory_iterator(out.path()), {}), 1);
    QCOMPARE(m_session->controls.percent->text(), QStringLiteral("0%"));
    QCOMPARE(m_session->controls.progress->value(), 0);
}

void ConversionRunTest::sameNamedSourcesGetNumberedOutputs() {
    TempDir a, b, c, out;
    const std::vector<std::string> sources{make_mp3(a, "01.mp3", 1.0), make_mp3(b, "01.mp3", 1.5),
                                           make_mp3(c, "01.mp3", 2.0)};
    out.write("01 (2).mp3", "an older file of that name");
    for (const std::string& source : sources)
        tracks::fill_row(m_session->controls, source);
    const Fingerprints before{a.path(), b.path(), c.path()};
    set_folder(out.path() + "/");
    start();
    QVERIFY(wait_for_run());
    QVERIFY(before.unchanged());
    const std::vector<std::string> outputs{out.file("01.mp3"), out.file("01 (2).mp3"), out.file("01 (3).mp3")};
    for (int row = 0; row < 3; ++row) {
        // Each source has its own result, of its own length.
        QCOMPARE(decode_mp3(outputs[row]).frames, std::int64_t(44100 * (1.0 + 0.5 * row)));
        QCOMPARE(cell(table(), row, tracks::RatioColumn), ratio_of(outputs[row], sources[row]));
        QCOMPARE(tip(table(), row, tracks::RatioColumn), QString::fromStdString(outputs[row]));
    }
    QCOMPARE(m_script->messages.at(0).text, std::string("恭喜,转换完成!"));
}

void ConversionRunTest::anOutputFolderRemovedMidRowIsAFailure() {
    TempDir in, out;
    tracks::fill_row(m_session->controls, make_mp3(in, "long.mp3", 20.0));
    const std::string folder = out.file("gone");
    std::filesystem::create_directory(folder);
    set_folder(folder + "/");
    connect(m_session->run.get(), &convert::ConversionRun::row_started, this, [&] {
        std::error_code error;
        for (int i = 0; i < 100 && std::filesystem::exists(folder); ++i)
            std::filesystem::remove_all(folder, error);
    });
    start();
    QVERIFY(wait_for_run());
    QVERIFY(!std::filesystem::exists(folder));
    QCOMPARE(cell(table(), 0, tracks::RatioColumn), QStringLiteral("失败"));
    QCOMPARE(m_script->messages.at(0).text, std::string("转换完成,但有 1 个文件失败!把鼠标停在“失败”上可以看到原因。"));
}

void ConversionRunTest::aGbkNamedSourceConvertsUnderItsOwnName() {
    TempDir in, out;
    const std::string gbk_name = "\xD4\xC2\xC1\xC1.mp3"; // 月亮.mp3 as a Windows archive unpacks it
    const std::string source = make_mp3(in, gbk_name);
    QVERIFY(!source.empty());
    // A decoy under the name that a lossy conversion of the GBK bytes would give.
    in.write("\xEF\xBF\xBD\xEF\xBF\xBD.mp3", std::string(3000, 'D'));
    tracks::fill_row(m_session->controls, source);
    QCOMPARE(cell(table(), 0, tracks::PathColumn), QString::fromStdString(in.path()) + QStringLiteral("/月亮.mp3"));
    // The output folder is GBK-named too: shown decoded, written under its own bytes.
    const std::string folder = out.file("\xD2\xF4\xC0\xD6");
    QVERIFY(std::filesystem::create_directory(folder));
    m_script->folders.push_back(folder);
    trigger(*m_session, "输出路径(&F10)");
    QCOMPARE(m_session->controls.folder->toPlainText(), QString::fromStdString(out.path()) + QStringLiteral("/音乐/"));
    start();
    QVERIFY(wait_for_run());
    const std::string output = folder + "/" + gbk_name;
    QCOMPARE(decode_mp3(output).frames, std::int64_t(88200));
    QCOMPARE(cell(table(), 0, tracks::RatioColumn), ratio_of(output, source));
    QCOMPARE(m_script->messages.at(0).text, std::string("恭喜,转换完成!"));
}

void ConversionRunTest::theRatioIsOfTheSourceAsTheRowBegan() {
    TempDir in, out;
    const std::string source = make_mp3(in, "s.mp3", 6.0);
    const std::int64_t size = file_size(source);
    tracks::fill_row(m_session->controls, source);
    set_folder(out.path() + "/");
    QTest::keyClick(table(), Qt::Key_F4);
    bool replaced = false;
    connect(m_session->controls.progress, &QProgressBar::valueChanged, this, [&](int value) {
        if (value == 0 || replaced) return;
        // Another, tiny file takes the source's name while the encoder reads the old one.
        replaced = true;
        in.write("tiny", "x");
        std::filesystem::rename(in.file("tiny"), source);
    });
    start();
    QVERIFY(wait_for_run());
    QVERIFY(replaced);
    const auto expected = static_cast<qint64>(std::floor(double(file_size(out.file("s.mp3"))) / double(size) * 100.0));
    QCOMPARE(cell(table(), 0, tracks::RatioColumn), QStringLiteral("%1%").arg(expected));
}

void ConversionRunTest::twoRunsAtOnceKeepTheirOwnEncoders() {
    // A second program is a second session with its own run; both go at once.
    TempDir in, out1, out2;
    auto other = open_main_window();
    const std::string a = make_mp3(in, "a.mp3", 3.0), b = make_mp3(in, "b.mp3", 3.0);
    for (auto* session : {m_session.get(), other.get()}) {
        tracks::fill_row(session->controls, a);
        tracks::fill_row(session->controls, b);
    }
    set_folder(out1.path() + "/");
    other->controls.folder->setPlainText(QString::fromStdString(out2.path() + "/"));
    QSignalSpy first(m_session->run.get(), &convert::ConversionRun::finished);
    QSignalSpy second(other->run.get(), &convert::ConversionRun::finished);
    start();
    trigger(*other, "开始转换(&F5)");
    QVERIFY(first.count() == 1 || first.wait(60000));
    QVERIFY(second.count() == 1 || second.wait(60000));
    for (const std::string& folder : {out1.path(), out2.path()})
        for (const char* name : {"a.mp3", "b.mp3"})
            QCOMPARE(decode_mp3(folder + "/" + name).frames, std::int64_t(132300));
    QCOMPARE(m_script->messages.at(0).text, std::string("恭喜,转换完成!"));
    QCOMPARE(m_script->messages.at(1).text, std::string("恭喜,转换完成!"));
}

void ConversionRunTest::aBurstOfOutputIsReadEightyBytesAtATime() {
    TempDir in, out, scripts;
    tracks::fill_row(m_session->controls, in.write("a.mp3", "source"));
    set_folder(out.path() + "/");
    // An encoder that writes 200 progress lines at once, waits, then its result.
    m_session->context.stage_encoder = scripted_encoder(
        scripts, "i=0; s=''; while [ $i -lt 200 ]; do s=\"$s$(printf 'Completion:%5.1f%%, Elapsed time: 0:01, "
                 "Time to go: 0:01, Speed: 9.9x  \\r' \"$i.5\" | tr , .)\"; i=$((i+1)); done\n"
                 "printf '%s' \"$s\" >&2; sleep 0.3; printf 'Completion:100.0%%  \\r'; echo ok > \"$2\"\n");
    std::size_t reads = 0, largest = 0;
    connect(m_session->run.get(), &convert::ConversionRun::row_started, this, [&] {
        primitives::ChildProcess* child = m_session->run->current_child();
        connect(child, &primitives::ChildProcess::finished, this, [&, child] {
            reads = child->reads();
            largest = child->largest_read();
        });
    });
    start();
    QVERIFY(wait_for_run());
    QVERIFY2(largest > 0 && largest <= 80, qPrintable(QString::number(largest)));
    QVERIFY2(reads >= 200 * 70 / 80, qPrintable(QString::number(reads)));
    QCOMPARE(m_session->controls.percent->text(), QStringLiteral("100%"));
    QCOMPARE(cell(table(), 0, tracks::RatioColumn), QStringLiteral("50%"));
}

// Also: the encoder reads nothing of the program's own input (a terminal it was started from).
void ConversionRunTest::anEncoderThatSaysDoneButWroteNothingFailed() {
    TempDir in, out, scripts;
    tracks::fill_row(m_session->controls, in.write("a.mp3", "source"));
    set_folder(out.path() + "/");
    // The encoder gets the program's whole environment, and the parent's number once.
    const ScopedEnvironment marker({{"TUNVASK_TEST_MARKER", std::string("here")}});
    m_session->context.stage_encoder =
        scripted_encoder(scripts, "env > '" + scripts.file("env.txt") +
                                      "'\n"
                                      "[ -z \"$(head -c 5)\" ] || { echo 'tvenc: read the input'; exit 3; }\n"
                                      "printf 'Completion:100.0%%  \\r'\nexit 0\n");
    int typed[2];
    QCOMPARE(::pipe(typed), 0);
    QCOMPARE(::write(typed[1], "typed", 5), 5);
    ::close(typed[1]);
    const int own_input = ::dup(STDIN_FILENO);
    ::dup2(typed[0], STDIN_FILENO);
    ::close(typed[0]);
    start();
    const bool finished = wait_for_run();
    ::dup2(own_input, STDIN_FILENO);
    ::close(own_input);
    QVERIFY(finished);
    QCOMPARE(cell(table(), 0, tracks::RatioColumn), QStringLiteral("失败"));
    QCOMPARE(tip(table(), 0, tracks::RatioColumn).section(u'\n', 1), QStringLiteral("输出文件不存在"));
    QCOMPARE(m_script->messages.at(0).text, std::string("转换完成,但有 1 个文件失败!把鼠标停在“失败”上可以看到原因。"));
    const QString environment = QString::fromStdString(read_whole(scripts.file("env.txt")));
    QVERIFY(environment.contains(QStringLiteral("\nTUNVASK_TEST_MARKER=here\n")));
    QCOMPARE(environment.count(QStringLiteral("TVENC_PARENT_PID=")), 1);
}

// Another program wrote to the output's name meanwhile: the encoder kept that file and
// says its result took "a (2).mp3", which the row then measures and names.
void ConversionRunTest::aResultUnderANumberedNameIsTheOneShown() {
    TempDir in, out, scripts;
    tracks::fill_row(m_session->controls, in.write("a.mp3", std::string(1000, 's')));
    set_folder(out.path() + "/");
    m_session->context.stage_encoder = scripted_encoder(
        scripts, std::string("echo 'another program' > \"$2\"; printf '%0250d' 0 > \"${2%.mp3} (2).mp3\"\n"
                             "printf 'Completion:100.0%%  \\r\\n'\necho \"") +
                     progress_contract::kNumberedPrefix + "2: '${2%.mp3} (2).mp3'\" >&2\n");
    start();
    QVERIFY(wait_for_run());
    QCOMPARE(cell(table(), 0, tracks::RatioColumn), QStringLiteral("25%"));
    QCOMPARE(tip(table(), 0, tracks::RatioColumn), QString::fromStdString(out.file("a (2).mp3")));
    QCOMPARE(read_whole(out.file("a.mp3")), std::string("another program\n"));
    QCOMPARE(m_script->messages.at(0).text, std::string("恭喜,转换完成!"));
}

// The closing message's details (the failed rows and why) open with the keyboard alone,
// as selectable text.
void ConversionRunTest::theDetailsOfAMessageOpenFromTheKeyboard() {
    QMessageBox box;
    primitives::configure_message_box(box, "转换完成,但有 1 个文件失败!", primitives::kMessageOk, "Tunvask",
                                      "/音乐/a.mp3：源文件是空的（0 字节），请重新获取这个文件。");
    box.show();
    box.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QTRY_VERIFY(QApplication::focusWidget() != nullptr);
    auto* details = box.findChild<QTextEdit*>();
    QVERIFY(details && !details->isVisible());
    // Tab to the details button, as a keyboard user would, and press it.
    for (int tab = 0; tab < 4 && !details->isVisible(); ++tab) {
        auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
        if (focused && focused != box.button(QMessageBox::Ok)) QTest::keyClick(focused, Qt::Key_Space);
        if (!details->isVisible()) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QVERIFY(details->isVisible());
    QCOMPARE(details->toPlainText(), QStringLiteral("/音乐/a.mp3：源文件是空的（0 字节），请重新获取这个文件。"));
    QVERIFY(details->textInteractionFlags() & Qt::TextSelectableByKeyboard);
}

// From real failures of the encoder: an empty source, a full disk, a read-only folder,
// and an encoder killed mid-row. The reason is what a screen reader says of the cell too.
void ConversionRunTest::everyFailedRowSaysWhyInChineseToEyeAndEar() {
    TempDir in, out;
    const TmpfsMount full("size=16k"), read_only("", MS_RDONLY);
    if (!full.mounted() || !read_only.mounted()) QSKIP("cannot mount a tmpfs here (needs root)");
    const std::string song = make_mp3(in, "song.mp3", 20.0);
    const auto reason_of = [&](int row) {
        const QModelIndex at = table()->model()->index(row, tracks::RatioColumn);
        const QString shown = at.data(Qt::ToolTipRole).toString();
        return shown == at.data(Qt::AccessibleDescriptionRole).toString() ? shown.section(u'\n', 0, 0) : QString();
    };
    const struct {
        std::string source, folder;
        QString reason;
    } rows[] = {{in.write("empty.mp3", ""), out.path(), QStringLiteral("源文件是空的")},
                {song, full.path(), QStringLiteral("磁盘空间已满")},
                {song, read_only.path(), QStringLiteral("无法写入输出文件夹")}};
    for (const auto& row : rows) {
        tracks::fill_row(m_session->controls, row.source);
        set_folder(row.folder + "/");
        start();
        QVERIFY(wait_for_run());
        const int last = table()->model()->rowCount() - 1;
        QCOMPARE(cell(table(), last, tracks::RatioColumn), QStringLiteral("失败"));
        QVERIFY2(reason_of(last).startsWith(row.reason), qPrintable(reason_of(last)));
    }

    // Killed as it starts, as the out-of-memory killer would; re-encoded, not copied (a
    // copy could be done before the kill arrives).
    trigger(*m_session, "电话品质(16Kbps)(&F6)");
    table()->remove_all_rows();
    tracks::fill_row(m_session->controls, song);
    set_folder(out.path() + "/");
    connect(m_session->run.get(), &convert::ConversionRun::row_started, this,
            [&] { ::kill(m_session->run->current_child()->started_pid(), SIGKILL); });
    start();
    QVERIFY(wait_for_run());
    QVERIFY2(reason_of(0).startsWith(QStringLiteral("编码器被系统中止")), qPrintable(reason_of(0)));
    std::string left;
    for (const auto& entry : std::filesystem::directory_iterator(out.path()))
        left += entry.path().filename().string() + " ";
    QVERIFY2(left.empty(), left.c_str());
}

QTEST_MAIN(ConversionRunTest)
#include "ConversionRunTest.moc"
