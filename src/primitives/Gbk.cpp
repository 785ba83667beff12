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

    Text convert(const Text& input) {
        Text output;
        if (m_cd == reinterpret_cast<iconv_t>(-1)) return ascii_only(input);
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
            // An invalid pair counts as one character, as the GBK walk reads it.
            const bool pair = in_left >= 2 && static_cast<std::uint8_t>(in[0]) >= 0x80;
            const std::size_t skip = pair ? 2 : 1;
            in += skip;
            in_left -= skip;
            output += kReplacement;
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

} // namespace

Text gbk_to_utf8(const Text& gbk) {
    thread_local Converter converter;
    return converter.convert(gbk);
}

} // namespace primitives
