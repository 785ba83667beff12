#include "encoder/base/Progress.h"

#include "encoder/base/Console.h"
#include "shared/ProgressContract.h"

#include <algorithm>
#include <cstdio>

namespace encoder {

Progress::Progress(std::int64_t total_samples, long rate)
    : m_total(total_samples), m_rate(rate), m_start(std::chrono::steady_clock::now()) {
    print(0, false);
}

void Progress::advance(std::int64_t samples) {
    set(m_samples + samples);
}

void Progress::set(std::int64_t samples) {
    m_samples = samples;
    if (m_total <= 0) return;
    const std::int64_t shown = m_offset + m_samples * (m_total - m_offset) / m_total;
    const auto thirds = static_cast<int>(std::min<std::int64_t>(shown * 300 / m_total, 299));
    if (thirds > m_thirds) print(thirds, false);
}

void Progress::continue_from_here() {
    if (m_total <= 0) return;
    m_offset = std::clamp<std::int64_t>(m_offset + m_samples * (m_total - m_offset) / m_total, 0, m_total);
    m_samples = 0;
}

void Progress::done() {
    print(300, true);
}

void Progress::print(int thirds, bool final) {
    m_thirds = thirds;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    const double share = thirds / 300.0;
    const double to_go = share > 0 ? elapsed / share - elapsed : 0.0;
    const double audio = m_rate > 0 ? static_cast<double>(m_samples) / m_rate : 0.0;
    const double speed = elapsed > 0 ? audio / elapsed : 0.0;
    const int e = static_cast<int>(elapsed);
    const int g = static_cast<int>(to_go);
    std::FILE* stream = final ? stdout : Console::stream();
    std::fprintf(stream, progress_contract::kLineFormat, thirds / 3.0, e / 60, e % 60, g / 60, g % 60, speed);
    std::fflush(stream);
    if (final) std::fputc('\n', Console::stream());
    Console::set_progress_open(!final);
}

} // namespace encoder
