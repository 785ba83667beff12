// tvenc as the run meets it, on any bytes as its input: at 16 kbps mono on two cores
// it ends with 0 and a decodable output, or with 3 or 4 and one "tvenc:" line, and
// leaves nothing else behind.
#include "FuzzFile.h"

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mpg123.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

extern char** environ;

namespace {

bool decodes(const std::string& path) {
    static const int ready = mpg123_init();
    (void)ready;
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    bool ok = handle && mpg123_open(handle, path.c_str()) == MPG123_OK;
    unsigned char buffer[8192];
    std::size_t done = 0;
    int rc = MPG123_OK;
    do {
        rc = mpg123_read(handle, buffer, sizeof buffer, &done);
    } while (ok && (rc == MPG123_OK || rc == MPG123_NEW_FORMAT));
    ok = ok && rc == MPG123_DONE;
    mpg123_delete(handle);
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/tunvask-fuzz-tvenc-XXXXXX";
        return std::string(::mkdtemp(pattern));
    }();
    const FuzzFile input(data, size);
    const std::string output = folder + "/out.mp3", log = folder + "/log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const char* argv[] = {TVENC_PATH, input.path().c_str(), output.c_str(), "-br", "16000", "-dm", "--threads", "2",
                          nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ) != 0) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) std::abort();
    std::stringstream text;
    text << std::ifstream(log).rdbuf();
    const std::string err = text.str();
    const int code = WEXITSTATUS(status);
    if (code == 0) {
        if (!decodes(output)) std::abort();
    } else {
        if (code != 3 && code != 4) std::abort();
        const auto first = err.find("tvenc: ");
        if (first == std::string::npos || err.find("tvenc: ", first + 1) != std::string::npos) std::abort();
        if (std::filesystem::exists(output)) std::abort();
    }
    std::filesystem::remove(output);
    std::filesystem::remove(log);
    if (!std::filesystem::is_empty(folder)) std::abort();
    return 0;
}
