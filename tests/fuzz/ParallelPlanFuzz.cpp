// The multi-core chain on generated frames and schedules: the plan for any length, rate
// and core count, the shares as workers report, finish and take over from one another in
// any order, and the join a worker stops at on frames of any shape. Joins stay in order
// and apart, every share is whole, and no join lies outside its candidate window.
#include "encoder/joins/JoinChoice.h"
#include "encoder/joins/JoinWatch.h"
#include "encoder/joins/ParallelPlan.h"
#include "encoder/parallel/WorkShares.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace encoder;

namespace {

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    unsigned next() { return m_at < m_size ? m_data[m_at++] : 0; }
    unsigned next16() { return next() << 8 | next(); }
    bool left() const { return m_at < m_size; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

void check_plan(const Plan& plan, const Grid& grid, std::int64_t total_frames) {
    if (plan.joins.size() + 1 != plan.segments.size()) std::abort();
    for (std::size_t k = 0; k < plan.joins.size(); ++k) {
        const std::int64_t join = plan.joins[k];
        if (join % grid.step != 0 || join <= 0 || join >= total_frames) std::abort();
        if (k > 0 && join - plan.joins[k - 1] < kEarly + kLate + kCatchUp) std::abort();
        if (plan.segments[k + 1].first_frame != join - grid.pre_roll() || plan.segments[k + 1].info_frame) std::abort();
    }
}

void run_shares(Bytes& in, const Plan& plan, const Grid& grid, std::int64_t total_frames) {
    WorkShares shares(plan, grid, total_frames);
    std::vector<WorkShares::Share*> running;
    for (std::size_t i = 0; i < plan.segments.size(); ++i)
        running.push_back(&shares.planned(i));
    for (int step = 0; step < 200 && !running.empty() && in.left(); ++step) {
        const std::size_t pick = in.next() % running.size();
        WorkShares::Share& share = *running[pick];
        const WorkShares::Limits limits =
            shares.report(share, share.fed_sample + in.next16() * grid.frame_samples / 16);
        if (limits.end_sample && share.fed_sample < *limits.end_sample && (in.next() & 3) != 0) continue;
        running.erase(running.begin() + static_cast<std::ptrdiff_t>(pick));
        if (WorkShares::Share* taken = shares.finish(share, true)) {
            const std::int64_t join = taken->first_kept_sample / grid.frame_samples;
            if (join - taken->segment.first_frame != grid.pre_roll()) std::abort();
            running.push_back(taken);
        }
    }
    for (WorkShares::Share* share : running)
        shares.finish(*share, false);
    std::vector<WorkerResult> results;
    const Plan ended = shares.collect(results);
    if (results.size() != ended.segments.size()) std::abort();
    check_plan(ended, grid, total_frames);
}

IndexedFrame frame(Bytes& in, std::int64_t index) {
    IndexedFrame f{index, {}};
    f.frame.head_size = 36;
    f.frame.length = 36 + 100 + static_cast<int>(in.next() * 2);
    f.frame.main_size = static_cast<int>(in.next() * 3);
    f.frame.main_data_begin = static_cast<int>(in.next16() % 512);
    f.frame.starts_long = (in.next() & 7) != 0;
    f.frame.ends_long = (in.next() & 7) != 0;
    return f;
}

void run_watch(Bytes& in) {
    constexpr std::int64_t kNominal = 5000;
    JoinWatch watch(kNominal);
    std::vector<IndexedFrame> head;
    for (std::int64_t i = kNominal - kEarly; i < kNominal + kLate + kCatchUp && in.left(); ++i)
        head.push_back(frame(in, i));
    for (std::int64_t i = kNominal - kEarly - 3; i < kNominal + kLate + 5 && in.left(); ++i) {
        watch.add(frame(in, i));
        if (const auto join = watch.check(head)) {
            if (*join < kNominal - kEarly || *join > kNominal + kLate || *join > i + 1) std::abort();
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    static const long kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 96000};
    const Grid grid = make_grid(kRates[in.next() % 10], kRates[in.next() % 9]);
    const auto total_frames = static_cast<std::int64_t>(in.next16()) * 4 + in.next();
    const int count = segment_count(total_frames, static_cast<int>(in.next() % 40) + 1);
    if (count >= 2) {
        const Plan plan = plan_segments(total_frames, count, grid);
        check_plan(plan, grid, total_frames);
        run_shares(in, plan, grid, total_frames);
    }
    run_watch(in);
    return 0;
}
