#include "encoder/parallel/WorkShares.h"

#include <algorithm>
#include <numeric>

namespace encoder {

namespace {

// Frames between two joins, so that the candidates of one never reach into the frames
// the joiner weighs for the one before.
constexpr std::int64_t kJoinSpacing = kEarly + kLate + kCatchUp + 1;
// Frames an owner may encode between reporting its position and learning of a steal.
constexpr std::int64_t kReportSlack = 16;

} // namespace

WorkShares::WorkShares(const Plan& plan, const Grid& grid, std::int64_t total_frames)
    : m_grid(grid), m_total_frames(total_frames) {
    for (std::size_t k = 0; k < plan.segments.size(); ++k) {
        const std::int64_t start = k == 0 ? 0 : plan.joins[k - 1] * grid.frame_samples;
        const auto end =
            k + 1 < plan.segments.size() ? std::optional(plan.joins[k] * grid.frame_samples) : std::nullopt;
        m_shares.push_back({plan.segments[k],
                            start,
                            end,
                            plan.segments[k].first_frame * grid.frame_samples,
                            true,
                            {},
                            nullptr,
                            {},
                            false});
    }
    for (std::size_t k = 0; k + 1 < m_shares.size(); ++k)
        m_shares[k].next = &m_shares[k + 1];
}

void WorkShares::publish_head(Share& share, std::vector<IndexedFrame> head) {
    const std::lock_guard lock(m_mutex);
    share.head = std::move(head);
    share.head_ready = true;
}

std::span<const IndexedFrame> WorkShares::head_after(const Share& share) {
    const std::lock_guard lock(m_mutex);
    if (!share.next || !share.next->head_ready) return {};
    return share.next->head;
}

WorkShares::Share& WorkShares::planned(std::size_t index) {
    return m_shares[index];
}

WorkShares::Limits WorkShares::report(Share& share, std::int64_t fed_sample) {
    const std::lock_guard lock(m_mutex);
    share.fed_sample = fed_sample;
    return {share.segment.end_sample, share.end_kept_sample};
}

WorkShares::Share* WorkShares::finish(Share& share, bool take_another) {
    const std::lock_guard lock(m_mutex);
    share.running = false;
    if (!take_another) return nullptr;
    const auto left = [this](const Share& s) { return end_frame(s) * m_grid.frame_samples - s.fed_sample; };
    Share* owner = nullptr;
    for (Share& candidate : m_shares) {
        if (candidate.running && (!owner || left(candidate) > left(*owner))) owner = &candidate;
    }
    return owner ? take_from(*owner) : nullptr;
}

void WorkShares::never_started(std::size_t index) {
    Share& share = planned(index);
    share.result.not_started = true;
    finish(share, false);
}

std::int64_t WorkShares::end_frame(const Share& share) const {
    return share.end_kept_sample ? *share.end_kept_sample / m_grid.frame_samples : m_total_frames;
}

WorkShares::Share* WorkShares::take_from(Share& owner) {
    const std::int64_t pre_roll = m_grid.pre_roll();
    const std::int64_t at = owner.fed_sample / m_grid.frame_samples;
    const std::int64_t end = end_frame(owner);
    // The owner stops soon after the new join, the taker warms up before it and goes on
    // to the owner's own end: split what is left so that both have the same to do.
    const std::int64_t balanced = (at + end + pre_roll - kHandOut) / 2;
    const std::int64_t lowest =
        std::max(at + kReportSlack, owner.first_kept_sample / m_grid.frame_samples + kJoinSpacing);
    const std::int64_t join = m_grid.boundary(std::max(balanced, lowest));
    // Too little left for two joins' room, or for the extra frames to pay off.
    if (join + kJoinSpacing > end || end - at < 4 * kJoinCost) return nullptr;
    m_shares.push_back({{join - pre_roll, owner.segment.end_sample, false},
                        join * m_grid.frame_samples,
                        owner.end_kept_sample,
                        (join - pre_roll) * m_grid.frame_samples,
                        true,
                        {},
                        owner.next,
                        {},
                        false});
    owner.next = &m_shares.back();
    owner.segment.end_sample = (join + kPastJoin) * m_grid.frame_samples;
    owner.end_kept_sample = join * m_grid.frame_samples;
    return &m_shares.back();
}

Plan WorkShares::collect(std::vector<WorkerResult>& results) {
    std::vector<std::size_t> order(m_shares.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return m_shares[a].segment.first_frame < m_shares[b].segment.first_frame;
    });
    Plan plan;
    results.clear();
    for (std::size_t i : order) {
        if (!plan.segments.empty()) plan.joins.push_back(m_shares[i].first_kept_sample / m_grid.frame_samples);
        plan.segments.push_back(m_shares[i].segment);
        results.push_back(std::move(m_shares[i].result));
    }
    return plan;
}

} // namespace encoder
