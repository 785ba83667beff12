#include "encoder/Options.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace encoder {

const char* const kUsage = "usage:  tvenc <.wav or .mp3 input file> <.mp3 file> -switches\n"
                           "  -br <bits per second>  total bit rate, 8000 to 320000 (default 128000)\n"
                           "  -dm                    downmix stereo to mono\n"
                           "  --threads <count>      cores to use for one file (default: all)\n"
                           "  --report-joins         tell where the parts encoded on different cores meet\n"
                           "  --help                 print this text\n";

namespace {

int parse_bit_rate(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text) return 128000;
    return static_cast<int>(std::clamp<long>(value, 8000, 320000));
}

} // namespace

bool parse_options(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) options.help = true;
    }
    if (argc < 3) return false;
    options.input = argv[1];
    options.output = argv[2];
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "-br") == 0 && i + 1 < argc)
            options.bit_rate = parse_bit_rate(argv[++i]);
        else if (std::strcmp(argv[i], "-dm") == 0)
            options.downmix = true;
        else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
            options.threads = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--report-joins") == 0)
            options.report_joins = true;
    }
    return true;
}

} // namespace encoder
