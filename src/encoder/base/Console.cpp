#include "encoder/base/Console.h"

#include <cstdint>
#include <fcntl.h>
#include <unistd.h>

// Sanitizers report through descriptor 2 unless told otherwise: where one is linked in,
// its reports follow tvenc's own lines.
extern "C" void __sanitizer_set_report_fd(void* fd) __attribute__((weak));

namespace encoder {

namespace {

std::FILE* g_stream = nullptr;
bool g_progress_open = false;

} // namespace

void Console::take_over_standard_error() {
    if (g_stream) return;
    const int own = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (own < 0) return;
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::FILE* stream = null >= 0 ? ::fdopen(own, "w") : nullptr;
    if (!stream || ::dup2(null, 2) < 0) {
        if (stream)
            std::fclose(stream);
        else
            ::close(own);
        if (null >= 0) ::close(null);
        return;
    }
    ::close(null);
    // As unbuffered as stderr: a line is out before anything can end tvenc.
    std::setvbuf(stream, nullptr, _IONBF, 0);
    g_stream = stream;
    if (__sanitizer_set_report_fd) __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(own)));
}

std::FILE* Console::stream() {
    return g_stream ? g_stream : stderr;
}

void Console::set_progress_open(bool open) {
    g_progress_open = open;
}

void Console::print_line(const std::string& line) {
    std::fprintf(stream(), "%s%s\n", g_progress_open ? "\n" : "", line.c_str());
    g_progress_open = false;
}

} // namespace encoder
