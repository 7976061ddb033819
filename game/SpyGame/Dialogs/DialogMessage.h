#pragma once
// The message at the bottom of the screen during play: one line of story or
// hint text with the current personage's face beside it. It slides up from
// the bottom edge while fading in, stays until it is clicked, replaced or
// timed out, then slides down while fading out. One message at a time; a new
// one replaces the text on screen. Saved as "<DialogMessage>", stored text
// and all, so a restored message shows what the player saw.
//
// Wraps the window "Message" with the children "text", "PersIcon" (an
// image) and "Close". Main thread only.
#include <cstdint>
#include <memory>
#include <string>

#include "game/SpyGame/Dialogs/DialogBase.h"
#include "game/shell/save_load_entity.h"

class CDialogMessage : public CDialogBase, public SaveLoadEntity {
public:
    static constexpr const char* kWindowName = "Message";
    static constexpr const char* kEntityKey = "<DialogMessage>";
    // Slides per second: a full slide takes a third of a second.
    static constexpr float kSlideSpeed = 3.0f;

    enum Phase : std::uint32_t { PhaseStill = 0, PhaseAppearing = 1, PhaseDisappearing = 2 };

    CDialogMessage();
    // Puts the window back where and as opaque as the script made it.
    ~CDialogMessage() override;

    void Init() override;
    // Starts the slide up from the bottom edge.
    void Show() override;
    // Shown, or still sliding in after a click hid it.
    bool IsVisible() const override;

    // The same id while visible changes nothing, but turns a slide-out
    // around; another id replaces the text and slides in anew.
    void ShowMessage(const std::string& id, const std::string& prefix);
    // As ShowMessage; the same id while visible only restarts the time-out.
    void ShowMessageTimed(const std::string& id, const std::string& prefix, float seconds);
    void SetTextById(const std::string& id, const std::string& prefix);
    // The image "<name>_icon" (no group) on "PersIcon"; none when absent.
    void SetPersIcon(const std::string& name);
    void Update(float dt);

    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    // Read whole and checked first; a damaged record changes nothing.
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    // Everything the record holds back as Init left it, the window where the
    // script put it: a new game starts on the message the program started
    // with, whatever a save (or one refused after its record was read) put
    // there since.
    void ResetForNewGame();

    float GetFade() const { return m_fade; }
    std::uint32_t GetPhase() const { return m_phase; }
    float GetTimeOut() const { return m_timeOut; }
    bool IsTimed() const { return m_timed; }
    const std::string& GetStringId() const { return m_stringId; }
    const std::string& GetIconPersonage() const { return m_iconPersonage; }
    GUI::Widget* GetTextWidget() const { return m_text.get(); }

private:
    // What the save record holds.
    struct Record {
        std::uint32_t state = 0;
        float timeOut = 0.0f;
        std::uint8_t timed = 0;
        float fade = 0.0f;
        std::uint32_t phase = 0;
        std::wstring text;
        std::string id;
        std::string icon;
        std::int32_t textX = 0;
        std::int32_t textY = 0;
    };
    Record CurrentRecord() const;
    void ApplyRecord(const Record& record);
    bool OnClose(const GUI::EventArgs& args);
    // The window's alpha and height follow the fade.
    void PlaceByFade();
    // A turned-around slide-out comes back up from where it is.
    void TurnAround();
    // The message of that id is on screen (shown, maybe sliding).
    bool IsShowing(const std::string& id) const;

    GUI::WidgetRef m_text;
    GUI::WidgetRef m_icon;
    float m_timeOut = 0.0f;
    bool m_timed = false;
    std::int32_t m_designedX = 0;
    std::int32_t m_designedY = 0;
    std::int32_t m_bottomY = 0;
    float m_designedAlpha = 1.0f;
    float m_fade = 0.0f;
    std::uint32_t m_phase = PhaseStill;
    std::string m_stringId;
    std::string m_iconPersonage;
    // The record as Init left the message.
    std::unique_ptr<Record> m_initial;
};
