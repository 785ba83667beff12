#pragma once

#include "encoder/parallel/Tasks.h"
#include "encoder/parallel/ThreadTimes.h"
#include "encoder/parallel/Worker.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <thread>

namespace encoder {

// For a benchmark (--workers-in-turn): the workers run one after another, the last
// first, each on a thread of its own as it would on a core of its own, so that the
// head after its share is always there by its end; none takes over another's share.
// Each starts the one before it once done, and that is its time too. The tasks after
// run on the calling thread, each timed on its own.
class InTurnCrew {
public:
    InTurnCrew(const WorkerContext& context, Tasks& tasks, ThreadTimes& times)
        : m_context(context), m_tasks(tasks), m_times(times) {}

    void run(const std::function<std::size_t()>& prepare);

private:
    void start(std::size_t i, std::optional<std::thread>& thread);
    void run_thread(std::size_t i);

    const WorkerContext& m_context;
    Tasks& m_tasks;
    ThreadTimes& m_times;
};

} // namespace encoder
