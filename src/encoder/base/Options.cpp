#include "encoder/base/Options.h"

#include "encoder/base/Failure.h"

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

std::string quoted(const char* word) {
    return "'" + echoed(word) + "'";
}

// The value of the switch at argv[i], within its bounds; the problem when it is not.
std::string take_number(int argc, char** argv, int& i, long lowest, long highest, const char* what, int& value) {
    const char* name = argv[i];
    if (i + 1 >= argc) return std::string(name) + " needs " + what;
    const auto number = whole_number(argv[++i], lowest, highest);
    if (!number) return std::string(name) + " takes " + what + ", not " + quoted(argv[i]);
    value = static_cast<int>(*number);
    return {};
}

std::string parse_switches(int argc, char** argv, int first, Options& options) {
    for (int i = first; i < argc; ++i) {
        std::string problem;
        if (is(argv[i], "--")) break;
        if (is(argv[i], "-br")) {
            problem = take_number(argc, argv, i, kLowestBitRate, kHighestBitRate, "a bit rate from 8000 to 320000",
                                  options.bit_rate);
        } else if (is(argv[i], "--threads")) {
            problem = take_number(argc, argv, i, 1, kMostThreads, "a count of threads from 1 to 256", options.threads);
        } else {
            options.downmix = options.downmix || is(argv[i], "-dm");
            options.report_joins = options.report_joins || is(argv[i], "--report-joins");
            options.report_cpu = options.report_cpu || is(argv[i], "--report-cpu");
            options.workers_in_turn = options.workers_in_turn || is(argv[i], "--workers-in-turn");
            options.help = options.help || is(argv[i], "--help") || is(argv[i], "-h");
            options.version = options.version || is(argv[i], "--version");
        }
        if (!problem.empty()) return problem;
    }
    return {};
}

// What is wrong with argument as a path, if anything.
std::string path_problem(const char* argument, bool switches_ended) {
    if (is(argument, "-"))
        return "'-' is not a path here: standard output carries the progress, and audio is read from files only";
    if (switches_ended || argument[0] != '-') return {};
    if (known_switch(argument)) return quoted(argument) + " stands where a file must: the two files come first";
    return "unknown switch " + quoted(argument) + " (name a file that starts with '-' as ./" + echoed(argument) + ")";
}

} // namespace

std::string parse_options(int argc, char** argv, Options& options) {
    const std::string missing = "an input and an output file are needed";
    // Alone, the first argument is a switch; otherwise the first two are the paths.
    if (argc == 2) {
        parse_switches(argc, argv, 1, options);
        return options.help || options.version || argv[1][0] != '-' ? missing : path_problem(argv[1], false);
    }
    const bool switches_ended = argc > 1 && is(argv[1], "--");
    const int first = switches_ended ? 2 : 1;
    if (argc < first + 2) return missing;
    for (int i = first; i < first + 2; ++i) {
        if (!switches_ended && (is(argv[i], "--help") || is(argv[i], "-h"))) {
            options.help = true;
            return missing;
        }
        if (std::string problem = path_problem(argv[i], switches_ended); !problem.empty()) return problem;
    }
    options.input = argv[first];
    options.output = argv[first + 1];
    return parse_switches(argc, argv, first + 2, options);
}

} // namespace encoder
