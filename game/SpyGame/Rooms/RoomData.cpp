#include "game/SpyGame/Rooms/RoomData.h"

#include <cmath>
#include <vector>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"

namespace {

std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> out;
    str_split(text, out, " \t,");
    std::vector<std::string> kept;
    for (const std::string& w : out)
        if (!w.empty())
            kept.push_back(w);
    return kept;
}

// "x y w h" into an aRect; sizes 1-65535 when positive is asked.
bool parseRect(const std::string& text, aRect& rect)
{
    const std::vector<std::string> parts = words(text);
    std::int32_t v[4] = {};
    if (parts.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i)
        if (!room_parseInt(parts[std::size_t(i)], v[i]))
            return false;
    if (v[0] < -32768 || v[0] > 32767 || v[1] < -32768 || v[1] > 32767 || v[2] < 1 || v[2] > 65535 || v[3] < 1 ||
        v[3] > 65535)
        return false;
    rect = aRect(std::int16_t(v[0]), std::int16_t(v[1]), std::uint16_t(v[2]), std::uint16_t(v[3]));
    return true;
}

bool parseSize(const std::string& text, std::uint16_t& width, std::uint16_t& height)
{
    const std::vector<std::string> parts = words(text);
    std::int32_t w = 0, h = 0;
    if (parts.size() != 2 || !room_parseInt(parts[0], w) || !room_parseInt(parts[1], h) || w < 1 || w > 65535 ||
        h < 1 || h > 65535)
        return false;
    width = std::uint16_t(w);
    height = std::uint16_t(h);
    return true;
}

} // namespace

bool room_parseFloat(const std::string& text, float& out)
{
    if (!str_isDouble(text))
        return false;
    const double v = str_toDouble(text);
    if (!std::isfinite(v) || std::fabs(v) > 1e30)
        return false;
    out = float(v);
    return true;
}

bool room_parseInt(const std::string& text, std::int32_t& out)
{
    if (!str_isInt(text))
        return false;
    out = str_toInt(text);
    return true;
}

// ------------------------------------------------------------------ rooms.ini

void CRoomsSettings::Load(const std::string& path)
{
    if (!file_isExistOrPacked(path))
        return;
    aOptionsFile ini(path);
    const auto bad = [&](const char* section, const char* key, const std::string& value) {
        a_log("CRoomsManager. File '%s' [%s] %s: bad value '%s', the default is kept", path.c_str(), section, key,
              value.c_str());
    };
    std::string v = ini.getValueDef("Inventory", "Rect", "");
    if (!v.empty() && !parseRect(v, inventoryRect))
        bad("Inventory", "Rect", v);
    v = ini.getValueDef("Inventory", "Slot", "");
    if (!v.empty() && !parseSize(v, slotWidth, slotHeight))
        bad("Inventory", "Slot", v);
    magicStars = ini.getValueDef("Effects", "MagicStars", magicStars);
    hintStars = ini.getValueDef("Effects", "HintStars", hintStars);
    v = ini.getValueDef("Effects", "HintTime", "");
    float t = 0.0f;
    if (!v.empty()) {
        if (room_parseFloat(v, t) && t >= 0.0f && t <= 3600.0f)
            hintTime = t;
        else
            bad("Effects", "HintTime", v);
    }
    itemCursor = ini.getValueDef("Cursors", "Item", itemCursor);
    doorCursor = ini.getValueDef("Cursors", "Door", doorCursor);
}

// ------------------------------------------------------------------ [Room] keys

void CRoomData::Open(const std::string& roomName, const std::string& caseFile, const std::string& locationFile)
{
    m_room = roomName;
    m_case.clear();
    m_location.clear();
    m_caseFile = !caseFile.empty() && file_isExistOrPacked(caseFile) ? caseFile : std::string();
    m_locationFile = !locationFile.empty() && file_isExistOrPacked(locationFile) ? locationFile : std::string();
    if (!m_caseFile.empty())
        m_case.load(m_caseFile);
    if (!m_locationFile.empty())
        m_location.load(m_locationFile);
}

const aOptionsFile* CRoomData::Find(const std::string& key, std::string* fileName) const
{
    if (m_case.hasSectionKey(kSection, key)) {
        if (fileName)
            *fileName = m_caseFile;
        return &m_case;
    }
    if (m_location.hasSectionKey(kSection, key)) {
        if (fileName)
            *fileName = m_locationFile;
        return &m_location;
    }
    return nullptr;
}

void CRoomData::LogBad(const std::string& key, const std::string& value, const std::string& file,
                       const std::string& what) const
{
    a_log("CRoomsManager::AddRoom(). Room '%s', file '%s' [Room] %s: bad value '%s', %s", m_room.c_str(),
          file.c_str(), key.c_str(), value.c_str(), what.c_str());
}

bool CRoomData::Has(const std::string& key) const { return Find(key, nullptr) != nullptr; }

std::string CRoomData::GetString(const std::string& key, const std::string& def) const
{
    const aOptionsFile* file = Find(key, nullptr);
    return file ? file->getValueDef(kSection, key, def) : def;
}

bool CRoomData::GetFlag(const std::string& key, bool def) const
{
    std::string file;
    const aOptionsFile* ini = Find(key, &file);
    if (!ini)
        return def;
    const std::string v = ini->getValueDef(kSection, key, "");
    std::int32_t n = 0;
    if (room_parseInt(v, n) && (n == 0 || n == 1))
        return n == 1;
    LogBad(key, v, file, def ? "1 used" : "0 used");
    return def;
}

float CRoomData::GetPositiveFloat(const std::string& key, float def) const
{
    std::string file;
    const aOptionsFile* ini = Find(key, &file);
    if (!ini)
        return def;
    const std::string v = ini->getValueDef(kSection, key, "");
    float f = 0.0f;
    if (room_parseFloat(v, f) && f > 0.0f && f <= 1000.0f)
        return f;
    LogBad(key, v, file, "the default used");
    return def;
}

bool CRoomData::GetSize(const std::string& key, std::uint16_t& width, std::uint16_t& height) const
{
    std::string file;
    const aOptionsFile* ini = Find(key, &file);
    if (!ini)
        return false;
    const std::string v = ini->getValueDef(kSection, key, "");
    if (parseSize(v, width, height))
        return true;
    LogBad(key, v, file, "the default used");
    return false;
}

bool CRoomData::GetRect(const std::string& key, aRect& rect) const
{
    std::string file;
    const aOptionsFile* ini = Find(key, &file);
    if (!ini)
        return false;
    const std::string v = ini->getValueDef(kSection, key, "");
    if (parseRect(v, rect))
        return true;
    LogBad(key, v, file, "none used");
    return false;
}

void CRoomData::GetTokens(const std::string& key, std::list<std::string>& out) const
{
    if (const aOptionsFile* ini = Find(key, nullptr))
        ini->getValueTokens(kSection, key, out);
}
