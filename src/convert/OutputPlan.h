#pragma once

#include "primitives/Files.h"

#include <optional>
#include <unordered_set>
#include <vector>

namespace convert {

// Decides where each row of one run writes, so that no row destroys what the user
// has: never onto a file that is the source of any row of the run, and never onto
// the result of an earlier row (rows from several album folders share names such
// as "01.mp3"; the later one becomes "01 (2).mp3"), and never into what is not a
// regular file (a FIFO there would hold the run for ever, a device would take the
// audio): such a name is taken as well. Files are told apart by device and inode, so a
// symlink or another spelling of a folder changes nothing.
class OutputPlan {
public:
    // The run's sources are looked at (stat) only once an output path turns out to
    // exist, so a run over a hundred thousand rows into a new folder looks at none.
    explicit OutputPlan(std::vector<primitives::Text> sources);

    struct Choice {
        primitives::Text path; // empty when the row must not be written
        bool same_as_source = false;
    };
    Choice choose(const primitives::Text& folder, const primitives::Text& file_name) const;
    // The row's result now sits at path: no later row may replace it.
    void record_written(const primitives::Text& path);

private:
    enum class Use { Free, Source, Taken };
    Use use_of(const primitives::Text& path) const;

    std::vector<primitives::Text> m_source_paths;
    mutable std::optional<std::unordered_set<primitives::FileId, primitives::FileIdHash>> m_sources;
    std::unordered_set<primitives::FileId, primitives::FileIdHash> m_written;
};

} // namespace convert
