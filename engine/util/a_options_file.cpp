#include "engine/util/a_options_file.h"

#include <algorithm>

#include "engine/util/a_file_server.h"
#include "engine/util/a_include_guard.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "engine/util/a_string_list.h"

namespace {

void stripBom(std::string& line)
{
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0)
        line.erase(0, 3);
}

} // namespace

// Lives for one top-level load: included files share it.
struct aOptionsFile::ParseState {
    explicit ParseState(const std::string& top) : topFile(top), includes(top) {}
    bool sectionSeen = false;
    std::string topFile;
    aIncludeGuard includes;
};

aOptionsFile::aOptionsFile() : m_current(m_sections.end()) {}

aOptionsFile::aOptionsFile(const std::string& path) : m_current(m_sections.end()) { load(path); }

void aOptionsFile::load(const std::string& path)
{
    clear();
    ParseState state(path);
    parseFile(path, state);
    setCurrent(m_sections.begin());
}

void aOptionsFile::parse(const void* data, std::size_t size, const std::string& path)
{
    clear();
    ParseState state(path);
    aStringList list;
    list.parse(data, size);
    parseLines(list, path, state);
    setCurrent(m_sections.begin());
}

void aOptionsFile::clear()
{
    m_sections.clear();
    setCurrent(m_sections.end());
}

void aOptionsFile::parseFile(const std::string& path, ParseState& state)
{
    parseLines(aStringList(path), path, state);
}

void aOptionsFile::parseLines(const aStringList& list, const std::string& path, ParseState& state)
{
    unsigned lineNumber = 0;
    for (std::string line : list.lines()) {
        ++lineNumber;
        if (lineNumber == 1)
            stripBom(line);
        const std::size_t i = line.find_first_not_of(' ');
        if (i == std::string::npos || line[i] == ';')
            continue;

        if (line.compare(i, 8, "#include") == 0) {
            const std::size_t open = line.find('"', i + 8);
            const std::size_t close = open == std::string::npos ? open : line.find('"', open + 1);
            const std::string name = open == std::string::npos ? std::string()
                                                                : line.substr(open + 1, close == std::string::npos
                                                                                            ? std::string::npos
                                                                                            : close - open - 1);
            if (name.empty()) {
                a_log("aOptionsFile. #include without a file name in %s, line %u", path.c_str(), lineNumber);
                continue;
            }
            bool firstRefusal = false;
            const aIncludeGuard::Verdict verdict = state.includes.check(name, &firstRefusal);
            if (verdict == aIncludeGuard::INCLUDE_RECURSIVE) {
                a_log("aOptionsFile. Recursive #include of %s skipped in %s, line %u", name.c_str(), path.c_str(),
                      lineNumber);
                continue;
            }
            if (verdict == aIncludeGuard::INCLUDE_TOO_DEEP) {
                a_log("aOptionsFile. #include of %s nested deeper than %u files, skipped in %s, line %u",
                      name.c_str(), unsigned(aIncludeGuard::kMaxDepth), path.c_str(), lineNumber);
                continue;
            }
            if (verdict == aIncludeGuard::INCLUDE_OVER_BUDGET) {
                if (firstRefusal)
                    a_log("aOptionsFile. More than %u files included by %s: further #include lines are skipped",
                          unsigned(aIncludeGuard::kMaxIncludedFiles), state.topFile.c_str());
                continue;
            }
            if (!file_isExistOrPacked(name)) {
                a_log("aOptionsFile. Cannot find included file %s in %s, line %u", name.c_str(), path.c_str(),
                      lineNumber);
                continue;
            }
            state.includes.enter(name);
            parseFile(name, state);
            state.includes.leave();
            continue;
        }

        if (line[i] == '[') {
            const std::size_t close = line.find(']', i + 1);
            m_sections.emplace_back(line.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1),
                                    std::list<Pair>());
            state.sectionSeen = true;
            continue;
        }

        if (!state.sectionSeen || m_sections.empty()) {
            a_log("aOptionsFile. Incorrect file: %s", path.c_str());
            continue;
        }
        std::size_t keyEnd = line.find_first_of(" =", i);
        if (keyEnd == std::string::npos)
            keyEnd = line.size();
        const std::size_t valueStart = std::min(line.find_first_not_of(" =", keyEnd), line.size());
        const std::size_t valueEnd = std::min(line.find(';', valueStart), line.size());
        m_sections.back().second.emplace_back(line.substr(i, keyEnd - i),
                                              line.substr(valueStart, valueEnd - valueStart));
    }
}

void aOptionsFile::setCurrent(std::list<Section>::iterator section)
{
    m_current = section;
    m_currentKey = section == m_sections.end() ? std::list<Pair>::iterator() : section->second.begin();
}

void aOptionsFile::firstSection() { setCurrent(m_sections.begin()); }

void aOptionsFile::nextSection()
{
    if (m_current != m_sections.end())
        setCurrent(std::next(m_current));
}

bool aOptionsFile::isSectionsEnd() const { return m_current == m_sections.end(); }

std::string aOptionsFile::getSectionName() const { return isSectionsEnd() ? std::string() : m_current->first; }

bool aOptionsFile::selectSection(const std::string& name)
{
    for (auto it = m_sections.begin(); it != m_sections.end(); ++it) {
        if (it->first == name) {
            setCurrent(it);
            return true;
        }
    }
    return false;
}

void aOptionsFile::addSection(const std::string& name) { m_sections.emplace_back(name, std::list<Pair>()); }

bool aOptionsFile::firstKey()
{
    if (isSectionsEnd())
        return false;
    m_currentKey = m_current->second.begin();
    return true;
}

bool aOptionsFile::nextKey()
{
    if (isKeysEnd())
        return false;
    ++m_currentKey;
    return true;
}

bool aOptionsFile::isKeysEnd() const { return isSectionsEnd() || m_currentKey == m_current->second.end(); }

std::string aOptionsFile::getKeyName() const { return isKeysEnd() ? std::string() : m_currentKey->first; }

std::string aOptionsFile::getKeyValue() const { return isKeysEnd() ? std::string() : m_currentKey->second; }

std::list<aOptionsFile::Section>::const_iterator aOptionsFile::findSection(const std::string& name) const
{
    return std::find_if(m_sections.begin(), m_sections.end(), [&](const Section& s) { return s.first == name; });
}

const aOptionsFile::Pair* aOptionsFile::findKey(const Section& section, const std::string& key)
{
    for (const Pair& p : section.second) {
        if (p.first == key)
            return &p;
    }
    return nullptr;
}

const aOptionsFile::Pair* aOptionsFile::findCurrentKey(const std::string& key) const
{
    return isSectionsEnd() ? nullptr : findKey(*m_current, key);
}

bool aOptionsFile::hasKey(const std::string& key) const { return findCurrentKey(key) != nullptr; }

bool aOptionsFile::hasSectionKey(const std::string& section, const std::string& key) const
{
    const auto it = findSection(section);
    return it != m_sections.end() && findKey(*it, key) != nullptr;
}

std::string aOptionsFile::getString(const std::string& key) const
{
    if (isSectionsEnd()) {
        a_log("aOptionsFile. Error get key \"%s\" from unspecified current section!", key.c_str());
        return std::string();
    }
    const Pair* p = findKey(*m_current, key);
    if (!p) {
        a_log("aOptionsFile. Cannot find key \"%s\" in current section!", key.c_str());
        return std::string();
    }
    return p->second;
}

int aOptionsFile::getInt(const std::string& key) const { return str_toInt(getString(key)); }

std::string aOptionsFile::getStringDef(const std::string& key, const std::string& def) const
{
    const Pair* p = findCurrentKey(key);
    return p ? p->second : def;
}

std::string aOptionsFile::getStringDef(const std::string& key, const char* def) const
{
    const Pair* p = findCurrentKey(key);
    return p ? p->second : std::string(def ? def : "");
}

int aOptionsFile::getIntDef(const std::string& key, int def) const
{
    const Pair* p = findCurrentKey(key);
    return p ? str_toInt(p->second) : def;
}

bool aOptionsFile::getBoolDef(const std::string& key, bool def) const
{
    const Pair* p = findCurrentKey(key);
    return p ? str_toInt(p->second) != 0 : def;
}

float aOptionsFile::getFloatDef(const std::string& key, float def) const
{
    const Pair* p = findCurrentKey(key);
    return p ? float(str_toDouble(p->second)) : def;
}

std::string aOptionsFile::getValue(const std::string& section, const std::string& key) const
{
    const auto it = findSection(section);
    if (it == m_sections.end()) {
        a_log("aOptionsFile. Cannot find section: [%s].", section.c_str());
        return std::string();
    }
    const Pair* p = findKey(*it, key);
    if (!p) {
        a_log("aOptionsFile. Cannot find key: [%s].%s", section.c_str(), key.c_str());
        return std::string();
    }
    return p->second;
}

std::string aOptionsFile::getValueDef(const std::string& section, const std::string& key,
                                      const std::string& def) const
{
    const auto it = findSection(section);
    const Pair* p = it == m_sections.end() ? nullptr : findKey(*it, key);
    return p ? p->second : def;
}

void aOptionsFile::splitTokens(const std::string& text, std::list<std::string>& out)
{
    std::size_t start = text.find_first_not_of(", ");
    while (start != std::string::npos) {
        const std::size_t end = text.find_first_of(", ", start);
        out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? end : text.find_first_not_of(", ", end);
    }
}

void aOptionsFile::splitInts(const std::string& text, std::list<int>& out)
{
    std::list<std::string> tokens;
    splitTokens(text, tokens);
    for (const std::string& t : tokens)
        out.push_back(str_toInt(t));
}

void aOptionsFile::getTokens(const std::string& key, std::list<std::string>& out) const
{
    splitTokens(getString(key), out);
}

void aOptionsFile::getInts(const std::string& key, std::list<int>& out) const { splitInts(getString(key), out); }

void aOptionsFile::getValueTokens(const std::string& section, const std::string& key,
                                  std::list<std::string>& out) const
{
    splitTokens(getValue(section, key), out);
}

void aOptionsFile::setValue(const std::string& section, const std::string& key, const std::string& value)
{
    auto it = std::find_if(m_sections.begin(), m_sections.end(), [&](const Section& s) { return s.first == section; });
    if (it == m_sections.end()) {
        a_log("aOptionsFile. Cannot find section for set: %s", section.c_str());
        return;
    }
    setInSection(*it, key, value);
}

void aOptionsFile::setString(const std::string& key, const std::string& value)
{
    if (isSectionsEnd()) {
        a_log("aOptionsFile. Error set key \"%s\" to unspecified current section!", key.c_str());
        return;
    }
    setInSection(*m_current, key, value);
}

void aOptionsFile::setInSection(Section& section, const std::string& key, const std::string& value)
{
    for (Pair& p : section.second) {
        if (p.first == key) {
            p.second = value;
            return;
        }
    }
    section.second.emplace_back(key, value);
}
