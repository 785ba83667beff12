#include "encoder/parallel/Tasks.h"

#include "encoder/parallel/ThreadTimes.h"

#include <chrono>

namespace encoder {

void Tasks::run_after_encoding() {
    std::unique_lock lock(m_mutex);
    ++m_encoded;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_count.has_value(); });
    lock.unlock();
    for (std::size_t i; (i = m_next++) < *m_count;)
        run(i);
}

void Tasks::encoded_without_thread() {
    const std::lock_guard lock(m_mutex);
    ++m_encoded;
    m_changed.notify_all();
}

void Tasks::start_after(std::size_t shares, const std::function<void()>& tick,
                        const std::function<std::size_t()>& prepare) {
    std::unique_lock lock(m_mutex);
    while (!m_changed.wait_for(lock, std::chrono::milliseconds(20), [&] { return m_encoded == shares; })) {
        lock.unlock();
        tick();
        lock.lock();
    }
    // Sized while every worker thread waits: none of them has a task yet.
    m_count = sized(prepare());
    m_changed.notify_all();
}

void Tasks::run_here(std::size_t count) {
    sized(count);
    for (std::size_t i = 0; i < count; ++i)
        run(i);
}

void Tasks::rethrow_first_error() const {
    for (const std::exception_ptr& error : m_errors)
        if (error) std::rethrow_exception(error);
}

std::size_t Tasks::sized(std::size_t count) {
    m_seconds.assign(count, 0.0);
    m_errors.assign(count, nullptr);
    return count;
}

void Tasks::run(std::size_t i) {
    const double before = thread_cpu_seconds();
    try {
        m_after.task(i);
    } catch (...) {
        m_errors[i] = std::current_exception();
    }
    m_seconds[i] = thread_cpu_seconds() - before;
}

} // namespace encoder
