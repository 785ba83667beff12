#include "primitives/Gbk.h"

#include <cerrno>
#include <iconv.h>

namespace primitives {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";

class Converter {
public:
    Converter() : m_cd(::iconv_open("UTF-8", "GBK")) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) ::iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // clean, when given, learns whether every byte was part of a GBK character.
    Text convert(const Text& input, bool* clean = nullptr) {
        if (clean) *clean = true;
        Text output;
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            if (clean) *clean = false;
            return ascii_only(input);
        }
        ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(input.data());
        std::size_t in_left = input.size();
        char buffer[256];
        while (in_left > 0) {
            char* out = buffer;
            std::size_t out_left = sizeof buffer;
            const std::size_t rc = ::iconv(m_cd, &in, &in_left, &out, &out_left);
            output.append(buffer, static_cast<std::size_t>(out - buffer));
            if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
            // Only a lead byte with a possible second byte makes a pair: FF 41 is a bad
            // byte and an "A".
            const auto lead = static_cast<std::uint8_t>(in[0]);
            const bool pair = in_left >= 2 && lead >= 0x81 && lead <= 0xFE && static_cast<std::uint8_t>(in[1]) >= 0x40;
            const std::size_t skip = pair ? 2 : 1;
            in += skip;
            in_left -= skip;
            output += kReplacement;
            if (clean) *clean = false;
            ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        return output;
    }

private:
    static Text ascii_only(const Text& input) {
        Text output;
        for (char c : input) {
            if (static_cast<std::uint8_t>(c) < 0x80)
                output.push_back(c);
            else
                output += kReplacement;
        }
        return output;
    }

    iconv_t m_cd;
};

Converter& converter() {
    thread_local Converter instance;
    return instance;
}

// Length of the UTF-8 sequence that starts with lead, 0 when lead cannot start one.
std::size_t sequence_length(std::uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool valid_sequence(const std::uint8_t* s, std::size_t n) {
    for (std::size_t i = 1; i < n; ++i) {
        if ((s[i] & 0xC0) != 0x80) return false;
    }
    if (n == 3 && s[0] == 0xE0 && s[1] < 0xA0) return false;  // overlong
    if (n == 3 && s[0] == 0xED && s[1] >= 0xA0) return false; // surrogate
    if (n == 4 && s[0] == 0xF0 && s[1] < 0x90) return false;  // overlong
    if (n == 4 && s[0] == 0xF4 && s[1] >= 0x90) return false; // beyond U+10FFFF
    return true;
}

} // namespace

Text gbk_to_utf8(const Text& gbk) {
    return converter().convert(gbk);
}

bool is_utf8(const Text& bytes) {
    const auto* s = reinterpret_cast<const std::uint8_t*>(bytes.data());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = sequence_length(s[i]);
        if (n == 0 || i + n > bytes.size() || !valid_sequence(s + i, n)) return false;
        i += n;
    }
    return true;
}

namespace {

Text name_for_display(const Text& bytes) {
    if (is_utf8(bytes)) return bytes;
    bool clean = false;
    Text decoded = converter().convert(bytes, &clean);
    return clean ? decoded : bytes;
}

} // namespace

Text path_for_display(const Text& bytes) {
    // Each name on its own: a GBK-named file from an archive sits in folders the
    // system named in UTF-8. "/" is never part of a GBK character.
    Text shown;
    std::size_t start = 0;
    for (auto slash = bytes.find('/'); slash != Text::npos; slash = bytes.find('/', start)) {
        shown += name_for_display(bytes.substr(start, slash - start)) + '/';
        start = slash + 1;
    }
    return shown + name_for_display(bytes.substr(start));
}

} // namespace primitives
