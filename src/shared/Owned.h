#pragma once

#include <utility>

namespace shared {

// The one owner of every C handle here: a pointer from a C library (FILE*, DIR*,
// SNDFILE*, mpg123_handle*, a LAME encoder) or a descriptor. Closed exactly once, on
// every path, failures included; moved, never copied. None is the value that holds
// nothing (null, or -1 for a descriptor).
template <typename Handle, void (*Close)(Handle), Handle None = Handle{}> class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : m_handle(handle) {}
    ~Owned() { reset(); }
    Owned(Owned&& other) noexcept : m_handle(std::exchange(other.m_handle, None)) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(std::exchange(other.m_handle, None));
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != None; }
    // Gives the handle up without closing it, for a close whose outcome matters.
    Handle release() { return std::exchange(m_handle, None); }
    void reset(Handle handle = None) {
        if (m_handle != None) Close(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = None;
};

} // namespace shared
