#include "encoder/parallel/InTurnCrew.h"

#include <exception>

namespace encoder {

void InTurnCrew::run(const std::function<std::size_t()>& prepare) {
    std::optional<std::thread> last;
    start(m_times.workers.size() - 1, last);
    if (last) last->join();
    const std::size_t count = prepare();
    const double before = thread_cpu_seconds();
    m_tasks.run_here(count);
    m_times.tasks_here = thread_cpu_seconds() - before;
}

// A thread that cannot be had leaves its share and every one before it.
void InTurnCrew::start(std::size_t i, std::optional<std::thread>& thread) {
    try {
        thread.emplace([this, i] { run_thread(i); });
    } catch (const std::exception&) { // std::system_error, or std::bad_alloc for its state
        for (std::size_t j = 0; j <= i; ++j)
            m_context.shares.never_started(j);
    }
}

void InTurnCrew::run_thread(std::size_t i) {
    m_times.workers[i] = Worker::work(m_context, &m_context.shares.planned(i), false);
    if (i == 0) return;
    const double before = thread_cpu_seconds();
    std::optional<std::thread> next;
    start(i - 1, next);
    if (next) next->join();
    m_times.workers[i] += thread_cpu_seconds() - before;
}

} // namespace encoder
