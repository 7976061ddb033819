#pragma once
// When the tutorial tips of a game are shown: nine once-per-game triggers on
// game situations (the first map visit, the hunt's first steps, the
// notebook, the map tab), a queue of tips asked for with a delay, and two
// timers. Every tip goes out through the tip manager, whose limits decide;
// a trigger counts as done only when the balloon opened.
//
// Saved as "<TipEvents>": u32 flag count (9), then one byte per flag. Main
// thread only.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/shell/save_load_entity.h"

class CInvestigation;
class CInvestigationDialogs;
class CRoomBase;

class CTipEvents : public SaveLoadEntity {
public:
    static constexpr const char* kKey = "<TipEvents>";
    static constexpr std::size_t kFlagCount = 9;
    static constexpr float kInstructionDelay = 20.0f;
    static constexpr float kMapTabDelay = 120.0f;

    enum Flag : std::size_t {
        FirstGlobalMap,
        Notepad,
        NotepadFirstISpyFound,
        MHFirstSticker,
        MHEncrypted,
        MHFirstDecrypted,
        MHFirstPhoto,
        MapTab,
        MHInstruction,
    };

    CTipEvents();

    void Init(CInvestigationDialogs* dialogs, CInvestigation* investigation);
    void Reset();
    // Dropped unless initialised, tips are on and the game is not Find All.
    void Queue(const std::string& name, float delay);
    // At most one tip; true when one was shown. False before Init.
    bool Check(float dt);

    bool IsActive() const { return m_active; }
    bool IsShown(Flag flag) const { return m_shown[flag]; }
    void SetShown(Flag flag, bool shown) { m_shown[flag] = shown; }
    struct Queued {
        std::string name;
        float delay = 0.0f;
    };
    const std::vector<Queued>& GetQueue() const { return m_queue; }
    float GetMapTabTimer() const { return m_mapTabTimer; }
    float GetInstructionTimer() const { return m_instructionTimer; }

    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    // Nine flags whatever the count: the first min(count, 9) bytes are read,
    // the rest skipped.
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;

private:
    bool Show(const std::string& name, std::int32_t x = -1, std::int32_t y = -1);
    bool Mark(Flag flag);
    bool CheckHunt(float dt, CRoomBase* room);
    bool CheckQueue(float dt);
    bool CheckStickers(CRoomBase* room);
    bool CheckHintClicks(CRoomBase* room);
    // The item's centre on screen, when the room has it.
    static bool ItemCentre(CRoomBase* room, const char* item, bool needVisible, std::int32_t& x, std::int32_t& y,
                           bool* present = nullptr);

    bool m_active = false;
    CInvestigationDialogs* m_dialogs = nullptr;
    CInvestigation* m_investigation = nullptr;
    std::array<bool, kFlagCount> m_shown{};
    std::vector<Queued> m_queue;
    float m_mapTabTimer = 0.0f;
    float m_instructionTimer = 0.0f;
};
