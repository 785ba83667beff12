#pragma once

#include "encoder/ParallelPlan.h"
#include "encoder/ParallelWorker.h"
#include "encoder/ReservoirPacker.h"

#include <cstdio>
#include <vector>

namespace encoder {

// Joins the workers' frame streams into one, each join at the frame choose_join
// finds, with the main data packed into the bit reservoir as it goes.
class FrameJoiner {
public:
    FrameJoiner(std::FILE* out, std::vector<WorkerResult>& results, const std::vector<Segment>& segments,
                const std::vector<std::int64_t>& joins)
        : m_packer(out), m_results(results), m_segments(segments), m_joins(joins) {}

    // Global indexes of the first frame after each join.
    std::vector<std::int64_t> chosen;

    // False when some join finds no frame that fits.
    bool join();

    ReservoirPacker& packer() { return m_packer; }

private:
    ReservoirPacker m_packer;
    std::vector<WorkerResult>& m_results;
    const std::vector<Segment>& m_segments;
    const std::vector<std::int64_t>& m_joins;
};

} // namespace encoder
