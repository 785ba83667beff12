#include "convert/ProgressLines.h"

#include "shared/ProgressContract.h"

#include <algorithm>
#include <cmath>

namespace convert {

using namespace primitives;

namespace {

const Text kPrefix = progress_contract::kPrefix;
const Text kFailurePrefix = progress_contract::kFailurePrefix;
const Text kNumberedPrefix = progress_contract::kNumberedPrefix;
// A child that never ends a line must not make the run hold its output forever.
constexpr std::size_t kLongestLine = 4096;

bool starts_with(const Text& text, const Text& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

std::optional<ProgressUpdate> ProgressLines::feed(const Text& piece) {
    std::optional<ProgressUpdate> newest;
    for (char c : piece) {
        if (c != '\r' && c != '\n') {
            if (m_partial.size() < kLongestLine) m_partial.push_back(c);
            continue;
        }
        if (auto update = take_line(m_partial)) newest = update;
        m_partial.clear();
    }
    return newest;
}

std::optional<ProgressUpdate> ProgressLines::finish() {
    auto update = take_line(m_partial);
    m_partial.clear();
    return update;
}

Text ProgressLines::failure_line() const {
    return starts_with(m_last, kFailurePrefix) ? m_last : Text{};
}

std::optional<ProgressUpdate> ProgressLines::take_line(const Text& line) {
    if (line.empty()) return std::nullopt;
    m_last = line;
    if (starts_with(line, kNumberedPrefix)) {
        const std::size_t digits = line.find_first_not_of("0123456789", kNumberedPrefix.size());
        const Text number = line.substr(kNumberedPrefix.size(), digits - kNumberedPrefix.size());
        if (!number.empty() && number.size() < 6 && digits != Text::npos && line[digits] == ':')
            m_numbered = std::stoi(number);
    }
    if (!starts_with(line, kPrefix)) return std::nullopt;
    const auto percent = line.find(progress_contract::kFigureEnd, kPrefix.size());
    if (percent == Text::npos) return std::nullopt;
    double value = to_number(line.substr(kPrefix.size(), percent - kPrefix.size()));
    // Held to the bar's range before any conversion to int.
    value = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 100.0);
    return ProgressUpdate{static_cast<int>(value), to_text(round_to(value)) + "%"};
}

} // namespace convert
