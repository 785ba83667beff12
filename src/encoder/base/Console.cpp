#include "encoder/base/Console.h"

#include "encoder/base/StdioFile.h"
#include "shared/Descriptor.h"

#include <cstdint>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

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
    shared::Descriptor own(::fcntl(2, F_DUPFD_CLOEXEC, 3));
    const shared::Descriptor null(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (!own || !null) return;
    const int own_fd = own.get();
    StdioFile stream(shared::stream_of(std::move(own), "w"));
    if (!stream || ::dup2(null.get(), 2) < 0) return;
    // As unbuffered as stderr: a line is out before anything can end tvenc.
    std::setvbuf(stream.get(), nullptr, _IONBF, 0);
    g_stream = stream.release();
    if (__sanitizer_set_report_fd)
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(own_fd)));
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
