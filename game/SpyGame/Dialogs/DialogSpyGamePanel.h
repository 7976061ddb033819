#pragma once
// The in-room game panel: the strip beside the room with the clock, the hint
// glass and counter, the navigation buttons, the room title, the level
// information and the notebook with the list of things to find, plus the
// continue and skip buttons of puzzle rooms. It wraps the window
// "SpyGameInterface" and is saved as "<SpyGameInterface>".
//
// The investigation and the rooms drive it through the operations below and
// poll its state word for the player's commands (Result). Its overlay (the
// list, the clue, the effects) is drawn from the window's render events.
// The lists it shows belong to the current personage; the panel only points
// at them. It keeps images, effects and sounds of the resource manager, so it
// must not outlive it; it may outlive the GUI server. Main thread only.
#include <array>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/gfx/a_curve.h"
#include "engine/gfx/a_particle_system.h"
#include "game/SpyGame/Dialogs/DialogBase.h"
#include "game/SpyGame/FindItems.h"
#include "game/shell/save_load_entity.h"

class aFont;
class aImage;
class aInputServer;
class aSound;
class CResManager;

namespace GUI {
class StaticText;
}

class CDialogSpyGamePanel : public CDialogBase, public SaveLoadEntity {
public:
    static constexpr const char* kWindowName = "SpyGameInterface";
    static constexpr const char* kEntityKey = "<SpyGameInterface>";

    // The state word's commands, seen in the one update after the click.
    enum Result : std::int32_t {
        ResultShown = 2,
        ResultBack = 3,           // Continue or Back
        ResultMap = 4,
        ResultMenu = 5,
        ResultCardRoom = 8,
        ResultHintChosen = 10,    // a hint target chosen in hint mode
        ResultHintDisabled = 11,  // a press on the disabled hint button
        ResultSkip = 12,
        ResultPause = 13,
        ResultMurderHunt = 15,
        ResultHint = 16,          // the hint widgets, with something to hint
        ResultHintCancel = 17,
    };

    // The widgets the panel finds, in its table's order.
    enum Part : std::size_t {
        GamePanel,
        BlockWidget,
        ContinueBtnPanel,
        Continue,
        SkipWithBack,
        SkipCenter,
        BtnHint,
        HintsCount,
        HintGlass,
        HintTitle,
        BtnMurderHunt,
        MurderHuntText,
        MurderHuntTitle,
        BtnCardRoom,
        BtnMap,
        BtnMenu,
        Clock,
        ClockGlass,
        ClockText,
        ClockTextPause,
        NotebookISpy,
        NotebookNoISpy,
        Text2,
        BonusDesc,
        QuennickComment,
        RoomName,
        InfoSpyRoom,
        InvName,
        ItemsRemain,
        InfoMap,
        LevelNum,
        NItems,
        Back,
        ClockWindow,
        PartCount
    };

    // Display states of a list line.
    enum TaskState : std::int32_t {
        TaskPlain = 0,
        TaskStruck = 1,     // found; the stroke grows
        TaskFinished = 2,   // Find All: done, struck, about to go
        TaskSliding = 3,    // Find All: leaving the list
        TaskDone = 4,       // struck for good (Find All: gone)
        TaskRecheck = 5,    // plain; the next refresh decides again
    };

    // Time a stroke takes to grow, and a Find All line to leave.
    static constexpr float kStrikeTime = 0.6666667f;
    static constexpr float kLowTime = 120.0f;
    static constexpr float kLowTimeSoundPeriod = 5.0f;
    static constexpr std::uint32_t kMaxRechargedHints = 3;
    static constexpr std::uint32_t kMaxHints = 99;
    // Loaded clocks and timers are clamped to this many seconds.
    static constexpr float kMaxSeconds = 359999.0f;

    // One word of a laid-out list line, relative to the line's origin.
    struct Word {
        std::wstring text;
        float x = 0.0f;
        float y = 0.0f;
    };
    // A laid-out line: its top and the extent of its words.
    struct TextLine {
        float y = 0.0f;
        float left = 0.0f;
        float right = 0.0f;
    };
    // One line of the list, for task i of the list.
    struct ItemTask {
        float y = 0.0f;  // screen y of its first line
        std::string key;
        std::int32_t state = TaskPlain;
        float progress = 0.0f;
        std::wstring text;
        // The text as the list font lays it out.
        std::vector<Word> words;
        std::vector<TextLine> lines;
        float height = 0.0f;
        float lineHeight = 0.0f;
        bool laidOut = false;
    };
    // A hint target on screen: a drawn line with items left to find.
    struct Entry {
        aRect rect;
        std::string name;
        std::size_t task = 0;
    };
    // A particle system travelling along a curve.
    struct Trail {
        aCurve curve;
        float speed = 0.0f;
        std::unique_ptr<aParticleSystem> particles;
        bool ended = false;
    };

    CDialogSpyGamePanel();
    ~CDialogSpyGamePanel() override;

    void Init() override;

    // ---- Room set-up and the list
    // The lists belong to the personage and must outlive their use here (or
    // be replaced by another SetupRoom or Clear).
    void SetupRoom(const std::string& titleKey, const std::vector<CFindItemsGroup>* taskList,
                   const std::vector<CFindItemsGroup>* clueList, const std::string& roomKey, bool murderHunt,
                   bool ispy);
    void Clear();
    // The investigation's murder-hunt stage, 0-4.
    void SetMode(std::int32_t mode);
    std::int32_t GetMode() const { return m_mode; }
    void SetLevelNum(std::int32_t n);
    void SetPersonageName(const std::string& name);
    void SetPersonageComment(const std::string& key, const std::vector<CFindItemsGroup>* commentList,
                             const std::string& prefix);
    void AddFoundItem(const std::string& name);
    void MarkItemTask(const std::string& key);
    // Screen points on the panel or on the visible continue button.
    bool IsPointInside(std::int32_t x, std::int32_t y) const;
    void ShowSkipBonusRound(bool show);
    // Once a frame; the four task counts, a = -1 when there are none.
    void Update(float dt, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);

    // ---- Clock
    void SetClockTime(float seconds);
    void AddClockTime(float seconds);
    float GetClockTime() const { return m_secondsLeft; }
    bool IsLowTime() const { return m_lowTime; }
    void SetFindAllMode(bool on);
    bool IsFindAllMode() const { return m_findAllMode; }
    // The investigation's input-blocked flag.
    void SetBlockPause(bool on) { m_blockPause = on; }
    bool IsBlockPause() const { return m_blockPause; }
    // The investigation's screen-blocked flag: the room is not an i-spy room.
    void SetRoomPause(bool on) { m_roomPause = on; }
    bool IsRoomPause() const { return m_roomPause; }
    // The game root's own screens (in-game menu, help, certificates) cover
    // the room; not saved, the root sets it every frame.
    void SetScreenPause(bool on) { m_screenPause = on; }
    bool IsShowingPaused() const { return m_showsPaused; }

    // ---- Hints
    void SetHintsCount(std::uint32_t n);
    std::uint32_t GetHintsCount() const { return m_hintsLeft; }
    void EnableHint(bool allowed);
    bool IsHintAllowed() const { return m_hintAllowed; }
    void UseHint();
    void AddExtraHint();
    bool IsRechargeRunning() const { return m_rechargeRunning; }
    float GetRechargeTimer() const { return m_rechargeTimer; }
    float GetRestoreTime() const { return m_restoreTime; }
    // The investigation's hint-list flag.
    void SetHintMode(bool on) { m_hintMode = on; }
    bool IsHintMode() const { return m_hintMode; }
    const std::string& GetHintTarget() const { return m_hintTarget; }

    // ---- Effects
    void StartMHMagicStars();
    bool IsMHMagicStarsArmed() const { return m_mhStarsArmed; }
    void StartContinueMagicStars();
    bool IsContinueMagicStarsArmed() const { return m_contStarsArmed; }
    // Nothing in the game adds trails yet; the curve starts as it is added.
    void AddTrail(const aCurve& curve, float speed, const aParticleSystem& particles);
    std::size_t GetTrailCount() const { return m_trails.size(); }
    float GetPulsePhase() const { return m_pulsePhase; }
    const aParticleSystem* GetExtraHintParticles() const { return m_extraHint.get(); }

    // ---- The room's flags and lists
    // The investigation's lock flag.
    bool IsISpyRoom() const { return m_ispyRoom; }
    bool IsMurderHuntEnabled() const { return m_murderHuntEnabled; }
    const std::vector<CFindItemsGroup>* GetTaskList() const { return m_taskList; }
    const std::vector<CFindItemsGroup>* GetClueList() const { return m_clueList; }
    const std::vector<ItemTask>& GetItemTasks() const { return m_tasks; }
    // Rebuilt at every drawn frame.
    const std::vector<Entry>& GetEntries() const { return m_entries; }
    const std::vector<std::string>& GetFoundNames() const { return m_foundNames; }
    bool IsFoundChanged() const { return m_foundChanged; }
    // Texts laid out through "ItemTasks" so far (an unchanged list lays none out).
    std::size_t GetLayoutCount() const { return m_layoutCount; }

    // A widget of the table; null when the script lacks it or it is gone.
    GUI::Widget* GetPart(Part part) const { return m_parts[part].get(); }

    // The clock's pause-display toggle and the warning phase are shared by
    // all panels; tests put them back to 0.
    static void ResetSharedClockState();
    static float GetWarningPhase();

    // ---- Save record
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    // Read whole and checked first; a damaged record leaves the panel as it was.
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    // Everything the record holds back as Init left it, and no room set up:
    // a new game starts on the panel the program started with, whatever a
    // save (or one refused after its record was read) put there since.
    void ResetForNewGame();

private:
    // What the save record holds.
    struct Record {
        float pulse = 0.0f;
        std::uint32_t hints = 0;
        std::uint8_t hintAllowed = 0, flagOne = 0, flagTwo = 0, window = 0, blockHidden = 0, back = 0, skipWithBack = 0,
                     skipCenter = 0, map = 0, cardRoom = 0, infoMap = 0, infoSpyRoom = 0, murderHunt = 0;
        float value = 0.0f;
        std::uint8_t showsPaused = 0, roomPause = 0;
        float lastFrameTime = 0.0f;
        std::uint8_t lowTime = 0;
        float seconds = 0.0f;
        std::int32_t mode = 0;
        std::vector<std::string> foundNames;
        std::uint8_t foundChanged = 0, continueVisible = 0, recharge = 0;
        float rechargeTimer = 0.0f;
    };
    // Images of the "GamePanel" group, looked up once.
    struct CachedImage {
        const char* name;
        aImage* image = nullptr;
        bool looked = false;
    };

    // Render hooks and handlers.
    bool OnOverlay(const GUI::EventArgs& args);
    bool OnContinueStars(const GUI::EventArgs& args);
    bool OnHintClick(const GUI::EventArgs& args);
    bool OnHintOverlay(const GUI::EventArgs& args);
    bool OnMurderHuntRender(const GUI::EventArgs& args);
    bool OnMurderHuntClick(const GUI::EventArgs& args);
    bool OnClockClick(const GUI::EventArgs& args);
    bool OnLowTimeWarning(const GUI::EventArgs& args);

    void FindParts();
    void SubscribeParts();
    void CreateEffects();
    void RefreshTasks(float dt);
    // "ItemTasks" takes the font, size, spacing and width of "text2"; false
    // when it has no font to lay out with. A change lays every line out anew.
    bool TakeListStyle();
    void LayoutTask(ItemTask& task);
    void DrawTasks();
    void DrawTask(const ItemTask& task, float x, float alpha, bool highlighted, float strike);
    void DrawClue();
    void UpdateClockText(float dt);
    void UpdateEffects(float dt);
    bool ResolveHintPress();
    void UpdateCounters(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);
    Record CurrentRecord() const;
    void ApplyRecord(const Record& record);

    // Text of the key under the group ("" when missing, logged once by the resources).
    std::wstring Localised(const std::string& key, const std::string& group = std::string()) const;
    // Null without logging when the key is missing.
    const std::wstring* FindLocalised(const std::string& key, const std::string& group = std::string()) const;
    aImage* PanelImage(CachedImage& cached);
    bool MousePressedIn(Part part) const;
    bool MouseIn(Part part) const;
    void MousePos(std::int32_t& x, std::int32_t& y) const;
    bool PartVisible(Part part) const;
    bool PartEnabled(Part part) const;
    void SetPartVisible(Part part, bool on);
    void SetPartEnabled(Part part, bool on);
    // Sets the text only when it changed, so labels are not laid out again.
    void SetPartText(Part part, const std::wstring& text);
    // (x, y) of a widget's centre on screen.
    bool CentreOf(Part part, float& x, float& y) const;

    std::array<GUI::WidgetRef, PartCount> m_parts;
    std::shared_ptr<GUI::StaticText> m_itemTasks;
    aFont* m_captionFont = nullptr;  // the server's; used only while the window lives
    aFont* m_clueFont = nullptr;
    aInputServer* m_input = nullptr;
    CResManager* m_res = nullptr;

    // Room and list.
    std::int32_t m_mode = 0;
    bool m_murderHuntEnabled = false;
    bool m_ispyRoom = false;
    bool m_hintMode = false;
    const std::vector<CFindItemsGroup>* m_taskList = nullptr;
    const std::vector<CFindItemsGroup>* m_clueList = nullptr;
    const std::vector<CFindItemsGroup>* m_commentList = nullptr;
    std::string m_roomKey;
    std::string m_commentPrefix;
    ItemTask m_titleTask;  // the room task over an i-spy list
    // The list style last taken from "text2".
    aFont* m_listFont = nullptr;
    float m_listFontSize = 0.0f;
    float m_listSpacing = 0.0f;
    std::uint16_t m_listWidth = 0;
    std::vector<ItemTask> m_tasks;
    std::vector<Entry> m_entries;
    std::vector<std::string> m_foundNames;
    bool m_foundChanged = false;
    std::map<std::string, std::pair<float, float>> m_listOrigins;
    std::string m_personageName;
    std::list<Trail> m_trails;
    std::size_t m_layoutCount = 0;
    // What the counters showed last (their texts are set on change only).
    std::array<std::int32_t, 3> m_shownCounts{{-1, -1, -1}};
    // The clue text and its lines as last wrapped.
    std::wstring m_clueSource;
    std::vector<std::wstring> m_clueLines;

    // Clock.
    float m_secondsLeft = 0.0f;
    bool m_lowTime = false;
    bool m_findAllMode = false;
    bool m_roomPause = true;
    bool m_blockPause = false;
    bool m_screenPause = false;
    bool m_showsPaused = false;
    float m_lastFrameTime = 0.0f;
    aSound* m_lowTimeSound = nullptr;  // the sound manager's
    float m_lowTimeTimer = kLowTimeSoundPeriod;

    // Hints.
    std::uint32_t m_hintsLeft = 0;
    bool m_hintAllowed = true;
    bool m_rechargeRunning = false;
    float m_rechargeTimer = 0.0f;
    float m_restoreTime = 180.0f;
    std::string m_hintTarget;

    // Effects.
    float m_pulsePhase = 0.0f;
    std::unique_ptr<aParticleSystem> m_extraHint;
    std::unique_ptr<aParticleSystem> m_contStars;
    std::unique_ptr<aParticleSystem> m_mhStars;
    bool m_mhStarsArmed = false;
    bool m_contStarsArmed = false;
    aSound* m_extraHintSound = nullptr;
    const aImage* m_hintTitleImage = nullptr;  // what "hint_title" shows

    // The record as Init left the panel.
    std::unique_ptr<Record> m_initial;

    // Kept by the record, not used by the panel.
    bool m_flagOne = false;
    bool m_flagTwo = false;
    float m_panelValue = 0.0f;

    CachedImage m_clockWarning{"clock_warning"};
    CachedImage m_circle{"circle"};
    CachedImage m_hintLight{"hint_light"};
    CachedImage m_selectItem{"select_item"};
    CachedImage m_hintEnabled{"hint_text_enabled"};
    CachedImage m_hintDisabled{"hint_text_disabled"};
};
