#include "encoder/joins/WriteStretch.h"

#include "encoder/base/Failure.h"
#include "encoder/mp3/Crc16.h"
#include "encoder/mp3/Mp3FrameReader.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace encoder {

namespace {

// The frames of one worker's stream from a given frame on, read where the worker wrote
// them: past the place kept for the Info frame and the frames before from.
Mp3FrameReader frames_from(const WorkerResult& result, std::int64_t first_frame, std::int64_t from) {
    Mp3FrameReader reader(::fileno(result.stream.get()));
    Mp3Frame skipped;
    for (std::int64_t i = first_frame - result.frames_before; i < from; ++i)
        reader.next(skipped);
    return reader;
}

class Writer {
public:
    Writer(const AudioTarget& target, std::uint64_t offset)
        : m_target(target), m_at(target.audio_start + static_cast<std::int64_t>(offset)) {}

    void write(std::vector<std::uint8_t>& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pwrite(m_target.fd, bytes.data() + done, bytes.size() - done, m_at);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) fail_errno(kFailOutput, m_target.path, n < 0 ? errno : ENOSPC);
            done += static_cast<std::size_t>(n);
            m_at += n;
        }
        m_written += bytes.size();
        bytes.clear();
    }
    std::uint64_t written() const { return m_written; }

private:
    const AudioTarget& m_target;
    std::int64_t m_at;
    std::uint64_t m_written = 0;
};

constexpr std::size_t kWriteBytes = 1 << 18;

[[noreturn]] void not_as_planned(const AudioTarget& target) {
    fail(kFailOutput, Cause::Internal, target.path, "a worker's frames are not those it reported");
}

} // namespace

std::uint16_t write_stretch(const JoinPlan& plan, std::size_t k, const Plan& segments,
                            const std::vector<WorkerResult>& results, const AudioTarget& target) {
    const Stretch& stretch = plan.stretches[k];
    ReservoirPacker packer(stretch.start);
    packer.stop_after(static_cast<std::uint32_t>(stretch.frames));
    Writer writer(target, stretch.offset);
    Mp3Frame frame;
    const auto append = [&](Mp3FrameReader& frames) {
        if (!frames.next(frame) || !packer.append(frame)) not_as_planned(target);
        if (packer.output().size() >= kWriteBytes) writer.write(packer.output());
    };
    Mp3FrameReader own = frames_from(results[k], segments.segments[k].first_frame, stretch.first_frame);
    for (std::int64_t i = 0; i < stretch.frames; ++i)
        append(own);
    // The frames after this stretch may start their main data in its last frames.
    for (std::size_t j = k + 1; j < plan.stretches.size() && !packer.all_given_out(); ++j) {
        Mp3FrameReader later = frames_from(results[j], segments.segments[j].first_frame, plan.stretches[j].first_frame);
        for (std::int64_t i = 0; i < plan.stretches[j].frames && !packer.all_given_out(); ++i)
            append(later);
    }
    packer.finish();
    writer.write(packer.output());
    if (packer.frames() != stretch.frames || writer.written() != stretch.bytes) not_as_planned(target);
    return crc16_zeros(packer.crc(), plan.audio_bytes - stretch.offset - stretch.bytes);
}

} // namespace encoder
