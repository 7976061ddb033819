#pragma once
// Marks the running instance: an exclusive, non-blocking flock on a file.
// A second lock on the same file fails even inside one process (each lock
// opens its own file description), so tests can play a second instance.
#include <string>

namespace platform {

class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock() { release(); }
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // False when another holder has it or the file cannot be opened;
    // error() then tells which.
    bool acquire(const std::string& path);
    // errno of the last failed acquire: EWOULDBLOCK when another holder
    // has the lock, else why the file could not be opened (0 after success).
    int error() const { return m_error; }
    // Drops the lock if this object holds it; removes nothing.
    void release();
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    int m_error = 0;
};

} // namespace platform
