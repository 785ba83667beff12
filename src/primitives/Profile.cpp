#include "primitives/Profile.h"

#include "shared/Descriptor.h"
#include "shared/PathParts.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sstream>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace primitives {

namespace {

constexpr std::size_t kMaxValueBytes = 10239;

Text strip_leading_controls(const Text& text) {
    std::size_t pos = 0;
    while (pos < text.size() && static_cast<std::uint8_t>(text[pos]) <= 0x20)
        ++pos;
    return text.substr(pos);
}

Text trim(const Text& text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && (text[first] == ' ' || text[first] == '\t'))
        ++first;
    while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t' || text[last - 1] == '\r'))
        --last;
    return text.substr(first, last - first);
}

bool same_name(const Text& a, const Text& b) {
    return ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Every line of the file; an empty list when there is no file yet, and nothing at
// all when it exists but cannot be read whole, so that a rewrite loses nothing.
std::optional<std::vector<Text>> read_lines(const Text& file) {
    std::vector<Text> lines;
    const shared::Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return errno == ENOENT ? std::optional(lines) : std::nullopt;
    Text content;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(fd.get(), buffer, sizeof buffer)) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        content.append(buffer, static_cast<std::size_t>(got));
    }
    if (got < 0) return std::nullopt;
    std::istringstream in(content);
    for (Text line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Line i as read: the first without the byte-order mark that some editors put before it.
Text line_at(const std::vector<Text>& lines, std::size_t i) {
    return i == 0 && lines[0].starts_with("\xEF\xBB\xBF") ? lines[0].substr(3) : lines[i];
}

// "[name]", up to its "]": a comment may follow on the line. Anything else gives nothing.
bool section_name(const Text& line, Text& name) {
    const Text t = trim(line);
    const auto close = t.find(']');
    if (t.empty() || t.front() != '[' || close == Text::npos) return false;
    name = trim(t.substr(1, close - 1));
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
        const Text line = line_at(lines, i);
        if (section_name(line, name)) {
            if (inside) break;
            inside = same_name(name, section);
            if (inside) {
                place.section = static_cast<std::ptrdiff_t>(i);
                place.section_end = place.section + 1;
            }
            continue;
        }
        if (!inside) continue;
        if (!trim(line).empty()) place.section_end = static_cast<std::ptrdiff_t>(i) + 1;
        if (place.key < 0 && key_of(line, k, v) && same_name(k, key)) place.key = static_cast<std::ptrdiff_t>(i);
    }
    return place;
}

int mode_for(const Text& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0) return static_cast<int>(info.st_mode & 07777);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~static_cast<int>(mask);
}

// The new file replaces the old by a rename, so a crash never leaves half a file.
// Each line keeps its own ending (a carriage return kept at its end, for CRLF).
bool replace_file(const Text& file, const std::vector<Text>& lines) {
    Text content;
    for (const Text& line : lines)
        content += line + "\n";
    Text temporary = file + ".XXXXXX";
    shared::Descriptor fd(::mkstemp(temporary.data()));
    if (!fd) return false;
    bool ok = ::fchmod(fd.get(), static_cast<mode_t>(mode_for(file))) == 0;
    for (std::size_t done = 0; ok && done < content.size();) {
        const ssize_t n = ::write(fd.get(), content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    ok = shared::close_now(fd) && ok;
    if (!ok || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Two programs writing at once take turns, so neither loses the other's key.
class ProfileLock {
public:
    explicit ProfileLock(const Text& file)
        : m_fd(::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (m_fd) {
            while (::flock(m_fd.get(), LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }

private:
    shared::Descriptor m_fd; // the lock goes with it
};

bool holds_line_break(const Text& text) {
    return text.find_first_of("\r\n") != Text::npos;
}

} // namespace

Text read_profile_value(const Text& file, const Text& section, const Text& key, const Text& fallback) {
    const Text f = strip_leading_controls(file);
    const Text s = strip_leading_controls(section);
    const Text k = strip_leading_controls(key);
    if (f.empty() || s.empty() || k.empty()) return {};
    const auto lines = read_lines(f);
    if (!lines) return fallback;
    const Place place = locate(*lines, s, k);
    if (place.key < 0) return fallback;
    Text name, value;
    key_of((*lines)[static_cast<std::size_t>(place.key)], name, value);
    return value.substr(0, kMaxValueBytes);
}

bool write_profile_value(const Text& file, const Text& section, const Text& key, const Text& value) {
    if (file.empty() || section.empty() || key.empty()) return false;
    // A line break would end the entry early and start lines of its own.
    if (holds_line_break(section) || holds_line_break(key) || holds_line_break(value)) return false;
    // A symlinked settings file is updated where it points, even where the link points
    // at a file not made yet (dotfiles kept in a repository of their own).
    const Text target = shared::destination_of(file);
    // Only a regular file is replaced: a FIFO or device in its place stays what it is.
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return false;
    ProfileLock lock(target);
    auto read = read_lines(target);
    if (!read) return false;
    std::vector<Text>& lines = *read;
    // Every line keeps its own ending (CRLF from Windows, LF); a written line takes the
    // ending of the line it replaces or follows, and a new file has LF.
    const auto ending_of = [&](std::ptrdiff_t at) {
        return at >= 0 && static_cast<std::size_t>(at) < lines.size() &&
                       lines[static_cast<std::size_t>(at)].ends_with('\r')
                   ? Text("\r")
                   : Text{};
    };
    const Place place = locate(lines, section, key);
    const Text entry = key + "=" + value;
    if (place.key >= 0) {
        lines[static_cast<std::size_t>(place.key)] = entry + ending_of(place.key);
    } else if (place.section >= 0) {
        lines.insert(lines.begin() + place.section_end, entry + ending_of(place.section_end - 1));
    } else {
        const Text end = ending_of(static_cast<std::ptrdiff_t>(lines.size()) - 1);
        lines.push_back("[" + section + "]" + end);
        lines.push_back(entry + end);
    }
    return replace_file(target, lines);
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
