// Every line the help's own line breaks make reads as Chinese is typeset: none starts
// with closing punctuation or ends with opening punctuation, and no break splits a word
// or number of Latin letters and digits.
#include "AudioFixtures.h"
#include "TempDir.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

namespace {

// "&#N;" back to UTF-8.
std::string decoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t end = text.find(';', i);
        if (text.compare(i, 2, "&#") != 0 || end == std::string::npos) {
            out += text[i++];
            continue;
        }
        const unsigned long code = std::stoul(text.substr(i + 2, end - i - 2));
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
        i = end + 1;
    }
    return out;
}

// The first and the last character of text, tags and blanks left out.
std::string first_character(const std::string& text) {
    const std::string bare = std::regex_replace(text, std::regex("<[^>]*>|\\s"), "");
    if (bare.empty()) return {};
    const auto lead = static_cast<unsigned char>(bare[0]);
    return bare.substr(0, lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1);
}

std::string last_character(const std::string& text) {
    const std::string bare = std::regex_replace(text, std::regex("<[^>]*>|\\s"), "");
    std::size_t at = bare.size();
    while (at > 0 && (static_cast<unsigned char>(bare[at - 1]) & 0xC0) == 0x80)
        --at;
    return at == 0 ? std::string{} : bare.substr(at - 1);
}

} // namespace

TEST(HelpLines, BreakWhereChineseTypesettingAllows) {
    TempDir dir;
    const RunResult r = run_program({ENCODE_HELP_PATH, "html", HELP_SOURCE_PATH, dir.file("index.html")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string page = decoded(read_whole(dir.file("index.html")));
    const std::string closing[] = {"，", "。", "、", "：", "；", "！", "？", "）", "」", "』", "”", "%", ",", ".", ")"};
    const std::string opening[] = {"（", "「", "『", "“", "("};
    int breaks = 0;
    for (std::size_t at = page.find("<br>"); at != std::string::npos; at = page.find("<br>", at + 4)) {
        ++breaks;
        const std::string before = page.substr(at < 200 ? 0 : at - 200, std::min<std::size_t>(at, 200));
        const std::string last = last_character(before), next = first_character(page.substr(at + 4, 200));
        for (const std::string& mark : closing)
            EXPECT_NE(next, mark) << "a line starts with " << mark << " after: " << last_character(before);
        for (const std::string& mark : opening)
            EXPECT_NE(last, mark) << "a line ends with " << mark << " before: " << next;
        const auto latin = [](const std::string& c) { return c.size() == 1 && std::isalnum(c[0]); };
        // Between two words, where the space was, is a break like any other.
        EXPECT_FALSE(latin(last) && latin(next) && before.back() != ' ') << "a break inside " << last << next;
    }
    EXPECT_GT(breaks, 50) << "the help's lines are broken for the viewers";
}
