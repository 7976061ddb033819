#pragma once
// One background thread with a routine of the Win32 shape, a finished flag
// and an exit code.
#include <atomic>
#include <cstdint>
#include <thread>

namespace platform {

using ThreadRoutine = std::uint32_t (*)(void* argument);

class LoadingThread {
public:
    LoadingThread(ThreadRoutine routine, void* argument);
    // Joins the thread: the owner must only drop a finished thread or be
    // prepared to wait for it.
    ~LoadingThread();
    LoadingThread(const LoadingThread&) = delete;
    LoadingThread& operator=(const LoadingThread&) = delete;

    bool finished() const { return m_finished.load(std::memory_order_acquire); }
    // Valid once finished() is true.
    std::uint32_t exitCode() const { return m_exitCode; }

private:
    std::atomic<bool> m_finished{false};
    std::uint32_t m_exitCode = 0;
    std::thread m_thread;
};

} // namespace platform
