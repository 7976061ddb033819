#pragma once
// File systems unlike the test's own, for the file layer's links and
// renames.
//
// A folder on another file system than the test's temporary folder: one on
// the tmpfs at /dev/shm where that is a file system of its own (as on
// developer machines, CI runners and containers), else one under TMPDIR
// that the file layer's links and renames cannot cross, as they cannot
// cross file systems (EXDEV). Removed, and the seams put back, with the
// object; one at a time.
#include <string>

class OtherFileSystem {
public:
    OtherFileSystem();
    ~OtherFileSystem();
    OtherFileSystem(const OtherFileSystem&) = delete;
    OtherFileSystem& operator=(const OtherFileSystem&) = delete;

    // Its real path, with a trailing '/'.
    const std::string& folder() const { return m_folder; }

private:
    std::string m_folder;
    bool m_simulated = false;
};

// While one lives (and is on), the file layer's hard links fail with EPERM,
// as on a file system without them.
class RefusedLinks {
public:
    explicit RefusedLinks(bool on = true);
    ~RefusedLinks();
    RefusedLinks(const RefusedLinks&) = delete;
    RefusedLinks& operator=(const RefusedLinks&) = delete;

private:
    int (*m_previous)(const char*, const char*);
};
