#include "engine/gui/a_script_loader.h"

#include "engine/util/a_file_server.h"
#include "engine/util/a_include_guard.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string_list.h"

namespace {

constexpr const char* kBlanks = " \t";

std::string trimmed(const std::string& line)
{
    const std::size_t first = line.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return std::string();
    return line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
}

} // namespace

aScriptLoader::aScriptLoader() = default;
aScriptLoader::~aScriptLoader() = default;

void aScriptLoader::onParseBegin(const std::string&) {}
void aScriptLoader::onParseEnd(const std::string&) {}

void aScriptLoader::load(const std::string& fileName)
{
    onParseBegin(fileName);
    m_hasPending = false;
    m_tokens.clear();
    m_sections.clear();
    m_defines.clear();
    m_expanded = 0;
    m_guard = std::make_unique<aIncludeGuard>(fileName);
    m_file = fileName;
    m_line = 0;
    parseFile(fileName);
    if (!m_sections.empty()) {
        m_file = fileName;
        scriptError(std::to_string(m_sections.size()) + " section(s) not closed at the end of the script");
        while (!m_sections.empty()) {
            const int value = m_sections.back();
            m_sections.pop_back();
            if (value != 0)
                onSectionEnd(value);
        }
    }
    m_hasPending = false;
    m_tokens.clear();
    m_defines.clear();
    m_guard.reset();
    onParseEnd(fileName);
}

void aScriptLoader::scriptError(const std::string& why) const
{
    a_log("Error in script \"%s\", line %i: %s", m_file.c_str(), m_line, why.c_str());
}

void aScriptLoader::parseFile(const std::string& fileName)
{
    aStringList list(fileName);
    int number = 0;
    for (const std::string& text : list.lines()) {
        m_file = fileName;
        m_line = ++number;
        parseLine(text);
    }
}

std::vector<std::string> aScriptLoader::splitTokens(const std::string& line)
{
    std::vector<std::string> tokens;
    std::size_t i = 0;
    for (;;) {
        i = line.find_first_not_of(kBlanks, i);
        if (i == std::string::npos)
            break;
        if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string::npos)
                break;
            tokens.push_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            const std::size_t end = line.find_first_of(kBlanks, i);
            tokens.push_back(line.substr(i, end == std::string::npos ? std::string::npos : end - i));
            i = end;
        }
    }
    return tokens;
}

bool aScriptLoader::expandMacros(std::string& line)
{
    if (m_defines.empty() || line.find('$') == std::string::npos)
        return true;
    std::string out;
    std::size_t grown = 0, pos = 0;
    for (;;) {
        const std::size_t open = line.find('$', pos);
        const std::size_t close = open == std::string::npos ? open : line.find('$', open + 1);
        if (close == std::string::npos)
            break;
        out.append(line, pos, open - pos);
        const auto it = m_defines.find(line.substr(open + 1, close - open - 1));
        if (it == m_defines.end()) {
            // The closing '$' may open the next name.
            out.append(line, open, close - open);
            pos = close;
            continue;
        }
        grown += it->second.size();
        if (grown > kMaxExpansion) {
            scriptError("macros grow the line past " + std::to_string(kMaxExpansion) + " bytes; line dropped");
            return false;
        }
        if (m_expanded + grown > kMaxLoadExpansion) {
            scriptError("macros of this load grow past " + std::to_string(kMaxLoadExpansion) +
                        " bytes in all; line dropped");
            return false;
        }
        out += it->second;
        pos = close + 1;
    }
    out.append(line, pos, std::string::npos);
    line.swap(out);
    m_expanded += grown;
    return true;
}

void aScriptLoader::parseLine(std::string line)
{
    if (!expandMacros(line))
        return;
    const std::size_t first = line.find_first_not_of(kBlanks);
    if (first == std::string::npos || line[first] == ';')
        return;
    if (line.compare(first, 7, "#define") == 0) {
        define(line, first + 7);
        return;
    }
    if (line.compare(first, 8, "#include") == 0) {
        include(line, first + 8);
        return;
    }
    const std::string text = trimmed(line);
    if (text == "{") {
        if (!m_hasPending) {
            // An ignored section keeps the braces paired.
            scriptError("'{' without a section header");
            m_sections.push_back(0);
            return;
        }
        int value = 0;
        if (m_sections.empty() || m_sections.back() != 0)
            value = onSection(m_sections.empty() ? 0 : m_sections.back(), m_tokens);
        m_sections.push_back(value);
        m_hasPending = false;
        m_tokens.clear();
        return;
    }
    if (text == "}") {
        if (m_sections.empty()) {
            scriptError("'}' without an open section");
            m_hasPending = false;
            m_tokens.clear();
            return;
        }
        const int value = m_sections.back();
        if (value != 0) {
            deliverPending();
            onSectionEnd(value);
        }
        m_sections.pop_back();
        m_hasPending = false;
        m_tokens.clear();
        return;
    }
    deliverPending();
    m_tokens = splitTokens(text);
    m_hasPending = true;
}

void aScriptLoader::deliverPending()
{
    if (m_hasPending && !m_sections.empty() && m_sections.back() != 0)
        onEntry(m_sections.back(), m_tokens);
}

void aScriptLoader::define(const std::string& line, std::size_t at)
{
    const std::size_t nameStart = line.find_first_not_of(kBlanks, at);
    const std::size_t nameEnd = nameStart == std::string::npos ? nameStart : line.find_first_of(kBlanks, nameStart);
    if (nameStart == at || nameEnd == std::string::npos) {
        scriptError("#define without a name followed by a blank");
        return;
    }
    const std::string name = line.substr(nameStart, nameEnd - nameStart);
    const std::size_t open = line.find('"', nameEnd);
    const std::size_t close = line.rfind('"');
    if (open == std::string::npos || close == open) {
        scriptError("#define " + name + " without its text in double quotes");
        m_defines[name].clear();
        return;
    }
    m_defines[name] = line.substr(open + 1, close - open - 1);
}

void aScriptLoader::include(const std::string& line, std::size_t at)
{
    const std::size_t open = line.find('"', at);
    const std::size_t close = line.rfind('"');
    if (open == std::string::npos || close == open) {
        scriptError("#include without a file name in double quotes");
        return;
    }
    const std::string name = line.substr(open + 1, close - open - 1);
    bool firstRefusal = false;
    switch (m_guard->check(name, &firstRefusal)) {
    case aIncludeGuard::INCLUDE_RECURSIVE:
        scriptError("\"" + name + "\" is being parsed already; #include skipped");
        return;
    case aIncludeGuard::INCLUDE_TOO_DEEP:
        scriptError("#include of \"" + name + "\" nested deeper than " + std::to_string(aIncludeGuard::kMaxDepth) +
                    " files; skipped");
        return;
    case aIncludeGuard::INCLUDE_OVER_BUDGET:
        if (firstRefusal)
            scriptError("more than " + std::to_string(aIncludeGuard::kMaxIncludedFiles) +
                        " files included in one load; further #include lines are skipped");
        return;
    case aIncludeGuard::INCLUDE_OK:
        break;
    }
    if (!file_isExistOrPacked(name)) {
        scriptError("cannot find included file \"" + name + "\"");
        return;
    }
    const std::string file = m_file;
    const int number = m_line;
    m_guard->enter(name);
    parseFile(name);
    m_guard->leave();
    m_file = file;
    m_line = number;
}
