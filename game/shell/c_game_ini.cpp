#include "game/shell/c_game_ini.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_string.h"

namespace {

std::string trimmed(const std::string& text)
{
    const std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return std::string();
    return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

bool isDecimal(const std::string& text)
{
    return !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos;
}

// A plain decimal number: sign, digits, an optional fraction and exponent.
bool isNumber(const std::string& text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t digitsFrom = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i;
    std::size_t digits = i - digitsFrom;
    if (i < text.size() && text[i] == '.') {
        ++i;
        const std::size_t fractionFrom = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
        digits += i - fractionFrom;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        const std::size_t exponentFrom = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
        if (i == exponentFrom)
            return false;
    }
    return i == text.size();
}

// Text as an ini file holds it: no control characters but line breaks and
// tabs.
bool isText(const std::vector<std::uint8_t>& bytes)
{
    for (const std::uint8_t c : bytes)
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    return true;
}

class Reader {
public:
    Reader(const aOptionsFile& ini, const std::string& path) : m_ini(ini), m_path(path) {}

    // The trimmed value; false when the key is absent.
    bool value(const char* section, const char* key, std::string& out) const
    {
        if (!m_ini.hasSectionKey(section, key))
            return false;
        out = trimmed(m_ini.getValue(section, key));
        return true;
    }

    void flag(const char* section, const char* key, bool& out) const
    {
        std::string text;
        if (!value(section, key, text))
            return;
        if (text == "0" || text == "1")
            out = text == "1";
        else
            refuse(section, key, text, out ? "1" : "0");
    }

    void size(const char* section, const char* key, std::uint16_t& out) const
    {
        std::string text;
        if (!value(section, key, text))
            return;
        const long v = isDecimal(text) ? std::stol(text) : -1;
        if (v >= CGameIni::kMinSize && v <= CGameIni::kMaxSize)
            out = std::uint16_t(v);
        else
            refuse(section, key, text, std::to_string(out));
    }

    void seconds(const char* section, const char* key, float& out) const
    {
        std::string text;
        if (!value(section, key, text))
            return;
        const double v = isNumber(text) ? str_toDouble(text) : -1.0;
        if (std::isfinite(v) && v >= 0.0 && v <= double(CGameIni::kMaxRestoreHintTime))
            out = float(v);
        else
            refuse(section, key, text, str_format("%g", double(out)));
    }

    void refuse(const char* section, const char* key, const std::string& text, const std::string& def) const
    {
        a_log("CGameIni. '%s' [%s] %s = '%s' is not valid; %s used", m_path.c_str(), section, key, text.c_str(),
              def.c_str());
    }

private:
    const aOptionsFile& m_ini;
    const std::string& m_path;
};

} // namespace

CGameIni::CGameIni(const std::string& path, const std::string& languageRoot) : m_path(path)
{
    std::vector<std::uint8_t> bytes;
    const int err = file_readDisk(path, kMaxFileSize, bytes);
    if (err == ENOENT || err == ENOTDIR) {
        a_log("CGameIni. No '%s', the defaults are used", path.c_str());
        return;
    }
    std::string why;
    if (err == EISDIR)
        why = "is a folder";
    else if (err == EINVAL)
        why = "is not a regular file";
    else if (err == EFBIG)
        why = "is over " + std::to_string(kMaxFileSize) + " bytes";
    else if (err != 0)
        why = std::string("cannot be read (") + std::strerror(err) + ")";
    else if (bytes.empty())
        why = "is empty";
    else if (!isText(bytes))
        why = "is not text";
    if (!why.empty()) {
        a_log("CGameIni. '%s' %s: the defaults stand: %s", path.c_str(), why.c_str(), Settings().c_str());
        return;
    }
    aOptionsFile ini;
    ini.parse(bytes.data(), bytes.size(), path);
    Read(ini, languageRoot);
}

std::string CGameIni::Settings() const
{
    return str_format("[Graphics] Width=%u Height=%u Use32Bit=%d VSync=%d Windowed=%d [Language] Name=%s "
                      "[Sound] Enabled=%d Ambient=%d [Other] DisableSaves=%d EnableCheatKeys=%d "
                      "TimeForRestoreHint=%g",
                      unsigned(m_width), unsigned(m_height), int(m_use32Bit), int(m_vsync), int(m_windowed),
                      m_language.c_str(), int(m_soundEnabled), int(m_ambient), int(m_disableSaves),
                      int(m_enableCheatKeys), double(m_timeForRestoreHint));
}

void CGameIni::Read(const aOptionsFile& ini, const std::string& languageRoot)
{
    const Reader r(ini, m_path);
    r.size("Graphics", "Width", m_width);
    r.size("Graphics", "Height", m_height);
    if (m_width != 1024 || m_height != 768)
        a_log("CGameIni. Back buffer %ux%u: the game's positions are made for 1024x768", unsigned(m_width),
              unsigned(m_height));
    r.flag("Graphics", "Use32Bit", m_use32Bit);
    r.flag("Graphics", "VSync", m_vsync);
    r.flag("Graphics", "Windowed", m_windowed);
    r.flag("Sound", "Enabled", m_soundEnabled);
    r.flag("Sound", "Ambient", m_ambient);
    r.flag("Other", "DisableSaves", m_disableSaves);
    r.flag("Other", "EnableCheatKeys", m_enableCheatKeys);
    r.seconds("Other", "TimeForRestoreHint", m_timeForRestoreHint);

    std::string language;
    if (!r.value("Language", "Name", language) || language == kDefaultLanguage)
        return;
    // The name becomes a folder under the data: it must stay one.
    const bool isName = !language.empty() && language.find_first_of("/\\:") == std::string::npos &&
                        language.find("..") == std::string::npos;
    if (!isName)
        r.refuse("Language", "Name", language, kDefaultLanguage);
    else if (!file_isDirExistOrPacked(languageRoot + language + "/"))
        a_log("CGameIni. '%s' [Language] Name = '%s': no folder '%s'; %s used", m_path.c_str(), language.c_str(),
              (languageRoot + language + "/").c_str(), kDefaultLanguage);
    else
        m_language = language;
}
