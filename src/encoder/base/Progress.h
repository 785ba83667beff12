#pragma once

#include <chrono>
#include <cstdint>

namespace encoder {

// The progress line, printed whenever the completed share in thirds of a percent
// changes: below 100.0 on stderr, the 100.0 line on stdout, then a line feed on
// stderr. The figure never goes back. The reader of these lines looks for "n:" and
// "%", so nothing else that tvenc prints may hold "n:".
class Progress {
public:
    Progress(std::int64_t total_samples, long rate);

    // total may be an estimate; the figure stays below 100 until done() is called.
    void advance(std::int64_t samples);
    // The same, from a count of all samples done so far.
    void set(std::int64_t samples);
    // The count starts again from 0 (a second attempt at the same file): from now on
    // the figure moves from where it stands to 100 over the whole count.
    void continue_from_here();
    void done();
    // Samples (per channel) counted so far, since the count last started again.
    std::int64_t counted() const { return m_samples; }

private:
    void print(int thirds, bool final);

    std::int64_t m_total;
    long m_rate;
    std::int64_t m_samples = 0;
    std::int64_t m_offset = 0; // samples shown as done when the count started again
    int m_thirds = -1;
    std::chrono::steady_clock::time_point m_start;
};

} // namespace encoder
