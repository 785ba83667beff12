// Turns the UTF-8 sources of the help file into what CHM viewers read right for a
// file marked as Simplified Chinese (language 0x804): the pages as ASCII with
// numeric character references, the project and contents files in GBK.
//   encode_help html <in> <out>
//   encode_help gbk <in> <out>
#include <cstdio>
#include <fstream>
#include <iconv.h>
#include <iterator>
#include <string>

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
    const bool ok = mode == "html" ? to_references(read_file(argv[2]), out) : to_gbk(read_file(argv[2]), out);
    if (!ok) {
        std::fprintf(stderr, "encode_help: %s: cannot convert\n", argv[2]);
        return 1;
    }
    std::ofstream(argv[3], std::ios::binary) << out;
    return 0;
}
