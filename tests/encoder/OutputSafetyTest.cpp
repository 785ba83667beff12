#include "AudioFixtures.h"
#include "ScopedEnvironment.h"
#include "TempDir.h"
#include "shared/PathParts.h"
#include "shared/ProgressContract.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <regex>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

extern char** environ;

namespace {

const std::string kTvenc = TVENC_PATH;

struct Limits {
    rlim_t file_size = RLIM_INFINITY; // a full disk, as the encoder meets it
    bool reader_gone = false;         // output into a pipe nobody reads
    rlim_t thread_stack = 0;          // with address_space: no thread can get a stack
    rlim_t address_space = RLIM_INFINITY;
    // A /tmp of its own with no room (a mount namespace: root only), tvenc started in
    // this folder, opened before the mount hides it if it lies under /tmp.
    std::string full_tmp_from = {};
    std::string log = {}; // where stderr goes, if anywhere
    uid_t user = 0;       // another user to run as, where the test may choose (root)
};

constexpr int kCannotSetUp = 77;

// A /tmp of 4 kB for this process alone; the working folder stays reachable through
// a descriptor taken before, whatever the mount hides.
bool mount_full_tmp(const std::string& folder) {
    const int at = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    return at >= 0 && ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", "/tmp", "tmpfs", 0, "size=4k") == 0 && ::fchdir(at) == 0;
}

// tvenc in a child with its limits; the exit status, or 128 + signal.
int run_tvenc(const std::vector<std::string>& args, const Limits& limits) {
    int ends[2];
    if (::pipe(ends) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The build, and tvenc with it, may lie under /tmp too.
        const int program = ::open(kTvenc.c_str(), O_RDONLY);
        if (!limits.full_tmp_from.empty() && !mount_full_tmp(limits.full_tmp_from)) ::_exit(kCannotSetUp);
        if (limits.user && ::geteuid() == 0 && (::setgid(limits.user) != 0 || ::setuid(limits.user) != 0))
            ::_exit(kCannotSetUp);
        const rlimit size{limits.file_size, limits.file_size};
        ::setrlimit(RLIMIT_FSIZE, &size);
        const rlimit space{limits.address_space, limits.address_space};
        ::setrlimit(RLIMIT_AS, &space);
        if (limits.thread_stack) {
            const rlimit stack{limits.thread_stack, limits.thread_stack};
            ::setrlimit(RLIMIT_STACK, &stack);
        }
        const int out = limits.reader_gone ? ends[1] : ::open("/dev/null", O_WRONLY);
        ::dup2(out, 1);
        ::dup2(limits.log.empty() ? out : ::open(limits.log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        std::vector<char*> argv{const_cast<char*>(kTvenc.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::fexecve(program, argv.data(), environ);
        ::_exit(127);
    }
    ::close(ends[0]);
    ::close(ends[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Names of the folder's entries: a failed encode leaves no temporary file behind.
std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Whether pid ended within a minute (far more than any encode here takes), and how; one
// that did not, waiting on something for ever, is killed.
bool ended_in_time(pid_t pid, int& status) {
    for (int i = 0; i < 600; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return true;
        ::usleep(100000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return false;
}

// tvenc on args, held still (SIGSTOP) once it is encoding, so that a test can change
// the files around it at a known point; finish() lets it go on to its end.
class PausedEncoder {
public:
    explicit PausedEncoder(const std::vector<std::string>& args) {
        int ends[2];
        if (::pipe(ends) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(ends[1], 2);
            ::dup2(::open("/dev/null", O_WRONLY), 1);
            std::vector<char*> argv{const_cast<char*>(kTvenc.c_str())};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(kTvenc.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(ends[1]);
        m_errors = ends[0];
        // A figure after the first (0.0): the output is staged and the source being read.
        while (std::count_if(m_err.begin(), m_err.end(), [](char c) { return c == '\r'; }) < 2) {
            if (!read_some() && ::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
        }
        int status = 0;
        if (m_pid > 0 &&
            (::kill(m_pid, SIGSTOP) != 0 || ::waitpid(m_pid, &status, WUNTRACED) != m_pid || !WIFSTOPPED(status)))
            m_pid = -1;
    }
    ~PausedEncoder() {
        if (m_pid > 0) end_by(SIGKILL);
    }
    bool paused() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    // Lets it go on to its end: its status (or 128 + signal) and all it wrote on stderr.
    RunResult finish() { return end_by(0); }
    // signal, where not 0, is sent before it goes on. A run that waits on something for
    // ever is killed after a minute, far more than any here takes, and fails the test.
    RunResult end_by(int signal) {
        if (signal != 0) ::kill(m_pid, signal);
        ::kill(m_pid, SIGCONT);
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (::waitpid(m_pid, &status, WNOHANG) != m_pid) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the encoder never ended";
                ::kill(m_pid, SIGKILL);
            }
            read_some();
        }
        while (read_some()) {
        }
        ::close(m_errors);
        m_pid = -1;
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), {}, m_err};
    }

private:
    // What has come within a tenth of a second; false when nothing has.
    bool read_some() {
        pollfd ready{m_errors, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0) return false;
        char buffer[512];
        const ssize_t n = ::read(m_errors, buffer, sizeof buffer);
        if (n > 0) m_err.append(buffer, static_cast<std::size_t>(n));
        return n > 0;
    }

    pid_t m_pid = -1;
    int m_errors = -1;
    std::string m_err;
};

std::string long_wav() {
    return suite_folder("signals", [](const TempDir& dir) { write_wav(dir.file("long.wav"), 44100, 2, 44100 * 300); })
        .file("long.wav");
}

class OutputSafety : public testing::Test {
protected:
    void SetUp() override {
        write_wav(wav, 44100, 2, 44100 * 3);
        not_audio = in.write("text.mp3", std::string(4000, 'T'));
    }
    TempDir in, out;
    const std::string wav = in.file("tone.wav");
    std::string not_audio;
};

} // namespace

TEST_F(OutputSafety, AFailureLeavesWhateverWasAtTheOutputPath) {
    const std::string mine = out.write("mine.mp3", "the user's own file");
    ::chmod(mine.c_str(), 0444);
    ASSERT_EQ(::mkdir(out.file("folder.mp3").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(out.file("fifo.mp3").c_str(), 0644), 0);
    const auto before = entries(out.path());
    EXPECT_EQ(run_tvenc({not_audio, mine}, {}), 3);
    EXPECT_EQ(read_whole(mine), "the user's own file");
    EXPECT_EQ(run_tvenc({wav, out.file("folder.mp3")}, {}), 4);
    EXPECT_TRUE(fs::is_directory(out.file("folder.mp3")));
    EXPECT_EQ(run_tvenc({not_audio, out.file("fifo.mp3")}, {}), 3);
    EXPECT_TRUE(fs::is_fifo(out.file("fifo.mp3")));
    EXPECT_EQ(entries(out.path()), before);
}

// tvenc itself turns the file-size signal into a write error: nobody set it up for it.
// A disk that fills at any stage: the one-core output, the workers' scratch files (the
// file then goes to one core, which fills it too), or the joined output while the
// workers pack their stretches into it (300 s at 128 kbps are 4.8 MB; each half fits).
TEST_F(OutputSafety, AFullDiskLeavesTheOldFileAndNoPartOfTheNewOne) {
    const std::string target = out.write("out.mp3", "older result");
    const auto before = entries(out.path());
    struct Case {
        const char* name;
        bool long_source;
        const char* threads;
        rlim_t file_size;
        const char* one_core; // why the file went to one core, if it did
    };
    for (const Case& c : {Case{"one core", false, "1", 20000, "one thread"},
                          Case{"scratch files", true, "2", 20000, "no thread or no room for a worker"},
                          Case{"packing", true, "2", 3600000, nullptr}}) {
        const std::string log = in.file(std::string("log ") + c.name);
        const std::string source = c.long_source ? long_wav() : wav;
        EXPECT_EQ(run_tvenc({source, target, "--threads", c.threads, "--report-joins"},
                            {.file_size = c.file_size, .log = log}),
                  4)
            << c.name;
        EXPECT_EQ(read_whole(target), "older result") << c.name;
        EXPECT_EQ(entries(out.path()), before) << c.name;
        // The user knows the output by its own name, never by the temporary one.
        const std::string message = read_whole(log);
        EXPECT_NE(message.find("tvenc: '" + target + "': "), std::string::npos) << message;
        EXPECT_EQ(message.find(".tvenc-"), std::string::npos) << message;
        if (c.one_core) {
            EXPECT_NE(message.find(std::string("tvenc: on one core: ") + c.one_core + "\n"), std::string::npos)
                << message;
        } else {
            EXPECT_EQ(message.find("tvenc: on one core:"), std::string::npos) << message;
        }
    }
}

// An interrupt, a logout or the program that started it going away: the signal ends
// tvenc as it would any program, and the unfinished output goes with it.
// Whatever ends the encoder mid-file, a kill included, leaves the older result and no
// trace beside it.
TEST_F(OutputSafety, EndingSignalsAndKillsLeaveTheOlderResultAndNothingElse) {
    const std::string target = out.write("out.mp3", "older result");
    const auto before = entries(out.path());
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGKILL}) {
        for (const char* threads : {"1", "2"}) {
            PausedEncoder encoder({long_wav(), target, "--threads", threads});
            ASSERT_TRUE(encoder.paused());
            EXPECT_EQ(encoder.end_by(signal).status, 128 + signal) << threads;
            EXPECT_EQ(entries(out.path()), before) << signal << " " << threads;
            EXPECT_TRUE(read_whole(target) == "older result") << signal << " " << threads;
        }
    }
}

// The file opened when the encode began is the one encoded to its end, by every core and
// every share taken over late: another file renamed onto its name meanwhile never mixes
// in, and a FIFO put there never holds the encoder. The source is silent in its first
// half, which encodes fast: the worker of that half takes over part of the other's.
TEST_F(OutputSafety, TheSourceAsOpenedIsWhatIsEncodedWhateverTakesItsName) {
    const TempDir& tones = suite_folder("replaced", [](const TempDir& dir) {
        std::vector<float> samples(44100 * 2 * 120, 0.0f);
        for (std::size_t i = samples.size() / 2; i < samples.size(); ++i)
            samples[i] = static_cast<float>(0.4 * std::sin(2 * M_PI * 440.0 * static_cast<double>(i / 2) / 44100.0));
        write_wav_samples(dir.file("half.wav"), 44100, 2, samples, WavFormat::Pcm16);
    });
    for (const char* replacement : {"silence", "fifo"}) {
        const std::string source = in.file("song.wav"), other = in.file("other.wav");
        fs::copy_file(tones.file("half.wav"), source, fs::copy_options::overwrite_existing);
        if (replacement == std::string("fifo")) {
            ASSERT_EQ(::mkfifo(other.c_str(), 0644), 0);
        } else {
            write_wav_samples(other, 44100, 2, std::vector<float>(44100 * 2 * 120, 0.0f), WavFormat::Pcm16);
        }
        const std::string target = out.file(std::string(replacement) + ".mp3");
        PausedEncoder encoder({source, target, "--threads", "2"});
        ASSERT_TRUE(encoder.paused());
        ASSERT_EQ(::rename(other.c_str(), source.c_str()), 0);
        // A wait on what took the source's name would never end: the encoder is then killed.
        EXPECT_EQ(encoder.finish().status, 0) << replacement;
        std::vector<float> pcm;
        const Decoded d = decode_mp3(target, &pcm);
        EXPECT_EQ(d.frames, 44100 * 120) << replacement;
        // The tone to the last second: no part of the file that took its name.
        const std::size_t last_second = 44100 * 2;
        ASSERT_GE(pcm.size(), last_second);
        double energy = 0;
        for (std::size_t i = pcm.size() - last_second; i < pcm.size(); ++i)
            energy += pcm[i] * pcm[i];
        EXPECT_GT(energy / static_cast<double>(last_second), 0.01) << replacement;
    }
}

// The source written to while it is converted (a copy onto it, a tool that saves over
// it, a damaged stretch): what was read may mix two versions, so the row fails and no
// result appears. Its name deleted (or renamed, above) changes nothing that is read.
TEST_F(OutputSafety, ASourceWrittenToMeanwhileFailsAndOneDeletedDoesNot) {
    struct Case {
        const char* name;
        void (*change)(const std::string& source);
        int status;
    };
    const Case cases[] = {
        {"copied over", [](const std::string& source) { std::ofstream(source, std::ios::binary) << "other song"; }, 3},
        {"zeros inside",
         [](const std::string& source) {
             const int fd = ::open(source.c_str(), O_WRONLY);
             const std::string zeros(5000, '\0');
             EXPECT_EQ(::pwrite(fd, zeros.data(), zeros.size(), 20 << 20), 5000);
             ::close(fd);
         },
         3},
        {"deleted", [](const std::string& source) { fs::remove(source); }, 0},
    };
    for (const Case& c : cases) {
        for (const char* threads : {"1", "2"}) {
            const std::string source = in.file("song.wav"), target = out.file("song.mp3");
            fs::copy_file(long_wav(), source, fs::copy_options::overwrite_existing);
            // Long ago: any write now moves its time, however coarse the clock.
            const timespec long_ago[2] = {{1000, 0}, {1000, 0}};
            ::utimensat(AT_FDCWD, source.c_str(), long_ago, 0);
            PausedEncoder encoder({source, target, "-br", "32000", "--threads", threads});
            ASSERT_TRUE(encoder.paused());
            c.change(source);
            const RunResult r = encoder.finish();
            EXPECT_EQ(r.status, c.status) << c.name << " " << threads << r.err;
            if (c.status == 0) {
                EXPECT_EQ(decode_mp3(target).frames, 16000 * 300) << c.name;
            } else {
                // On a line of its own after the progress line it ended.
                EXPECT_NE(r.err.find("  \r\ntvenc: '" + source + "': "), std::string::npos) << c.name << r.err;
                EXPECT_NE(r.err.find("[changed]\n"), std::string::npos) << c.name << r.err;
                EXPECT_TRUE(entries(out.path()).empty()) << c.name << " " << threads;
            }
            for (const std::string& name : entries(out.path()))
                fs::remove(out.file(name));
            for (const std::string& name : entries(in.path()))
                if (name.starts_with("song.wav")) fs::remove(in.file(name));
        }
    }
}

// A file that comes to the output's name while the encode runs (another program writing
// into the same folder) is never replaced: the result takes the next free numbered name
// and says so. The file that stood there when the encode began is replaced, as asked.
TEST_F(OutputSafety, AFileThatCameToTheOutputMeanwhileStaysAndTheResultIsNumbered) {
    for (const bool stood_there : {false, true}) {
        const std::string target = out.file("song.mp3");
        if (stood_there) out.write("song.mp3", "older result");
        PausedEncoder encoder({long_wav(), target, "-br", "32000"});
        ASSERT_TRUE(encoder.paused());
        const std::string newcomer = out.write("newcomer", "another program's file");
        fs::rename(newcomer, target);
        const RunResult r = encoder.finish();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read_whole(target), "another program's file") << stood_there;
        EXPECT_EQ(decode_mp3(out.file("song (2).mp3")).rate, 16000) << stood_there;
        EXPECT_NE(r.err.find(std::string(progress_contract::kNumberedPrefix) + "2: '" + out.file("song (2).mp3") + "'"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(entries(out.path()), (std::vector<std::string>{"song (2).mp3", "song.mp3"}));
        fs::remove(out.file("song (2).mp3"));
        fs::remove(target);
    }
}

// Two encoders (two users, two programs) converting to one name both keep their result.
TEST_F(OutputSafety, TwoEncodersIntoOneNameBothKeepTheirResults) {
    const std::string target = out.file("song.mp3");
    PausedEncoder first({long_wav(), target, "-br", "32000", "--threads", "1"});
    PausedEncoder second({long_wav(), target, "-br", "32000", "--threads", "1"});
    ASSERT_TRUE(first.paused() && second.paused());
    const RunResult a = second.finish(), b = first.finish();
    EXPECT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(entries(out.path()), (std::vector<std::string>{"song (2).mp3", "song.mp3"}));
    EXPECT_EQ(decode_mp3(target).frames, decode_mp3(out.file("song (2).mp3")).frames);
    EXPECT_NE(b.err.find(progress_contract::kNumberedPrefix), std::string::npos) << "the second to finish says so";
}

// Where the output's file system has no nameless files, the result is written under a
// hidden name beside it: a failure and an ending signal remove it, and only a kill,
// which nothing can catch, leaves it, under the name the program removes.
TEST_F(OutputSafety, WithoutNamelessFilesOnlyAKillLeavesTheHiddenFile) {
    const ScopedEnvironment no_nameless(ScopedEnvironment::Settings{{"TVENC_NO_NAMELESS_FILES", "1"}});
    const std::string target = out.file("out.mp3");
    for (const char* threads : {"1", "2"}) {
        EXPECT_EQ(run_tvenc({wav, target, "--threads", threads}, {.file_size = 20000}), 4);
        EXPECT_TRUE(entries(out.path()).empty()) << threads;
        for (int signal : {SIGTERM, SIGKILL}) {
            PausedEncoder encoder({long_wav(), target, "--threads", threads});
            ASSERT_TRUE(encoder.paused());
            const pid_t pid = encoder.pid();
            encoder.end_by(signal);
            const auto left = entries(out.path());
            if (signal == SIGKILL) {
                EXPECT_EQ(left, std::vector<std::string>{shared::name_of(shared::work_file_of(target, pid))});
            } else {
                EXPECT_TRUE(left.empty()) << threads;
            }
            for (const std::string& name : left)
                fs::remove(out.file(name));
        }
    }
    EXPECT_EQ(run_tvenc({wav, target, "--threads", "2"}, {}), 0);
    EXPECT_EQ(entries(out.path()), std::vector<std::string>{"out.mp3"});
}

// Parts of a file encoded on several cores never go to /tmp: a full one must not fail
// a file that the output's own disk has room for.
TEST(FullTmp, NeverFailsAFile) {
    TempDir dir;
    write_wav(dir.file("long.wav"), 44100, 2, 44100 * 44);
    const int status = run_tvenc({"long.wav", "out.mp3", "--threads", "2"}, {.full_tmp_from = dir.path()});
    if (status == kCannotSetUp) GTEST_SKIP() << "cannot mount a /tmp of its own here (needs root)";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(decode_mp3(dir.file("out.mp3")).frames, 44100 * 44);
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"long.wav", "out.mp3"}));
}

// A file its owner made read-only is not replaced, though its folder would allow it.
TEST_F(OutputSafety, AFileTheUserMayNotWriteIsRefused) {
    const std::string mine = out.write("mine.mp3", "the user's own file");
    ::chmod(mine.c_str(), 0444);
    ::chmod(out.path().c_str(), 0777);
    ::chmod(in.path().c_str(), 0755);
    EXPECT_EQ(run_tvenc({wav, mine}, {.user = 65534}), 4);
    EXPECT_EQ(read_whole(mine), "the user's own file");
    EXPECT_EQ(entries(out.path()), std::vector<std::string>{"mine.mp3"});
}

TEST_F(OutputSafety, AReaderThatWentAwayDoesNotCutTheOutputShort) {
    const std::string target = out.file("out.mp3");
    EXPECT_EQ(run_tvenc({wav, target}, {.reader_gone = true}), 0);
    const Decoded d = decode_mp3(target);
    EXPECT_FALSE(d.error);
    EXPECT_EQ(d.frames, 44100 * 3);
}

// Nothing but a regular file is an output: a FIFO (which would hold the encoder until
// someone reads it), a device or a socket is refused at once and left as it is.
TEST_F(OutputSafety, AFifoOrDeviceAtTheOutputPathIsRefusedAtOnce) {
    // All in the test's own folder: a fault that replaced them must not replace a device
    // of the system's.
    const std::string fifo = out.file("pipe.mp3"), socket_path = out.file("socket.mp3");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    ListeningSocket listener(socket_path);
    ASSERT_TRUE(listener.listening());
    std::vector<std::string> targets{fifo, socket_path};
    // A device node of its own where the test may make one (root): the null device's numbers.
    if (::mknod(out.file("device.mp3").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0)
        targets.push_back(out.file("device.mp3"));
    for (const std::string& target : targets) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(kTvenc.c_str(), kTvenc.c_str(), wav.c_str(), target.c_str(), nullptr);
            ::_exit(127);
        }
        int status = 0;
        // A refusal takes no time; an encoder waiting for a reader would never end.
        if (!ended_in_time(pid, status)) FAIL() << target << ": the encoder waited on it";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 4) << target << " " << status;
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_socket(socket_path));
    if (targets.size() == 3) {
        EXPECT_TRUE(fs::is_character_file(out.file("device.mp3")));
    }
    EXPECT_EQ(entries(out.path()).size(), targets.size()) << "nothing but what the test made";
}

TEST_F(OutputSafety, AResultKeepsTheOldFilesModeOrTakesTheUmasksAndFollowsASymlink) {
    const std::string real = out.write("real.mp3", "old");
    ::chmod(real.c_str(), 0640);
    ASSERT_EQ(::symlink(real.c_str(), out.file("link.mp3").c_str()), 0);
    ASSERT_EQ(run_tvenc({wav, out.file("link.mp3")}, {}), 0);
    EXPECT_TRUE(fs::is_symlink(out.file("link.mp3")));
    struct stat info {};
    ASSERT_EQ(::stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(decode_mp3(real).frames, 44100 * 3);
    // A new output is made as any new file is: 0666 less the umask. Its name may be as
    // long as a name can be, though the temporary one beside it is longer.
    const std::string long_name = std::string(251, 'n') + ".mp3";
    const mode_t mask = ::umask(002);
    EXPECT_EQ(run_tvenc({wav, out.file(long_name)}, {}), 0);
    ::umask(mask);
    ASSERT_EQ(::stat(out.file(long_name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0664u);
    EXPECT_EQ(entries(out.path()), (std::vector<std::string>{"link.mp3", long_name, "real.mp3"}));
}

TEST_F(OutputSafety, MessagesNeverLookLikeProgress) {
    const std::string odd = in.write("Section: 50%.mp3", std::string(3000, 'x'));
    const RunResult r = run_program({kTvenc, odd, out.file("Section: 50%.mp3")});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("tvenc: '"), std::string::npos);
    EXPECT_FALSE(std::regex_search(r.err, std::regex("n:[^\\r\\n]*%"))) << r.err;
}

#if defined(__SANITIZE_ADDRESS__)
#define TUNVASK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TUNVASK_ASAN 1
#endif
#endif

// A tag that claims 200 MB (a sparse file) inside a 150 MB address space.
TEST(OutOfMemory, IsAFailureLikeAnyOther) {
#ifdef TUNVASK_ASAN
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space: no limit on it can be set here";
#endif
    TempDir dir;
    write_wav(dir.file("a.wav"), 44100, 2, 44100);
    ASSERT_EQ(run_tvenc({dir.file("a.wav"), dir.file("a.mp3")}, {}), 0);
    const std::uint32_t size = 200u << 20;
    std::string header = "ID3\x04";
    header += '\0';
    header += '\0';
    for (int shift : {21, 14, 7, 0})
        header += static_cast<char>((size >> shift) & 0x7F);
    const std::string big = dir.write("big.mp3", header);
    std::filesystem::resize_file(big, 10 + size);
    std::ofstream(big, std::ios::app | std::ios::binary) << read_whole(dir.file("a.mp3"));
    const std::string log = dir.file("log");
    TempDir out;
    EXPECT_EQ(run_tvenc({big, out.file("out.mp3"), "-br", "64000"}, {.address_space = rlim_t{150} << 20, .log = log}),
              3);
    EXPECT_NE(read_whole(log).find("tvenc: out of memory"), std::string::npos) << read_whole(log);
    EXPECT_TRUE(entries(out.path()).empty());

    // Memory so short that LAME's own set-up fails, or even crashes inside the library: it
    // is set up before any file is made, so nothing is left; a failure names the output.
    for (rlim_t kib = 8192; kib <= 16384; kib += 256) {
        const int status =
            run_tvenc({dir.file("a.wav"), out.file("out.mp3")}, {.address_space = kib << 10, .log = log});
        const auto left = entries(out.path());
        EXPECT_TRUE(status == 0 ? left == std::vector<std::string>{"out.mp3"} : left.empty())
            << kib << " KiB: " << status;
        if (status == 4) {
            EXPECT_NE(read_whole(log).find(out.file("out.mp3")), std::string::npos) << read_whole(log);
        }
        for (const std::string& name : entries(out.path()))
            fs::remove(out.file(name));
    }
}

TEST(ThreadsThatCannotStart, LeaveTheFileToOneCore) {
#ifdef TUNVASK_ASAN
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space: no limit on it can be set here";
#endif
    TempDir dir;
    write_wav(dir.file("long.wav"), 44100, 2, 44100 * 44);
    // Each thread asks for a 1 GB stack inside a 400 MB address space.
    const Limits starved{.thread_stack = rlim_t{1} << 30, .address_space = rlim_t{400} << 20};
    EXPECT_EQ(run_tvenc({dir.file("long.wav"), dir.file("out.mp3"), "--threads", "2"}, starved), 0);
    EXPECT_EQ(decode_mp3(dir.file("out.mp3")).frames, 44100 * 44);
}
