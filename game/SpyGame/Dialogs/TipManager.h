#pragma once
// Tutorial tips: one balloon at a time in the GUI window "ToolTip", a short
// localised text that fades in near a point of the screen, with an arrow
// for pointer tips and a box that turns all tips off. Which tips exist and
// how often each may show comes from "tips.ini"; callers decide when. Saved
// as "<tip_manager>": how often each tip may still be shown.
//
// Surface for an owner: LoadTips once the GUI scripts are loaded (the init),
// Update every frame, HideTip to take the balloon down; the balloon draws
// with the GUI tree. The manager keeps widgets of the GUI tree (read as
// missing once they are gone) and the sound manager's "show_tip", so it
// must not outlive the resource manager. One instance at a time
// (aSingleton). Main thread only.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/gui/gui_event.h"
#include "engine/gui/gui_widget.h"
#include "engine/util/a_singleton.h"
#include "game/shell/save_load_entity.h"

class aInputServer;
class aSound;

namespace GUI {
class Style;
}

class CTipManager : public SaveLoadEntity, public aSingleton<CTipManager> {
public:
    static constexpr const char* kEntityKey = "<tip_manager>";
    static constexpr const char* kWindowName = "ToolTip";
    // The record of ad-hoc tips (ShowUserTip).
    static constexpr const char* kUserTip = "_UserTip_";
    // ShowUserTip's width that takes the default width.
    static constexpr std::int32_t kDefaultWidth = ~0;
    // Bytes of one tip in the save record: enabled, shows left, levels left.
    static constexpr std::uint32_t kRecordSize = 9;

    struct CTipInfo {
        std::string name;
        bool enabled = true;
        std::int32_t quarter = -1;  // 0..3; -1 chooses by the point
        std::int32_t x = 0;         // the default point
        std::int32_t y = 0;
        std::int32_t width = 0;
        std::int32_t textFormat = 1;
        std::int32_t levelsCount = -1;  // -1: unlimited in practice
        std::int32_t levelsLeft = 0;
        std::int32_t timesPerLevel = -1;
        std::int32_t showsLeft = 0;
        bool pointer = false;  // an arrow; blocks the screen; only its caller closes it
        std::string pointName;
    };

    // Layout metrics, read from the "ToolTip" window as its script lays it out.
    struct Metrics {
        std::int32_t defaultWidth = 0;  // the balloon's width
        std::int32_t arrowHeight = 0;   // the balloon's y
        std::int32_t minHeight = 0;     // the balloon's height
        std::int32_t arrowOffset = 0;   // the balloon's x
        std::int32_t textMargin = 0;    // the text's y
        std::int32_t boxGap = 0;        // the dont_show box's y
    };

    CTipManager();
    // Unsubscribes the handlers LoadTips made.
    ~CTipManager() override;
    CTipManager(const CTipManager&) = delete;
    CTipManager& operator=(const CTipManager&) = delete;

    // Binds the window, its widgets, styles and sound, and reads the tip
    // file. Without "ToolTip" or its "balloon" no tip shows or counts.
    void LoadTips(const std::string& path);

    // Shows the named tip at (x, y) (-1 takes the tip's X or Y) with the text
    // (empty: "tip." + name). A showing is counted even when refused; true
    // when the balloon opened.
    bool ShowTip(const std::string& name, std::int32_t x = -1, std::int32_t y = -1,
                 const std::wstring& text = std::wstring());
    // Defined, with levels and shows left.
    bool CanShowTip(const std::string& name);
    // An ad-hoc balloon; no counter is tested or changed.
    void ShowUserTip(const std::wstring& text, std::int32_t x, std::int32_t y, std::int32_t width = kDefaultWidth,
                     std::int32_t quarter = -1, std::int32_t format = 1);
    // Null, and a log line, for an undefined name.
    CTipInfo* FindTip(const std::string& name);

    void Update(float dt);
    bool IsTipShown() const { return m_current != nullptr; }
    // Takes the balloon down at once.
    void HideTip();
    // The mouse over the shown balloon.
    bool IsMouseOverTip() const;
    // A press at the mouse is the tip's: on the balloon, except over an
    // object to find under a plain tip, and always on its box or close button.
    bool TakesPress(bool findableUnder) const;
    // The shown tip's PointName when it is a pointer tip; else empty.
    std::string GetPointName() const;
    bool IsPointerTip() const { return m_pointerTip; }
    // Shows left back to TimesPerLevel; with full also levels left and enabled.
    void ResetCounters(bool full);
    // Hides the balloon; every tip asked for in this investigation gets its
    // shows back and loses one level.
    void EndLevel();

    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override;
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override;

    bool OnTipClick(const GUI::EventArgs& args);
    bool OnDontShowClick(const GUI::EventArgs& args);

    // For the owner and tests.
    const std::map<std::string, CTipInfo>& GetTips() const { return m_tips; }
    const CTipInfo* GetCurrentTip() const { return m_current; }
    const Metrics& GetMetrics() const { return m_metrics; }
    float GetFadeTime() const { return m_fadeTime; }
    float GetCloseAnywhereTime() const { return m_closeAnywhereTime; }
    float GetFadeTimer() const { return m_timer; }
    // The quarter of the balloon last opened.
    std::int32_t GetQuarter() const { return m_quarter; }
    GUI::Widget* GetWindow() const { return m_window.get(); }
    GUI::Widget* GetBalloon() const { return m_balloon.get(); }
    // "BlockWidget", "text", "close", "dont_show", "dont_show_auto_check".
    GUI::Widget* GetPart(const std::string& name) const;

private:
    void OpenTip(CTipInfo& tip, std::int32_t x, std::int32_t y, bool offerDontShow, const std::wstring& text);
    void BindWidgets();
    void Unsubscribe();
    // Fades the balloon out, or hides it at once without a fade time.
    void StartFadeOut();
    void SetBalloonAlpha(float alpha);
    // The mouse is over the widget as shown (left and top inclusive).
    bool IsMouseOver(const GUI::Widget* widget) const;
    void ReadTip(const class aOptionsFile& file, CTipInfo& tip);

    aSound* m_showSound = nullptr;  // the sound manager's
    GUI::Style* m_styles[4] = {};
    GUI::Style* m_pointStyles[4] = {};
    GUI::WidgetRef m_window, m_balloon, m_block, m_text, m_close, m_dontShow, m_check;
    Metrics m_metrics;
    float m_fadeTime = 0.0f;
    float m_closeAnywhereTime = 0.0f;
    std::map<std::string, CTipInfo> m_tips;
    CTipInfo* m_current = nullptr;
    float m_timer = 0.0f;
    bool m_pointerTip = false;

    std::int32_t m_quarter = 0;
    aInputServer* m_input = nullptr;
    GUI::MemberSubscriber<CTipManager> m_tipClick{this, &CTipManager::OnTipClick};
    GUI::MemberSubscriber<CTipManager> m_dontShowClick{this, &CTipManager::OnDontShowClick};
    std::vector<GUI::Connection> m_connections;
};
