#pragma once
// Room data files: the shared "rooms.ini" and a room's [Room] keys, looked up
// in the case room's "room.ini" first, then in the location's
// "location.ini", then taking the default. Bad values are logged with the
// file that holds them and take the default. Main thread only.
#include <cstdint>
#include <list>
#include <string>

#include "engine/util/a_options_file.h"
#include "engine/util/a_rect.h"

// "_Locations/rooms.ini": the inventory strip, the effects and the cursors.
struct CRoomsSettings {
    static constexpr const char* kFile = "gamedata:_Locations/rooms.ini";

    aRect inventoryRect{179, 696, 845, 72};
    std::uint16_t slotWidth = 72;
    std::uint16_t slotHeight = 72;
    std::string magicStars = "magic_stars";
    std::string hintStars = "hint_stars";
    float hintTime = 3.0f;
    std::string itemCursor = "hand";
    std::string doorCursor = "door";

    // A missing file keeps every default.
    void Load(const std::string& path);
};

class CRoomData {
public:
    static constexpr const char* kSection = "Room";

    // Either file may be missing ("" or absent on disk).
    void Open(const std::string& roomName, const std::string& caseFile, const std::string& locationFile);

    bool Has(const std::string& key) const;
    std::string GetString(const std::string& key, const std::string& def) const;
    // 0 or 1.
    bool GetFlag(const std::string& key, bool def) const;
    // Finite and > 0.
    float GetPositiveFloat(const std::string& key, float def) const;
    // "w h", each 1-65535; false (logged when present) otherwise.
    bool GetSize(const std::string& key, std::uint16_t& width, std::uint16_t& height) const;
    // "x y w h" within the 16-bit ranges of aRect; false (logged when present) otherwise.
    bool GetRect(const std::string& key, aRect& rect) const;
    void GetTokens(const std::string& key, std::list<std::string>& out) const;

    // The location file, for its other sections.
    aOptionsFile& GetLocationFile() { return m_location; }
    const std::string& GetLocationFileName() const { return m_locationFile; }

private:
    // The file that holds the key: the case file, the location file, or null.
    const aOptionsFile* Find(const std::string& key, std::string* fileName) const;
    void LogBad(const std::string& key, const std::string& value, const std::string& file,
                const std::string& what) const;

    std::string m_room;
    std::string m_caseFile;
    std::string m_locationFile;
    aOptionsFile m_case;
    aOptionsFile m_location;
};

// Strict number parsing for data values ("C" decimal point).
bool room_parseFloat(const std::string& text, float& out);
bool room_parseInt(const std::string& text, std::int32_t& out);
