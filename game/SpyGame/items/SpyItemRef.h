#pragma once
// A reference to a scene item: its name, then its room. In data it is
// written room, ':', name; text without ':' is a name with an empty room.
#include <cstdint>
#include <string>
#include <utility>

class SaveLoadSystem;

class CSpyItemRef {
public:
    CSpyItemRef() = default;
    CSpyItemRef(std::string itemName, std::string roomName) : name(std::move(itemName)), room(std::move(roomName)) {}

    // Splits at the first ':' (room before, name after).
    static CSpyItemRef Parse(const std::string& text);
    // Room, ':', name (":name" for an empty room).
    std::string ToString() const;

    // Room first, then name, byte by byte.
    bool operator<(const CSpyItemRef& other) const;
    bool operator==(const CSpyItemRef& other) const { return name == other.name && room == other.room; }
    bool operator!=(const CSpyItemRef& other) const { return !(*this == other); }

    // Name and NUL, then room and NUL.
    std::uint32_t Save(SaveLoadSystem& system, std::uint32_t pos) const;
    // The mirror of Save, bounded by the block being read.
    std::uint32_t Load(SaveLoadSystem& system, std::uint32_t pos);

    std::string name;
    std::string room;
};
