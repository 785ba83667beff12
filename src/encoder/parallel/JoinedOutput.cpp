#include "encoder/parallel/JoinedOutput.h"

#include "encoder/base/Console.h"
#include "encoder/base/Failure.h"
#include "encoder/mp3/InfoFrame.h"

#include <algorithm>
#include <cerrno>

namespace encoder {

namespace {

void write_all(std::FILE* out, const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
        fail_errno(kFailOutput, path, errno);
}

// Where each join lands in the decoded audio (a decoder drops delay + 529 samples), how
// far from its planned frame, and how many frames both workers at it encoded.
void report_joins(const JoinPlan& joined, const Grid& grid, const Plan& plan, const std::vector<WorkerResult>& results,
                  int delay) {
    constexpr int kDecoderDelay = 529;
    for (std::size_t k = 0; k + 1 < joined.stretches.size(); ++k) {
        const std::int64_t frame = joined.stretches[k + 1].first_frame;
        const std::int64_t tail_end =
            (plan.segments[k].first_frame * grid.frame_samples + results[k].fed_samples + grid.frame_samples - 1) /
            grid.frame_samples;
        std::fprintf(Console::stream(),
                     "tvenc: joined at sample %lld, %+lld frames off plan, %lld frames encoded twice\n",
                     static_cast<long long>(frame * grid.frame_samples - delay - kDecoderDelay),
                     static_cast<long long>(frame - plan.joins[k]),
                     static_cast<long long>(tail_end - plan.segments[k + 1].first_frame));
    }
}

// Our own Info frame, where LAME's did not fit, in the format of the first frame.
std::vector<std::uint8_t> own_info_frame(std::FILE* stream, const ParallelJob& job) {
    std::uint8_t head[4];
    const bool read = std::fread(head, 1, sizeof head, stream) == sizeof head;
    std::rewind(stream);
    return read ? compact_info_frame(head, (job.options.bit_rate + 500) / 1000) : std::vector<std::uint8_t>{};
}

} // namespace

std::size_t JoinedOutput::prepare(Plan& plan, std::vector<WorkerResult>& results) {
    for (const WorkerResult& r : results)
        if (!r.encoded()) return 0;
    m_joined = plan_joins(plan, results);
    if (!m_joined) return 0;
    std::FILE* out = m_job.output.stream();
    const std::string& path = m_job.output.path();
    write_all(out, path, m_job.tags.leading);
    m_info = results[0].info.empty() ? own_info_frame(results[0].stream.get(), m_job) : results[0].info;
    write_all(out, path, m_info);
    // The stretches are written past stdio, each at its place.
    if (std::fflush(out) != 0) fail_errno(kFailOutput, path, errno);
    m_target.emplace(
        AudioTarget{::fileno(out), path, static_cast<std::int64_t>(m_job.tags.leading.size() + m_info.size())});
    m_plan = &plan;
    m_results = &results;
    m_crc_parts.assign(m_joined->stretches.size(), 0);
    return m_joined->stretches.size();
}

void JoinedOutput::task(std::size_t k) {
    m_crc_parts[k] = write_stretch(*m_joined, k, *m_plan, *m_results, *m_target);
}

// Tags, the Info frame and the audio's CRC once every stretch is written; false
// when no join fits.
bool JoinedOutput::finish() {
    if (!m_joined) return false;
    const Plan& plan = *m_plan;
    const std::vector<WorkerResult>& results = *m_results;
    std::FILE* out = m_job.output.stream();
    const std::string& path = m_job.output.path();
    seek(out, m_target->audio_start + static_cast<std::int64_t>(m_joined->audio_bytes));
    write_all(out, path, m_job.tags.trailing);
    std::uint16_t crc = 0;
    for (std::uint16_t part : m_crc_parts)
        crc ^= part;
    const auto frames = static_cast<std::uint32_t>(m_joined->frame_sizes.size());
    const std::int64_t samples = plan.segments.back().first_frame * m_grid.frame_samples + results.back().fed_samples;
    const int delay = results[0].delay;
    const auto padding = static_cast<int>(static_cast<std::int64_t>(frames) * m_grid.frame_samples - samples - delay);
    complete_info_frame(m_info,
                        {frames, &m_joined->frame_sizes, m_joined->audio_bytes, delay, std::max(0, padding), crc});
    if (m_job.options.report_joins) report_joins(*m_joined, m_grid, plan, results, delay);
    seek(out, static_cast<std::int64_t>(m_job.tags.leading.size()));
    write_all(out, path, m_info);
    return true;
}

void JoinedOutput::seek(std::FILE* out, std::int64_t offset) {
    if (std::fseek(out, static_cast<long>(offset), SEEK_SET) != 0) fail_errno(kFailOutput, m_job.output.path(), errno);
}

} // namespace encoder
