// tvenc as the run meets it, on any bytes as its input, run in this process so that the
// fuzzer sees into the decoders' handling, the plan and the joins: at 16 kbps mono on two
// cores it ends with a decodable output, or with a failure of code 3 or 4 whose message
// is one "tvenc:" line, and leaves nothing else behind.
#include "AudioFixtures.h"
#include "FuzzFile.h"
#include "TempDir.h"
#include "encoder/Conversion.h"
#include "encoder/base/Failure.h"
#include "shared/ProgressContract.h"

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

// The progress lines go nowhere while the encoder runs; the fuzzer's own report stays.
class Silenced {
public:
    Silenced() : m_out(::dup(1)), m_err(::dup(2)) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::close(null);
    }
    ~Silenced() {
        ::dup2(m_out, 1);
        ::dup2(m_err, 2);
        ::close(m_out);
        ::close(m_err);
    }
    Silenced(const Silenced&) = delete;
    Silenced& operator=(const Silenced&) = delete;

private:
    int m_out, m_err;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TempDir folder;
    const FuzzFile input(data, size);
    encoder::Options options;
    options.input = input.path();
    options.output = folder.file("out.mp3");
    options.bit_rate = 16000;
    options.downmix = true;
    options.threads = 2;
    bool converted = false;
    try {
        const Silenced quiet;
        converted = encoder::convert(options) == encoder::kSuccess;
    } catch (const encoder::Failure& failure) {
        if (failure.code != encoder::kFailInput && failure.code != encoder::kFailOutput) std::abort();
        if (failure.message.rfind(progress_contract::kFailurePrefix, 0) != 0) std::abort();
        if (failure.message.find('\n') != std::string::npos) std::abort();
        if (std::filesystem::exists(options.output)) std::abort();
    }
    if (converted) {
        const Decoded d = decode_mp3(options.output);
        if (!d.opened || d.error) std::abort();
    }
    std::filesystem::remove(options.output);
    if (!std::filesystem::is_empty(folder.path())) std::abort();
    return 0;
}
