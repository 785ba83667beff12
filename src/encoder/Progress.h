#pragma once

#include <chrono>
#include <cstdint>

namespace encoder {

// The progress line, printed whenever the completed share in thirds of a percent
// changes: below 100.0 on stderr, the 100.0 line on stdout, then a line feed on
// stderr. The reader of these lines looks for "n:" and "%", so nothing else that
// tvenc prints may hold "n:".
class Progress {
public:
    Progress(std::int64_t total_frames, long rate);

    // total may be an estimate; the figure stays below 100 until done() is called.
    void advance(std::int64_t frames);
    // The same, from a count of all frames done so far.
    void set(std::int64_t frames);
    void done();

private:
    void print(int thirds, bool final);

    std::int64_t m_total;
    long m_rate;
    std::int64_t m_frames = 0;
    int m_thirds = -1;
    std::chrono::steady_clock::time_point m_start;
};

} // namespace encoder
