#pragma once
// The include checks that text formats with an include line share: the files
// being parsed (so a file cannot include itself, directly or through others),
// a depth cap, and a total number of included files per top-level load (a few
// files that include each other twice per level would otherwise expand
// without end below the depth cap). One guard lives for one top-level load.
#include <cstddef>
#include <string>
#include <vector>

class aIncludeGuard {
public:
    // Files on the stack at once, the top-level file included.
    static constexpr std::size_t kMaxDepth = 32;
    // Files read through includes by one load, all levels together.
    static constexpr std::size_t kMaxIncludedFiles = 4096;

    enum Verdict {
        INCLUDE_OK,
        INCLUDE_RECURSIVE,    // the file is being parsed already
        INCLUDE_TOO_DEEP,     // the stack holds kMaxDepth files
        INCLUDE_OVER_BUDGET,  // kMaxIncludedFiles were included already
    };

    explicit aIncludeGuard(const std::string& topFile);

    // Whether the file may be included now. Over the budget, `firstRefusal`
    // tells whether this is the first refusal of the load (to log it once).
    Verdict check(const std::string& path, bool* firstRefusal = nullptr);
    // Around the parse of an included file that check() let through.
    void enter(const std::string& path);
    void leave();

    std::size_t depth() const { return m_stack.size(); }

private:
    // The same file under another spelling or letter case compares equal.
    static std::string key(const std::string& path);

    std::vector<std::string> m_stack;
    std::size_t m_included = 0;
    bool m_budgetRefused = false;
};
