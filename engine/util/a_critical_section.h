#pragma once
#include <mutex>

// A re-entrant lock owned by an object; the owning thread may enter it again.
// Also BasicLockable, so std::lock_guard works on it.
class aCriticalSection {
public:
    aCriticalSection() = default;
    virtual ~aCriticalSection() = default;
    aCriticalSection(const aCriticalSection&) = delete;
    aCriticalSection& operator=(const aCriticalSection&) = delete;

    void enter() { m_section.lock(); }
    bool tryEnter() { return m_section.try_lock(); }
    void leave() { m_section.unlock(); }

    void lock() { enter(); }
    void unlock() { leave(); }

    // Holds a section for the scope.
    class Guard {
    public:
        explicit Guard(aCriticalSection& cs) : m_cs(cs) { m_cs.enter(); }
        ~Guard() { m_cs.leave(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        aCriticalSection& m_cs;
    };

private:
    std::recursive_mutex m_section;
};
