#include "game/shell/c_ini_values.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "engine/util/a_log.h"
#include "engine/util/a_string.h"

namespace {

std::string trimmed(const std::string& text)
{
    const std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return std::string();
    return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

bool readNumber(const std::string& text, float& out)
{
    if (!str_isDouble(text))
        return false;
    const double v = str_toDouble(text);
    if (!std::isfinite(v) || std::fabs(v) > 1e30)
        return false;
    out = float(v);
    return true;
}

} // namespace

const std::string* CIniSection::Find(const char* key) const
{
    for (const aOptionsFile::Pair& pair : m_section.second)
        if (pair.first == key)
            return &pair.second;
    return nullptr;
}

std::string CIniSection::GetString(const char* key) const
{
    const std::string* value = Find(key);
    return value ? trimmed(*value) : std::string();
}

void CIniSection::Log(const std::string& what) const
{
    a_log("%s. '%s' [%s] %s", m_owner, m_path.c_str(), m_section.first.c_str(), what.c_str());
}

void CIniSection::Refuse(const char* key, const std::string& value, const std::string& taken) const
{
    Log(std::string(key) + ": bad value '" + value + "', " + taken + " taken");
}

float CIniSection::GetFloat(const char* key, float def, float min) const
{
    if (!Has(key))
        return def;
    const std::string text = GetString(key);
    float v = 0.0f;
    if (!readNumber(text, v) || v < min) {
        Refuse(key, text, str_format("%g", double(def)));
        return def;
    }
    return v;
}

std::uint32_t CIniSection::GetColor(const char* key, std::uint32_t def) const
{
    if (!Has(key))
        return def;
    const std::string text = GetString(key);
    if (text.empty() || text.size() > 8 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        Refuse(key, text, str_format("%08X", def));
        return def;
    }
    return std::uint32_t(std::strtoul(text.c_str(), nullptr, 16));
}

bool CIniSection::GetPoint(const char* key, float& x, float& y) const
{
    if (!Has(key))
        return false;
    const std::string text = GetString(key);
    std::vector<std::string> parts;
    str_split(text, parts, " \t,");
    float px = 0.0f, py = 0.0f;
    if (parts.size() != 2 || !readNumber(parts[0], px) || !readNumber(parts[1], py)) {
        Refuse(key, text, "the default");
        return false;
    }
    x = px;
    y = py;
    return true;
}
