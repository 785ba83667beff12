#include "encoder/base/SourceCursor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace encoder {

ssize_t SourceCursor::read(void* buffer, std::size_t size) {
    constexpr std::size_t kWindowBytes = 64 * 1024;
    auto* to = static_cast<char*>(buffer);
    std::size_t done = 0;
    // Whole reads, short only at the end: libsndfile takes a short read for the end.
    while (done < size) {
        const bool in_window =
            position >= m_window_start && position < m_window_start + static_cast<std::int64_t>(m_window.size());
        if (!in_window) {
            if (size - done >= kWindowBytes) {
                const ssize_t got = file->read_at(to + done, size - done, position);
                if (got <= 0) return done > 0 ? static_cast<ssize_t>(done) : got;
                position += got;
                done += static_cast<std::size_t>(got);
                continue;
            }
            m_window.resize(kWindowBytes);
            const ssize_t got = file->read_at(m_window.data(), kWindowBytes, position);
            m_window.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
            m_window_start = position;
            if (got <= 0) return done > 0 ? static_cast<ssize_t>(done) : got;
        }
        const auto offset = static_cast<std::size_t>(position - m_window_start);
        const std::size_t n = std::min(size - done, m_window.size() - offset);
        std::memcpy(to + done, m_window.data() + offset, n);
        position += static_cast<std::int64_t>(n);
        done += n;
    }
    return static_cast<ssize_t>(done);
}

std::int64_t SourceCursor::seek(std::int64_t offset, int whence) {
    const std::int64_t base = whence == SEEK_SET ? origin : whence == SEEK_CUR ? position : file->size();
    if (base + offset < origin) return -1;
    position = base + offset;
    return position;
}

} // namespace encoder
