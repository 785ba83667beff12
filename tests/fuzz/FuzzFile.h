#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

// The fuzzer's bytes as a file of their own, removed when done.
class FuzzFile {
public:
    FuzzFile(const std::uint8_t* data, std::size_t size, const char* suffix = "") {
        std::string pattern = std::string("/tmp/tunvask-fuzz-XXXXXX") + suffix;
        const int fd = ::mkstemps(pattern.data(), static_cast<int>(std::string(suffix).size()));
        if (fd < 0) std::abort();
        ::close(fd);
        m_path = pattern;
        std::ofstream(m_path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    ~FuzzFile() { ::unlink(m_path.c_str()); }
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};
