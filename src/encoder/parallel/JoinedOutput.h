#pragma once

#include "encoder/joins/JoinPlan.h"
#include "encoder/joins/WriteStretch.h"
#include "encoder/parallel/AfterEncoding.h"
#include "encoder/parallel/ParallelJob.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace encoder {

// The output as the workers make it: the joins planned on the main thread once every
// share is encoded, then each stretch packed and written in its place by a worker.
// The plan and the results it is given must outlive it.
class JoinedOutput : public AfterEncoding {
public:
    JoinedOutput(const ParallelJob& job, const Grid& grid) : m_job(job), m_grid(grid) {}

    std::size_t prepare(Plan& plan, std::vector<WorkerResult>& results) override;
    void task(std::size_t k) override;
    // Tags, the Info frame and the audio's CRC once every stretch is written; false
    // when no join fits.
    bool finish();

private:
    void seek(std::FILE* out, std::int64_t offset);

    const ParallelJob& m_job;
    Grid m_grid;
    std::optional<JoinPlan> m_joined;
    std::vector<std::uint8_t> m_info;
    std::optional<AudioTarget> m_target;
    const Plan* m_plan = nullptr;
    const std::vector<WorkerResult>* m_results = nullptr;
    std::vector<std::uint16_t> m_crc_parts;
};

} // namespace encoder
