#pragma once

#include <string>

namespace encoder {

struct Options {
    std::string input;
    std::string output;
    int bit_rate = 128000; // bits per second
    bool downmix = false;
    int threads = 0; // 0: every online core
    bool report_joins = false;
    // For benchmarks: the CPU time of each thread of a parallel encode, and the workers
    // run one after another, each as on a core of its own.
    bool report_cpu = false;
    bool workers_in_turn = false;
    bool help = false;
    bool version = false;
};

// The input and output paths come first (after "--" where one starts with "-"), then
// switches up to a "--"; unknown switches after the paths (the "on" after "-dm"
// included) are ignored. "-h", "--help" and "--version" count where a switch may stand,
// or alone. Returns what is wrong with the command, in a few words, or nothing when it
// is complete: the two paths are missing, a switch stands where a path must, a path is
// "-", or a switch's value is not one it takes.
std::string parse_options(int argc, char** argv, Options& options);

extern const char* const kUsage;
extern const char* const kVersion;

} // namespace encoder
