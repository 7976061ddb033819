#include "engine/gfx/a_image_manager.h"

#include <tuple>
#include <utility>

#include "engine/util/a_log.h"

namespace {

struct FormatToken {
    const char* token;
    D3DFORMAT format;
};

const FormatToken kFormatTokens[10] = {
    {"1555", D3DFMT_A1R5G5B5}, {"4444", D3DFMT_A4R4G4B4}, {"0565", D3DFMT_R5G6B5}, {"8888", D3DFMT_A8R8G8B8},
    {"0888", D3DFMT_R8G8B8},   {"DXT1", D3DFMT_DXT1},     {"DXT2", D3DFMT_DXT2},   {"DXT3", D3DFMT_DXT3},
    {"DXT4", D3DFMT_DXT4},     {"DXT5", D3DFMT_DXT5},
};

bool knownToken(const std::string& token)
{
    for (const FormatToken& t : kFormatTokens)
        if (token == t.token)
            return true;
    return false;
}

void logBadLine(const std::string& line) { a_log("aImageManager: Error in line: %s", line.c_str()); }

} // namespace

aImageManager::aImageManager() : m_last(m_images.end()) {}

aImageManager::~aImageManager() = default;

D3DFORMAT aImageManager::formatFromToken(const std::string& token)
{
    for (const FormatToken& t : kFormatTokens)
        if (token == t.token)
            return t.format;
    return D3DFMT_UNKNOWN;
}

std::string aImageManager::makeKey(const std::string& name, const std::string& group)
{
    return group.empty() ? name : name + ":" + group;
}

std::string aImageManager::GetNameFromLine(const std::string& line)
{
    const std::size_t dot = line.rfind('.');
    const std::size_t space = dot == std::string::npos ? std::string::npos : line.find(' ', dot);
    if (space == std::string::npos) {
        logBadLine(line);
        return std::string();
    }
    return line.substr(0, space);
}

void aImageManager::LoadFile(const std::string& directory, const std::string& line, const std::string& group)
{
    // A malformed line is skipped so the rest of its list still loads.
    const std::size_t dot = line.rfind('.');
    const std::size_t fileEnd = dot == std::string::npos ? std::string::npos : line.find(' ', dot);
    const std::size_t firstStart = fileEnd == std::string::npos ? fileEnd : line.find_first_not_of(' ', fileEnd);
    const std::size_t firstEnd = firstStart == std::string::npos ? firstStart : line.find(' ', firstStart);
    const std::size_t secondStart = firstEnd == std::string::npos ? firstEnd : line.find_first_not_of(' ', firstEnd);
    if (secondStart == std::string::npos) {
        logBadLine(line);
        return;
    }
    const std::size_t secondEnd = line.find(' ', secondStart);
    const std::string key = makeKey(line.substr(0, dot), group);
    const std::string file = line.substr(0, fileEnd);
    const std::string token16 = line.substr(firstStart, firstEnd - firstStart);
    const std::string token32 =
        line.substr(secondStart, secondEnd == std::string::npos ? std::string::npos : secondEnd - secondStart);

    if (!knownToken(token16) || !knownToken(token32))
        a_log("aImageManager. Unknown image format: %s", line.c_str());
    if (m_images.count(key)) {
        a_log("aImageManager. Image with name \"%s\" already loaded!", key.c_str());
        return;
    }
    m_images.emplace(std::piecewise_construct, std::forward_as_tuple(key),
                     std::forward_as_tuple(directory + file, formatFromToken(token16), formatFromToken(token32)));
    if (m_callback)
        m_callback(file);
}

bool aImageManager::UnloadFile(const std::string& line, const std::string& group)
{
    const auto it = m_images.find(makeKey(line.substr(0, line.rfind('.')), group));
    if (it == m_images.end())
        return false;
    if (m_last == it)
        m_last = m_images.end();
    m_images.erase(it);
    return true;
}

aImage* aImageManager::GetImage(const std::string& name, const std::string& group)
{
    m_last = m_images.find(makeKey(name, group));
    if (m_last == m_images.end()) {
        if (group.empty())
            a_log("aImageManager. Cannot find image: %s", name.c_str());
        else
            a_log("aImageManager. Cannot find image: %s : %s", name.c_str(), group.c_str());
        return nullptr;
    }
    return &m_last->second;
}

bool aImageManager::HasImage(const std::string& name, const std::string& group)
{
    return m_images.count(makeKey(name, group)) != 0;
}
