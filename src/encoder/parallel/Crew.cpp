#include "encoder/parallel/Crew.h"

#include <exception>

namespace encoder {

void Crew::run(const std::function<void()>& tick, const std::function<std::size_t()>& prepare) {
    std::optional<std::thread> first;
    start(0, first);
    m_tasks.start_after(m_seconds.size(), tick, prepare);
    if (first) first->join();
}

void Crew::start(std::size_t i, std::optional<std::thread>& thread) {
    try {
        thread.emplace([this, i] { run_thread(i); });
    } catch (const std::exception&) { // std::system_error, or std::bad_alloc for its state
        give_up(i);
    }
}

void Crew::run_thread(std::size_t i) {
    std::optional<std::thread> children[2];
    for (std::size_t k = 0; k < 2; ++k)
        if (2 * i + 1 + k < m_seconds.size()) start(2 * i + 1 + k, children[k]);
    m_seconds[i] = Worker::work(m_context, &m_context.shares.planned(i), true);
    m_tasks.run_after_encoding();
    for (std::optional<std::thread>& child : children)
        if (child) child->join();
}

// Share i and those its thread would have started: its two children and theirs.
void Crew::give_up(std::size_t i) {
    if (i >= m_seconds.size()) return;
    m_context.shares.never_started(i);
    m_tasks.encoded_without_thread();
    give_up(2 * i + 1);
    give_up(2 * i + 2);
}

} // namespace encoder
