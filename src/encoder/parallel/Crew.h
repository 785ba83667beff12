#pragma once

#include "encoder/parallel/Tasks.h"
#include "encoder/parallel/Worker.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace encoder {

// The worker threads of one file, side by side. Each thread first starts the threads
// of shares 2i+1 and 2i+2 and ends them after its own work, so that on many cores no
// one thread starts them all one after another. A thread that cannot be had (out of
// threads or memory for a stack) leaves its shares, and those it would have started,
// to one core. worker_seconds gets each thread's CPU seconds.
class Crew {
public:
    Crew(const WorkerContext& context, Tasks& tasks, std::vector<double>& worker_seconds)
        : m_context(context), m_tasks(tasks), m_seconds(worker_seconds) {}

    // Every share encoded, the tasks after them shared; meanwhile tick runs on this
    // thread every 20 ms, and prepare once every share is encoded.
    void run(const std::function<void()>& tick, const std::function<std::size_t()>& prepare);

private:
    void start(std::size_t i, std::optional<std::thread>& thread);
    void run_thread(std::size_t i);
    void give_up(std::size_t i);

    const WorkerContext& m_context;
    Tasks& m_tasks;
    std::vector<double>& m_seconds;
};

} // namespace encoder
