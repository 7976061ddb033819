#include "engine/util/a_include_guard.h"

#include <algorithm>

#include "engine/util/a_file_server.h"
#include "engine/util/a_string.h"

aIncludeGuard::aIncludeGuard(const std::string& topFile) { m_stack.push_back(key(topFile)); }

std::string aIncludeGuard::key(const std::string& path)
{
    std::string k = file_manglePath(path);
    std::replace(k.begin(), k.end(), '\\', '/');
    return k;
}

aIncludeGuard::Verdict aIncludeGuard::check(const std::string& path, bool* firstRefusal)
{
    const std::string k = key(path);
    if (std::any_of(m_stack.begin(), m_stack.end(), [&](const std::string& s) { return str_equalNoCase(s, k); }))
        return INCLUDE_RECURSIVE;
    if (m_stack.size() >= kMaxDepth)
        return INCLUDE_TOO_DEEP;
    if (m_included >= kMaxIncludedFiles) {
        if (firstRefusal)
            *firstRefusal = !m_budgetRefused;
        m_budgetRefused = true;
        return INCLUDE_OVER_BUDGET;
    }
    return INCLUDE_OK;
}

void aIncludeGuard::enter(const std::string& path)
{
    ++m_included;
    m_stack.push_back(key(path));
}

void aIncludeGuard::leave()
{
    if (m_stack.size() > 1)
        m_stack.pop_back();
}
