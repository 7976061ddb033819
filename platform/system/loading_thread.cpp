#include "platform/system/loading_thread.h"

namespace platform {

LoadingThread::LoadingThread(ThreadRoutine routine, void* argument)
{
    m_thread = std::thread([this, routine, argument] {
        // The release store publishes m_exitCode to whoever sees finished().
        m_exitCode = routine(argument);
        m_finished.store(true, std::memory_order_release);
    });
}

LoadingThread::~LoadingThread()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace platform
