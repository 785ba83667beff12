// tvenc's command line from any words: what it accepts always names two paths (never
// "-") and holds its numbers within their bounds.
#include "encoder/base/Options.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> words{"tvenc", ""};
    for (std::size_t i = 0; i < size && words.size() < 12; ++i) {
        if (data[i] == 0)
            words.emplace_back();
        else
            words.back() += static_cast<char>(data[i]);
    }
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    encoder::Options options;
    if (!encoder::parse_options(static_cast<int>(argv.size()), argv.data(), options).empty()) return 0;
    if (options.input == "-" || options.output == "-") std::abort();
    if (options.bit_rate < 8000 || options.bit_rate > 320000) std::abort();
    if (options.threads < 0 || options.threads > 256) std::abort();
    return 0;
}
