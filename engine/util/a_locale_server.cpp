#include "engine/util/a_locale_server.h"

#include <algorithm>
#include <cstdlib>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "engine/util/a_string_list.h"

aLocaleServer* g_localeServer = nullptr;

namespace {

const char kBom[] = "\xEF\xBB\xBF";

struct Entry {
    std::string key;
    std::string text;
    bool isFile = false;
};

enum class LineKind { Skip, Entry, Error };

LineKind parseLine(const std::string& line, Entry& entry)
{
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == ';')
        return LineKind::Skip;
    const std::size_t keyEnd = line.find_first_of(" =\t", first);
    if (keyEnd == std::string::npos)
        return LineKind::Error;
    const std::size_t open = line.find('"', keyEnd);
    const std::size_t close = line.rfind('"');
    if (open == std::string::npos || close == open)
        return LineKind::Error;
    entry.key = line.substr(first, keyEnd - first);
    entry.isFile = line.substr(keyEnd, open - keyEnd).find("file,") != std::string::npos;
    entry.text = line.substr(open + 1, close - open - 1);
    return LineKind::Entry;
}

std::string fullKey(const std::string& key, const std::string& prefix)
{
    return prefix.empty() ? key : prefix + ":" + key;
}

// A colon past the second character names an assign ("language:x.txt").
bool hasAssign(const std::string& path)
{
    const std::size_t colon = path.find(':');
    return colon != std::string::npos && colon >= 2;
}

std::string unescapeLineBreaks(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

aLocaleServer::aLocaleServer() { g_localeServer = this; }

aLocaleServer::~aLocaleServer()
{
    if (g_localeServer == this)
        g_localeServer = nullptr;
}

void aLocaleServer::loadFile(const std::string& path, const std::string& group)
{
    const bool loaded = std::any_of(m_files.begin(), m_files.end(),
                                    [&](const LoadedFile& f) { return f.path == path && f.group == group; });
    if (loaded)
        return;
    m_files.push_back({path, group, {}});
    parseFile(path, group, m_files.back().keys);
}

void aLocaleServer::parseFile(const std::string& path, const std::string& group, std::vector<std::string>& keys)
{
    aStringList list(path);
    unsigned number = 0;
    for (std::string line : list.lines()) {
        if (++number == 1 && line.compare(0, 3, kBom) == 0)
            line.erase(0, 3);
        Entry entry;
        const LineKind kind = parseLine(line, entry);
        if (kind == LineKind::Skip)
            continue;
        if (kind == LineKind::Error) {
            a_log("aLocaleServer. Error in file %s, line %i", path.c_str(), int(number));
            continue;
        }
        keys.push_back(fullKey(entry.key, group));
        m_texts[keys.back()] = entry.isFile ? readTextFile(entry.text, path, entry.key, number)
                                            : str_utf8ToWide(unescapeLineBreaks(entry.text));
    }
}

std::wstring aLocaleServer::readTextFile(const std::string& target, const std::string& table,
                                         const std::string& key, unsigned line) const
{
    std::string path = target;
    if (path.find_first_of("/\\") == std::string::npos && !hasAssign(path))
        path = file_getDirectory(table) + path;
    std::uint32_t size = 0;
    std::uint8_t* data = file_readFullAndMalloc(path, &size);
    if (!data) {
        if (!file_isExistOrPacked(path))
            a_log("aLocaleServer. Cannot read file %s for key %s in file %s, line %i", path.c_str(), key.c_str(),
                  table.c_str(), int(line));
        return std::wstring();
    }
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::free(data);
    if (bytes.compare(0, 3, kBom) == 0)
        bytes.erase(0, 3);
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\r'), bytes.end());
    return str_utf8ToWide(bytes);
}

bool aLocaleServer::unloadFile(const std::string& path, const std::string& group)
{
    const auto record = std::find_if(m_files.begin(), m_files.end(),
                                     [&](const LoadedFile& f) { return f.path == path && f.group == group; });
    if (record == m_files.end())
        return false;
    for (const std::string& key : record->keys)
        m_texts.erase(key);
    m_files.erase(record);
    return true;
}

const std::wstring* aLocaleServer::findString(const std::string& key, const std::string& prefix) const
{
    const auto it = m_texts.find(fullKey(key, prefix));
    return it == m_texts.end() ? nullptr : &it->second;
}

std::wstring aLocaleServer::getString(const std::string& key, const std::string& prefix) const
{
    const std::string full = fullKey(key, prefix);
    const auto it = m_texts.find(full);
    if (it == m_texts.end()) {
        a_log("aLocaleServer. String [%s] not found", full.c_str());
        return std::wstring();
    }
    return it->second;
}
