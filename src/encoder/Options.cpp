#include "encoder/Options.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace encoder {

const char* const kUsage = "usage:  tvenc <.wav or .mp3 input file> <.mp3 file> -switches\n"
                           "  -br <bits per second>  total bit rate, 8000 to 320000 (default 128000)\n"
                           "  -dm                    downmix stereo to mono\n"
                           "  --threads <count>      cores to use for one file (default: all)\n"
                           "  --report-joins         tell where the parts encoded on different cores meet\n"
                           "  --report-cpu           tell the CPU time of each thread of a parallel encode\n"
                           "  --workers-in-turn      run those threads one after another (for benchmarks)\n"
                           "  -h, --help             print this text\n"
                           "  --version              print the name and version\n";
const char* const kVersion = "tvenc " TUNVASK_VERSION "\n";

namespace {

constexpr long kLowestBitRate = 8000;
constexpr long kHighestBitRate = 320000;
constexpr long kMostThreads = 256;

// A whole number in plain digits within the bounds; nothing else.
std::optional<long> whole_number(const char* text, long lowest, long highest) {
    const std::size_t length = std::strlen(text);
    if (length == 0 || length > 9 || std::strspn(text, "0123456789") != length) return std::nullopt;
    const long value = std::strtol(text, nullptr, 10);
    if (value < lowest || value > highest) return std::nullopt;
    return value;
}

bool is(const char* argument, const char* name) {
    return std::strcmp(argument, name) == 0;
}

// A switch tvenc knows, where a path must stand, is a mistake in the command (a file that
// really starts with "-" is reached as "./-name").
bool known_switch(const char* argument) {
    for (const char* name : {"-br", "-dm", "--threads", "--report-joins", "--report-cpu", "--workers-in-turn", "--help",
                             "-h", "--version"}) {
        if (is(argument, name)) return true;
    }
    return false;
}

bool parse_switches(int argc, char** argv, int first, Options& options) {
    for (int i = first; i < argc; ++i) {
        const bool has_value = i + 1 < argc;
        if (is(argv[i], "-br")) {
            const auto rate = has_value ? whole_number(argv[++i], kLowestBitRate, kHighestBitRate) : std::nullopt;
            if (!rate) return false;
            options.bit_rate = static_cast<int>(*rate);
        } else if (is(argv[i], "--threads")) {
            const auto count = has_value ? whole_number(argv[++i], 1, kMostThreads) : std::nullopt;
            if (!count) return false;
            options.threads = static_cast<int>(*count);
        } else {
            options.downmix = options.downmix || is(argv[i], "-dm");
            options.report_joins = options.report_joins || is(argv[i], "--report-joins");
            options.report_cpu = options.report_cpu || is(argv[i], "--report-cpu");
            options.workers_in_turn = options.workers_in_turn || is(argv[i], "--workers-in-turn");
            options.help = options.help || is(argv[i], "--help") || is(argv[i], "-h");
            options.version = options.version || is(argv[i], "--version");
        }
    }
    return true;
}

} // namespace

bool parse_options(int argc, char** argv, Options& options) {
    // Alone, the first argument is a switch; otherwise the first two are the paths.
    if (argc == 2) {
        parse_switches(argc, argv, 1, options);
        return false;
    }
    if (argc < 3) return false;
    for (int i = 1; i <= 2; ++i) {
        options.help = is(argv[i], "--help") || is(argv[i], "-h");
        if (known_switch(argv[i])) return false;
    }
    options.input = argv[1];
    options.output = argv[2];
    // Standard output carries the last progress line, so it cannot carry audio; nor is
    // "-" read as standard input. Such a path is a usage error, not a file named "-".
    if (options.input == "-" || options.output == "-") return false;
    return parse_switches(argc, argv, 3, options);
}

} // namespace encoder
