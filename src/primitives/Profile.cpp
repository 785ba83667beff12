#include "primitives/Profile.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace primitives {

namespace {

constexpr std::size_t kMaxValueBytes = 10239;

Text strip_leading_controls(const Text& text) {
    std::size_t pos = 0;
    while (pos < text.size() && static_cast<std::uint8_t>(text[pos]) <= 0x20) ++pos;
    return text.substr(pos);
}

Text trim(const Text& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
    while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t' || text[last - 1] == '\r')) --last;
    return text.substr(first, last - first);
}

bool same_name(const Text& a, const Text& b) { return ::strcasecmp(a.c_str(), b.c_str()) == 0; }

std::vector<Text> read_lines(const Text& file) {
    std::vector<Text> lines;
    std::ifstream in(file, std::ios::binary);
    for (Text line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// "[name]" gives name; anything else gives nothing.
bool section_name(const Text& line, Text& name) {
    const Text t = trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
    name = trim(t.substr(1, t.size() - 2));
    return true;
}

bool key_of(const Text& line, Text& key, Text& value) {
    const auto eq = line.find('=');
    if (eq == Text::npos) return false;
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return true;
}

struct Place {
    std::ptrdiff_t section = -1;     // line of the "[section]" header
    std::ptrdiff_t section_end = -1; // one past the last non-blank line of it
    std::ptrdiff_t key = -1;         // line of the key inside it
};

Place locate(const std::vector<Text>& lines, const Text& section, const Text& key) {
    Place place;
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        Text name, k, v;
        if (section_name(lines[i], name)) {
            if (inside) break;
            inside = same_name(name, section);
            if (inside) {
                place.section = static_cast<std::ptrdiff_t>(i);
                place.section_end = place.section + 1;
            }
            continue;
        }
        if (!inside) continue;
        if (!trim(lines[i]).empty()) place.section_end = static_cast<std::ptrdiff_t>(i) + 1;
        if (place.key < 0 && key_of(lines[i], k, v) && same_name(k, key)) place.key = static_cast<std::ptrdiff_t>(i);
    }
    return place;
}

bool replace_file(const Text& file, const std::vector<Text>& lines) {
    const Text temporary = file + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        for (const Text& line : lines) out << line << '\n';
        out.flush();
        if (!out) {
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

Text read_profile_value(const Text& file, const Text& section, const Text& key, const Text& fallback) {
    const Text f = strip_leading_controls(file);
    const Text s = strip_leading_controls(section);
    const Text k = strip_leading_controls(key);
    if (f.empty() || s.empty() || k.empty()) return {};
    const auto lines = read_lines(f);
    const Place place = locate(lines, s, k);
    if (place.key < 0) return fallback;
    Text name, value;
    key_of(lines[static_cast<std::size_t>(place.key)], name, value);
    return value.substr(0, kMaxValueBytes);
}

bool write_profile_value(const Text& file, const Text& section, const Text& key, const Text& value) {
    if (file.empty() || section.empty() || key.empty()) return false;
    std::vector<Text> lines = read_lines(file);
    const Place place = locate(lines, section, key);
    const Text entry = key + "=" + value;
    if (place.key >= 0) {
        lines[static_cast<std::size_t>(place.key)] = entry;
    } else if (place.section >= 0) {
        lines.insert(lines.begin() + place.section_end, entry);
    } else {
        lines.push_back("[" + section + "]");
        lines.push_back(entry);
    }
    return replace_file(file, lines);
}

Text settings_file() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    Text base = config && *config ? Text(config) : Text{};
    if (base.empty()) {
        const char* home = std::getenv("HOME");
        base = Text(home ? home : "") + "/.config";
    }
    ::mkdir(base.c_str(), 0700);
    const Text folder = base + "/tunvask";
    ::mkdir(folder.c_str(), 0700);
    return folder + "/tunvask.ini";
}

} // namespace primitives
