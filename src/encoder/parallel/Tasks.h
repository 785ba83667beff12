#pragma once

#include "encoder/parallel/AfterEncoding.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace encoder {

// The work after encoding: the main thread hands out the tasks once every share is
// encoded, and the worker threads share them. Each task's CPU seconds go to seconds.
class Tasks {
public:
    Tasks(AfterEncoding& after, std::vector<double>& seconds) : m_after(after), m_seconds(seconds) {}

    // On a worker thread: done encoding; then the tasks, as long as there are any.
    void run_after_encoding();
    // For a share that no thread could be had for: nothing to wait for.
    void encoded_without_thread();
    // On the main thread: tick every 20 ms until shares shares are encoded, then prepare
    // the tasks. Woken at once when the last is done: the join never waits a tick.
    void start_after(std::size_t shares, const std::function<void()>& tick,
                     const std::function<std::size_t()>& prepare);
    // count tasks one after another on this thread (none waits for them).
    void run_here(std::size_t count);
    // A task's failure, thrown on the main thread.
    void rethrow_first_error() const;

private:
    std::size_t sized(std::size_t count);
    void run(std::size_t i);

    AfterEncoding& m_after;
    std::vector<double>& m_seconds;
    std::vector<std::exception_ptr> m_errors;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_encoded = 0;
    std::optional<std::size_t> m_count;
    std::atomic<std::size_t> m_next{0};
};

} // namespace encoder
