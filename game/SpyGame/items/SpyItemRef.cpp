#include "game/SpyGame/items/SpyItemRef.h"

#include "game/shell/save_load_system.h"

CSpyItemRef CSpyItemRef::Parse(const std::string& text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos)
        return CSpyItemRef(text, std::string());
    return CSpyItemRef(text.substr(colon + 1), text.substr(0, colon));
}

std::string CSpyItemRef::ToString() const { return room + ":" + name; }

bool CSpyItemRef::operator<(const CSpyItemRef& other) const
{
    // std::string compares through char_traits<char>, which orders bytes as
    // unsigned char: a byte comparison.
    if (room != other.room)
        return room < other.room;
    return name < other.name;
}

std::uint32_t CSpyItemRef::Save(SaveLoadSystem& system, std::uint32_t pos) const
{
    pos = system.WriteString(pos, name);
    return system.WriteString(pos, room);
}

std::uint32_t CSpyItemRef::Load(SaveLoadSystem& system, std::uint32_t pos)
{
    pos = system.ReadString(pos, name);
    return system.ReadString(pos, room);
}
