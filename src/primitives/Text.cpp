#include "primitives/Text.h"

#include "shared/PathParts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace primitives {

Text to_text(int value) {
    return std::to_string(value);
}

Text to_text(std::int64_t value) {
    return std::to_string(value);
}

Text to_text(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", value);
    return buffer;
}

Text to_text(const Bytes& block) {
    Text text;
    for (std::uint8_t byte : block) {
        if (byte == 0) break;
        text.push_back(static_cast<char>(byte));
    }
    return text;
}

namespace {

// Full-width forms become their ASCII twins before a number is parsed, so "５.３"
// typed with a Chinese input method reads as 5.3.
Text fold_full_width(const Text& text) {
    Text folded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto lead = static_cast<std::uint8_t>(text[i]);
        if (lead < 0x80) {
            folded.push_back(text[i]);
            continue;
        }
        if (i + 1 >= text.size()) break;
        auto trail = static_cast<std::uint8_t>(text[++i]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE)
            folded.push_back(static_cast<char>(trail - 0x80));
        else if (lead == 0xA1 && trail == 0xA1)
            folded.push_back(' ');
        else if (lead == 0xA1 && trail == 0xAB)
            folded.push_back('~');
        else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF))
            folded.push_back('*');
        else {
            folded.push_back(static_cast<char>(lead));
            folded.push_back(static_cast<char>(trail));
        }
    }
    return folded;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_blank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Length of the longest prefix of s (from pos) that reads as a decimal number.
std::size_t number_extent(const Text& s, std::size_t pos) {
    std::size_t end = pos;
    if (end < s.size() && (s[end] == '+' || s[end] == '-')) ++end;
    std::size_t digits = 0;
    while (end < s.size() && is_digit(s[end]))
        ++end, ++digits;
    if (end < s.size() && s[end] == '.') {
        std::size_t after = end + 1;
        std::size_t fraction = 0;
        while (after < s.size() && is_digit(s[after]))
            ++after, ++fraction;
        if (digits + fraction > 0) end = after, digits += fraction;
    }
    if (digits == 0) return 0;
    if (end < s.size() && (s[end] == 'e' || s[end] == 'E')) {
        std::size_t exp = end + 1;
        if (exp < s.size() && (s[exp] == '+' || s[exp] == '-')) ++exp;
        if (exp < s.size() && is_digit(s[exp])) {
            while (exp < s.size() && is_digit(s[exp]))
                ++exp;
            end = exp;
        }
    }
    return end - pos;
}

} // namespace

double to_number(const Text& text) {
    const Text s = fold_full_width(text);
    std::size_t pos = 0;
    while (pos < s.size() && is_blank(s[pos]))
        ++pos;
    const std::size_t length = number_extent(s, pos);
    if (length == 0) return 0.0;
    bool negative = s[pos] == '-';
    std::size_t first = pos + ((s[pos] == '+' || s[pos] == '-') ? 1 : 0);
    double value = 0.0;
    // from_chars ignores the locale, which QApplication sets from the environment.
    const auto [end, error] = std::from_chars(s.data() + first, s.data() + pos + length, value);
    if (error == std::errc::result_out_of_range) {
        // Too large reads as infinity, too small as zero, as a plain parse would give.
        const std::string_view number(s.data() + first, static_cast<std::size_t>(end - s.data()) - first);
        const auto exponent = number.find_first_of("eE");
        const bool tiny =
            exponent != std::string_view::npos && exponent + 1 < number.size() && number[exponent + 1] == '-';
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

std::int64_t text_length(const Text& text) {
    return static_cast<std::int64_t>(text.size());
}

Text middle_text(const Text& text, std::int64_t start, std::int64_t count) {
    const auto length = text_length(text);
    if (start < 1 || start > length || count <= 0) return {};
    return text.substr(static_cast<std::size_t>(start - 1),
                       static_cast<std::size_t>(std::min(count, length - start + 1)));
}

Text right_text(const Text& text, std::int64_t n) {
    if (n <= 0) return {};
    const auto take = std::min(n, text_length(text));
    return text.substr(text.size() - static_cast<std::size_t>(take));
}

namespace {

std::size_t character_width(const Text& text, std::size_t pos, CodePage page) {
    auto byte = static_cast<std::uint8_t>(text[pos]);
    if (byte < 0x80) return 1;
    if (page == CodePage::Gbk) return 2;
    if (byte >= 0xF0 && byte <= 0xF7) return 4;
    if (byte >= 0xE0) return byte <= 0xEF ? 3 : 1;
    if (byte >= 0xC0) return 2;
    return 1;
}

// Calls found(position) for every match that starts on a character boundary.
template <typename Found> void walk_matches(const Text& text, const Text& sought, CodePage page, Found found) {
    std::size_t pos = 0;
    while (pos < text.size() && text.size() - pos >= sought.size()) {
        if (text.compare(pos, sought.size(), sought) == 0 && !found(static_cast<std::int64_t>(pos) + 1)) return;
        pos += character_width(text, pos, page);
    }
}

enum class Which { First, Last };

std::int64_t find_match(const Text& text, const Text& sought, CodePage page, Which which) {
    if (sought.empty()) return text.empty() ? -1 : 1;
    std::int64_t result = -1;
    walk_matches(text, sought, page, [&](std::int64_t position) {
        result = position;
        return which == Which::Last;
    });
    return result;
}

} // namespace

std::int64_t find_text(const Text& text, const Text& sought, CodePage page) {
    return find_match(text, sought, page, Which::First);
}

std::int64_t find_text_from_end(const Text& text, const Text& sought, CodePage page) {
    return find_match(text, sought, page, Which::Last);
}

Text to_upper(const Text& text) {
    Text upper = text;
    for (std::size_t i = 0; i < upper.size(); ++i) {
        auto byte = static_cast<std::uint8_t>(upper[i]);
        if (byte >= 0x80)
            ++i;
        else if (byte >= 'a' && byte <= 'z')
            upper[i] = static_cast<char>(byte - 'a' + 'A');
    }
    return upper;
}

Text join_texts(std::initializer_list<Text> texts) {
    Text joined;
    for (const Text& text : texts)
        joined += text;
    return joined;
}

namespace {

constexpr double kRoundingBias = 1e-12;

double round_half_up(double magnitude) {
    double whole = 0.0;
    double fraction = std::modf(magnitude + kRoundingBias, &whole);
    return fraction >= 0.5 ? whole + 1.0 : whole;
}

} // namespace

double round_to(double x, int decimals) {
    if (x == 0.0) return x;
    const double magnitude = std::fabs(x);
    double result = 0.0;
    if (decimals == 0) {
        result = round_half_up(magnitude);
    } else if (decimals > 0) {
        const double m = std::pow(10.0, decimals);
        result = round_half_up(magnitude * m) / m;
    } else {
        const double m = std::pow(10.0, -decimals);
        result = round_half_up(magnitude / m) * m;
    }
    return std::copysign(result, x);
}

std::int64_t integer_part(double x) {
    // 2^63: the first value a 64-bit integer cannot hold; -2^63 is the last it can.
    constexpr double kLimit = 9223372036854775808.0;
    if (std::isnan(x)) return 0;
    if (x >= kLimit) return std::numeric_limits<std::int64_t>::max();
    if (x <= -kLimit) return std::numeric_limits<std::int64_t>::min();
    double whole = 0.0;
    const double fraction = std::modf(x, &whole);
    if (std::fabs(fraction) > 0.999999999999) x = x > 0 ? whole + 1.0 : whole - 1.0;
    return static_cast<std::int64_t>(std::floor(x));
}

Bytes blank_bytes(std::int64_t n) {
    return n <= 0 ? Bytes{} : Bytes(static_cast<std::size_t>(n), 0);
}

Bytes middle_bytes(const Bytes& block, std::int64_t start, std::int64_t count) {
    const auto length = static_cast<std::int64_t>(block.size());
    start = std::clamp<std::int64_t>(start, 1, length + 1);
    count = std::max<std::int64_t>(count, 0);
    const auto take = std::min(count, length - start + 1);
    auto first = block.begin() + (start - 1);
    return Bytes(first, first + take);
}

} // namespace primitives
