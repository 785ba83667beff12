// tvenc as the run meets it, on any bytes as its input: at 16 kbps mono on two cores
// it ends with 0 and a decodable output, or with 3 or 4 and one "tvenc:" line, and
// leaves nothing else behind.
#include "AudioFixtures.h"
#include "FuzzFile.h"
#include "TempDir.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TempDir folder;
    const FuzzFile input(data, size);
    const std::string output = folder.file("out.mp3");
    const RunResult run = run_program({TVENC_PATH, input.path(), output, "-br", "16000", "-dm", "--threads", "2"});
    if (run.status == 0) {
        const Decoded d = decode_mp3(output);
        if (!d.opened || d.error) std::abort();
    } else {
        if (run.status != 3 && run.status != 4) std::abort();
        const auto first = run.err.find("tvenc: ");
        if (first == std::string::npos || run.err.find("tvenc: ", first + 1) != std::string::npos) std::abort();
        if (std::filesystem::exists(output)) std::abort();
    }
    std::filesystem::remove(output);
    if (!std::filesystem::is_empty(folder.path())) std::abort();
    return 0;
}
