#include "encoder/joins/JoinPlan.h"

#include "encoder/joins/JoinChoice.h"

namespace encoder {

namespace {

// Walks the output frame by frame, the packing state and the stretches with it.
class Walk {
public:
    Walk(const Plan& plan, const std::vector<WorkerResult>& results) : m_plan(plan), m_results(results) {}

    // Frame index of worker k's stream, as its shape only.
    IndexedFrame frame(std::size_t k, std::int64_t index) const {
        IndexedFrame f{index, {}};
        static_cast<FrameShape&>(f.frame) = shape(k, index);
        return f;
    }
    const FrameShape& shape(std::size_t k, std::int64_t index) const {
        return m_results[k].shapes[static_cast<std::size_t>(index - m_plan.segments[k].first_frame)];
    }
    std::int64_t end_of(std::size_t k) const {
        return m_plan.segments[k].first_frame + static_cast<std::int64_t>(m_results[k].shapes.size());
    }
    const ReservoirPacker::State& state() const { return m_state; }

    bool add(const FrameShape& shape) {
        if (!ReservoirPacker::advance(m_state, shape)) return false;
        m_out.frame_sizes.push_back(static_cast<std::uint16_t>(shape.length));
        m_out.audio_bytes += static_cast<std::uint64_t>(shape.length);
        ++m_current.frames;
        return true;
    }
    // The stretch so far ends here; the next starts with frame first.
    void start_stretch(std::int64_t first) {
        close_stretch();
        m_current = {first, 0, m_state, m_out.audio_bytes, 0};
    }
    JoinPlan finish() {
        close_stretch();
        return std::move(m_out);
    }

private:
    void close_stretch() {
        m_current.bytes = m_out.audio_bytes - m_current.offset;
        m_out.stretches.push_back(m_current);
    }

    const Plan& m_plan;
    const std::vector<WorkerResult>& m_results;
    ReservoirPacker::State m_state;
    Stretch m_current;
    JoinPlan m_out;
};

} // namespace

// Each join is chosen as the stream packed up to it leaves the reservoir: the frames of
// the earlier worker up to the candidates go in as they are, then the first candidate
// in step (or the least behind) is taken.
std::optional<JoinPlan> plan_joins(const Plan& plan, const std::vector<WorkerResult>& results) {
    for (const WorkerResult& r : results)
        if (!r.shapes_whole) return std::nullopt;
    Walk walk(plan, results);
    std::int64_t next = 0; // the next frame of the current worker's stream
    for (std::size_t k = 1; k < results.size(); ++k) {
        const std::int64_t nominal = plan.joins[k - 1];
        const std::int64_t end = std::min(walk.end_of(k - 1), results[k - 1].clean_end_frame);
        std::vector<IndexedFrame> tail;
        for (; next < end && next <= nominal + kLate; ++next) {
            if (next >= nominal - kEarly - 1)
                tail.push_back(walk.frame(k - 1, next));
            else if (!walk.add(walk.shape(k - 1, next)))
                return std::nullopt;
        }
        const std::int64_t first = plan.segments[k].first_frame;
        std::vector<IndexedFrame> head;
        for (std::int64_t i = first; i < std::min(walk.end_of(k), nominal + kLate + kCatchUp); ++i)
            head.push_back(walk.frame(k, i));
        std::size_t tail_used = 0;
        const auto at = choose_join(walk.state(), tail, head, nominal, tail_used);
        if (!at) return std::nullopt;
        for (std::size_t i = 0; i < tail_used; ++i)
            if (!walk.add(tail[i].frame)) return std::nullopt;
        walk.start_stretch(head[*at].index);
        for (std::size_t i = *at; i < head.size(); ++i)
            if (!walk.add(head[i].frame)) return std::nullopt;
        next = head.empty() ? first : head.back().index + 1;
    }
    for (; next < walk.end_of(results.size() - 1); ++next)
        if (!walk.add(walk.shape(results.size() - 1, next))) return std::nullopt;
    return walk.finish();
}

} // namespace encoder
