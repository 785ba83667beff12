// The settings file: whatever a file holds, writing a key keeps every other line and
// reads back the value written.
#include "primitives/Profile.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::string take(const std::uint8_t*& data, std::size_t& size, std::size_t most) {
    const std::size_t n = std::min(size, most);
    std::string text(reinterpret_cast<const char*>(data), n);
    data += n;
    size -= n;
    return text;
}

bool plain(const std::string& text) {
    return text.find_first_of("\r\n=[]") == std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string section = take(data, size, 8), key = take(data, size, 8), value = take(data, size, 16);
    const std::string content = take(data, size, size);
    char path[] = "/tmp/tunvask-fuzz-ini-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) return 0;
    ::close(fd);
    std::ofstream(path, std::ios::binary) << content;
    const bool written = primitives::write_profile_value(path, section, key, value);
    const bool usable = !section.empty() && !key.empty() && plain(section) && plain(key) && plain(value) &&
                        section.find_first_not_of(" \t") != std::string::npos &&
                        static_cast<unsigned char>(section[0]) > 0x20 && static_cast<unsigned char>(key[0]) > 0x20 &&
                        key.find_first_not_of(" \t") != std::string::npos && key.back() != ' ' && key.back() != '\t' &&
                        section.back() != ' ' && section.back() != '\t' && section.find('\0') == std::string::npos &&
                        key.find('\0') == std::string::npos && value.find('\0') == std::string::npos &&
                        (value.empty() || (value.front() != ' ' && value.front() != '\t' && value.back() != ' ' &&
                                           value.back() != '\t'));
    if (written && usable && primitives::read_profile_value(path, section, key, "\x01") != value) std::abort();
    if (value.find_first_of("\r\n") != std::string::npos && written) std::abort();
    ::unlink(path);
    return 0;
}
