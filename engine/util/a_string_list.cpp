#include "engine/util/a_string_list.h"

#include <cstdlib>
#include <cstring>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"

namespace {

// Longer lines are kept whole; the log notes them once each.
constexpr std::size_t kLongLine = 1024;

const std::string kEmpty;

} // namespace

aStringList::aStringList() : m_current(m_lines.end()) {}

aStringList::aStringList(const std::string& path) : m_current(m_lines.end()) { load(path); }

bool aStringList::load(const std::string& path)
{
    clear();
    aFile file(path);
    if (!file.isLoaded())
        return false;
    parse(file.data(), file.size());
    return true;
}

void aStringList::parse(const void* data, std::size_t size)
{
    const char* p = static_cast<const char*>(data);
    const char* end = p ? p + size : p;
    // A UTF-8 byte-order mark would spoil the first token of every format
    // read through lists.
    if (size >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0)
        p += 3;
    while (p < end) {
        const char* start = p;
        while (p < end && *p != '\r' && *p != '\n')
            ++p;
        if (p == end && p == start)
            break;
        if (std::size_t(p - start) > kLongLine)
            a_log("aStringList. Long string");
        m_lines.emplace_back(start, p);
        while (p < end && (*p == '\r' || *p == '\n'))
            ++p;
    }
    m_current = m_lines.begin();
}

void aStringList::clear()
{
    m_lines.clear();
    m_current = m_lines.end();
}

void aStringList::next()
{
    if (m_current != m_lines.end())
        ++m_current;
}

const std::string& aStringList::getCurrent() const { return m_current == m_lines.end() ? kEmpty : *m_current; }
