#pragma once
// The splash sequence of start-up ("gamedata:splash.ini"): one screen per
// section, in file order, each a colour with a picture of the Loading list
// centred on it (or none), faded in, held and faded out on the frame time. A skip (a click
// or a key) starts the current screen's fade-out; a stop (Escape) ends the
// sequence. Main thread only.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class aImage;
class aImageManager;
class CResManager;

class CSplash {
public:
    static constexpr float kDefaultTime = 2.0f;
    static constexpr float kDefaultFade = 0.5f;
    static constexpr std::uint32_t kDefaultColor = 0xFF000000;

    struct Screen {
        std::string name;
        const aImage* image = nullptr;  // the image manager's; null: the colour alone
        float time = kDefaultTime;      // at full alpha
        float fade = kDefaultFade;      // in, and again out
        std::uint32_t color = kDefaultColor;
    };

    // Reads the screens. A missing file gives none; a screen without an
    // Image key shows its colour alone; one whose picture the manager lacks
    // is left out with a log line.
    void Load(const std::string& path, aImageManager* images);

    void Update(float dt, bool skip, bool stop);
    // The screen's colour over w x h, then its picture (if any) centred.
    void Render(CResManager& res, float w, float h) const;

    bool IsDone() const { return m_current >= m_screens.size(); }
    // The current picture's alpha, 0..1 (0 once done).
    float GetAlpha() const;
    std::size_t GetCurrent() const { return m_current; }
    const std::vector<Screen>& GetScreens() const { return m_screens; }

private:
    float Length(const Screen& s) const { return s.fade + s.time + s.fade; }

    std::vector<Screen> m_screens;
    std::size_t m_current = 0;
    float m_time = 0.0f;  // into the current screen
};
