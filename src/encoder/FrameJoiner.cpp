#include "encoder/FrameJoiner.h"

#include "encoder/JoinChoice.h"
#include "encoder/Mp3Frame.h"

namespace encoder {

namespace {

// Frames of one worker, each with its global index. The first worker's stream opens
// with the frame LAME keeps free for the Info frame; it carries no audio.
class FrameSource {
public:
    FrameSource(std::FILE* stream, std::int64_t first, bool skip_info)
        : m_reader(stream), m_next(first), m_skip(skip_info) {}
    bool next(Mp3Frame& frame, std::int64_t& index) {
        if (!m_reader.next(frame)) return false;
        if (m_skip) {
            m_skip = false;
            if (!m_reader.next(frame)) return false;
        }
        index = m_next++;
        return true;
    }

private:
    Mp3FrameReader m_reader;
    std::int64_t m_next;
    bool m_skip;
};

} // namespace

bool FrameJoiner::join() {
    FrameSource current(m_results[0].stream.get(), 0, m_segments[0].info_frame);
    for (std::size_t k = 1; k < m_results.size(); ++k) {
        const std::int64_t nominal = m_joins[k - 1];
        Mp3Frame frame;
        std::int64_t index = 0;
        std::vector<IndexedFrame> tail;
        // Frames the earlier worker made in LAME's flush are not what a longer encode makes.
        const std::int64_t clean_end = m_results[k - 1].clean_end_frame;
        while (current.next(frame, index)) {
            if (index > nominal + kLate || index >= clean_end) break;
            if (index < nominal - kEarly - 1) {
                if (!m_packer.append(frame)) return false;
            } else {
                tail.push_back({index, frame});
            }
        }
        FrameSource next(m_results[k].stream.get(), m_segments[k].first_frame, m_segments[k].info_frame);
        std::vector<IndexedFrame> head;
        while (static_cast<std::int64_t>(head.size()) < nominal + kLate + kCatchUp - m_segments[k].first_frame &&
               next.next(frame, index))
            head.push_back({index, frame});
        std::size_t tail_used = 0;
        const auto at = choose_join(m_packer.state(), tail, head, nominal, tail_used);
        if (!at) return false;
        chosen.push_back(head[*at].index);
        for (std::size_t i = 0; i < tail_used; ++i)
            if (!m_packer.append(tail[i].frame)) return false;
        for (std::size_t i = *at; i < head.size(); ++i)
            if (!m_packer.append(head[i].frame)) return false;
        current = std::move(next);
    }
    Mp3Frame frame;
    std::int64_t index = 0;
    while (current.next(frame, index))
        if (!m_packer.append(frame)) return false;
    return true;
}

} // namespace encoder
