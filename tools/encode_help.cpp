// Turns the UTF-8 sources of the help file into what CHM viewers read right for a
// file marked as Simplified Chinese (language 0x804): the pages as ASCII with
// numeric character references, the project and contents files in GBK.
//   encode_help html <in> <out>
//   encode_help gbk <in> <out>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iconv.h>
#include <iterator>
#include <string>
#include <string_view>

namespace {

std::string read_file(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Each character beyond ASCII as "&#N;"; false on bytes that are no UTF-8.
bool to_references(const std::string& text, std::string& out) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += text[i++];
            continue;
        }
        const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) return false;
        unsigned long code = lead & (0x7F >> length);
        for (int k = 1; k < length; ++k)
            code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        out += "&#" + std::to_string(code) + ";";
        i += static_cast<std::size_t>(length);
    }
    return true;
}

// Bytes of the UTF-8 character that starts at text[i].
std::size_t char_length(const std::string& text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return std::min(length, text.size() - i);
}

bool starts_with(const std::string& text, std::size_t at, const char* prefix) {
    return text.compare(at, std::char_traits<char>::length(prefix), prefix) == 0;
}

// Chinese typesetting: no line starts with closing punctuation, none ends with opening
// punctuation, and no line break falls inside a word or number of Latin letters and digits.
bool closes(const std::string& c) {
    static const char* const kClosing[] = {"，", "。", "、", "：", "；", "！", "？", "）", "」", "』",
                                           "”",  "’",  "%",  ",",  ".",  ";",  ":",  "!",  "?",  ")"};
    return std::any_of(std::begin(kClosing), std::end(kClosing), [&](const char* mark) { return c == mark; });
}

bool opens(const std::string& c) {
    static const char* const kOpening[] = {"（", "「", "『", "“", "‘", "("};
    return std::any_of(std::begin(kOpening), std::end(kOpening), [&](const char* mark) { return c == mark; });
}

bool latin(const std::string& c) {
    return c.size() == 1 && std::isalnum(static_cast<unsigned char>(c[0]));
}

// Whether a line may end after before and the next start with after.
bool may_break_between(const std::string& before, const std::string& after) {
    return !before.empty() && !closes(after) && !opens(before) && !(latin(before) && latin(after));
}

// The character that starts at text[i], tags passed over; empty at the end.
std::string next_character(const std::string& text, std::size_t i) {
    while (i < text.size() && text[i] == '<') {
        const std::size_t end = text.find('>', i);
        i = end == std::string::npos ? text.size() : end + 1;
    }
    return i < text.size() ? text.substr(i, char_length(text, i)) : std::string{};
}

// xchm breaks lines only at spaces, so a Chinese sentence runs off the right edge of its
// window: a line break goes in wherever a line of the body would pass the width of the
// viewer's default window (counted in half-width columns; table cells are narrower), after
// a punctuation mark where one comes near enough. Where typesetting forbids the break
// there, it goes in at the next place that allows it: a line may run a character over.
std::string wrap_for_viewers(const std::string& text) {
    constexpr int kLine = 46, kCell = 26, kNear = 8;
    static const char* const kPunctuation[] = {"，", "。", "；", "：", "、", "）", "」", "”"};
    std::string out;
    std::string previous; // the last character on the line, tags left out; empty at its start
    int column = 0, width = kLine;
    bool body = false, due = false;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '<') {
            const std::size_t end = text.find('>', i);
            const std::string tag = text.substr(i, end == std::string::npos ? std::string::npos : end - i + 1);
            if (starts_with(tag, 0, "<body")) body = true;
            if (starts_with(tag, 0, "<td") || starts_with(tag, 0, "<th")) width = kCell;
            if (starts_with(tag, 0, "</td") || starts_with(tag, 0, "</th")) width = kLine;
            // Block tags start a new line in the viewer.
            for (const char* block :
                 {"<p", "</p", "<li", "<br", "<h", "</h", "<td", "<th", "<tr", "<ol", "<ul", "<table"})
                if (starts_with(tag, 0, block)) {
                    column = 0;
                    previous.clear();
                    due = false;
                }
            out += tag;
            i += tag.size();
            continue;
        }
        const std::size_t length = char_length(text, i);
        const std::string character = text.substr(i, length);
        const bool wide = length > 1;
        // At a space, the Latin word after it must fit on the line as well.
        std::size_t word = 0;
        for (std::size_t at = i + 1; text[i] == ' ' && at < text.size();) {
            if (text[at] == '<') { // markup inside the word takes no room
                const std::size_t close = text.find('>', at);
                at = close == std::string::npos ? text.size() : close + 1;
                continue;
            }
            if (static_cast<unsigned char>(text[at]) >= 0x80 || text[at] == ' ' || text[at] == '\n') break;
            ++word;
            ++at;
        }
        // A character that must keep the next one on its line (an opening mark, or one a
        // closing mark follows) goes to the next line already where the pair would not fit.
        const std::string next = next_character(text, i + length);
        const bool pair_over = wide && column + 2 + (closes(next) ? 2 : 0) > width + (opens(character) ? 0 : 1);
        if (body &&
            (column >= width || (text[i] == ' ' && column + 1 + static_cast<int>(word) > width) ||
             (pair_over && (closes(next) || opens(character)))) &&
            (wide || text[i] == ' '))
            due = true;
        if (due && may_break_between(previous, character == " " ? std::string("x") : character)) {
            // A space stays where it was, before the break: the text reads the same.
            out += text[i] == ' ' ? " <br>" : "<br>";
            column = 0;
            previous.clear();
            due = false;
            if (text[i] == ' ') {
                ++i;
                continue;
            }
        }
        out += character;
        i += length;
        column += wide ? 2 : 1;
        previous = text[i - 1] == '\n' ? previous : character;
        for (const char* mark : kPunctuation)
            if (body && character == mark && column >= width - kNear) due = true;
    }
    return out;
}

bool to_gbk(const std::string& text, std::string& out) {
    iconv_t cd = ::iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in_copy = text;
    char* in = in_copy.data();
    std::size_t in_left = in_copy.size();
    std::string buffer(text.size() * 2 + 16, '\0');
    char* dst = buffer.data();
    std::size_t out_left = buffer.size();
    const bool ok = ::iconv(cd, &in, &in_left, &dst, &out_left) != static_cast<std::size_t>(-1);
    ::iconv_close(cd);
    out.assign(buffer.data(), buffer.size() - out_left);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: encode_help html|gbk <in> <out>\n", stderr);
        return 2;
    }
    const std::string mode = argv[1];
    std::string out;
    const bool ok =
        mode == "html" ? to_references(wrap_for_viewers(read_file(argv[2])), out) : to_gbk(read_file(argv[2]), out);
    if (!ok) {
        std::fprintf(stderr, "encode_help: %s: cannot convert\n", argv[2]);
        return 1;
    }
    std::ofstream(argv[3], std::ios::binary) << out;
    return 0;
}
