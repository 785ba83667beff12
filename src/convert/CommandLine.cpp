#include "convert/CommandLine.h"

#include "primitives/Files.h"

namespace convert {

using namespace primitives;

Text switch_text(int kbps, int channel_selection) {
    Text text = join_texts({"-br ", to_text(kbps * 1000.0)});
    if (channel_selection == 1) text += " -dm on";
    return text;
}

std::vector<Text> encoder_arguments(const Text& encoder, const Text& source, const Text& output, const Text& switches) {
    std::vector<Text> arguments{encoder, source, output};
    Text word;
    for (char c : switches) {
        if (c != ' ') {
            word.push_back(c);
        } else if (!word.empty()) {
            arguments.push_back(word);
            word.clear();
        }
    }
    if (!word.empty()) arguments.push_back(word);
    return arguments;
}

std::vector<Text> encoder_environment() {
    return {"TVENC_PARENT_PID=" + to_text(process_id())};
}

} // namespace convert
