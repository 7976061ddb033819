#pragma once
// The credits ("gamedata:credits.ini"): a background, a music track and a
// font from [General], then one item per section in file order, each a
// string or a picture shown from its start for its time, faded in and out
// (UC::Fade), standing at its place or gliding along a curve (UC::TrCurve).
// They end after the last item, or when stopped (a click or Escape).
// Main thread only.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/gfx/a_curve.h"

class aFont;
class aImage;
class aImageManager;
class aLocaleServer;

// Effects of scripted screens.
namespace UC {

// The alpha of something shown from `start` for `time` seconds, rising over
// `fade` seconds at its beginning and falling over as long at its end (a
// fade longer than half the time is cut to it).
class Fade {
public:
    Fade() = default;
    Fade(float start, float time, float fade);
    float GetAlpha(float t) const;
    bool IsShown(float t) const { return t >= m_start && t < GetEnd(); }
    float GetStart() const { return m_start; }
    float GetEnd() const { return m_start + m_time; }

private:
    float m_start = 0.0f;
    float m_time = 0.0f;
    float m_fade = 0.0f;
};

// Follows a curve at the speed that covers its whole length in `time`.
class TrCurve {
public:
    // False, with nothing to follow, for a curve of fewer than two points
    // or a time that is not positive.
    bool Setup(const aCurve& curve, float time);
    // Back to the first point.
    void Start();
    // Moves on by the speed times dt; stays on the last point at the end.
    void Update(float dt);
    void GetPos(float& x, float& y) const { m_curve.getCurrentPoint(x, y); }
    float GetSpeed() const { return m_speed; }
    float GetLength() const { return m_length; }

private:
    aCurve m_curve;
    float m_speed = 0.0f;
    float m_length = 0.0f;
};

} // namespace UC

class CCredits {
public:
    static constexpr float kDefaultTime = 5.0f;
    static constexpr float kDefaultFade = 0.5f;
    static constexpr std::uint32_t kTextColor = 0xFFF4E2B0;

    // Where the credits find what their file names.
    struct Sources {
        aImageManager* images = nullptr;
        const aLocaleServer* strings = nullptr;
        std::function<aFont*(const std::string&)> font;
        std::string curvesFolder = "gamedata:Curves/";
    };

    struct Item {
        std::string name;
        std::wstring text;              // or
        const aImage* image = nullptr;  // the image manager's
        UC::Fade fade;
        bool placed = false;  // at (x, y); else the screen's centre
        float x = 0.0f, y = 0.0f;
        bool moving = false;  // along `curve`
        UC::TrCurve curve;
        float followed = 0.0f;  // seconds of the curve applied
    };

    // Reads the file; missing, it gives no items (the credits end at once).
    // Items whose string or picture is missing are left out with a line.
    void Load(const std::string& path, const Sources& sources);
    // Time back to 0 and every curve to its start.
    void Start();
    void Update(float dt, bool stop);
    // The background over w x h, then the items shown now.
    void Render(float w, float h) const;

    bool IsDone() const { return m_stopped || m_time >= m_end; }
    float GetTime() const { return m_time; }
    const std::string& GetMusic() const { return m_music; }
    const std::vector<Item>& GetItems() const { return m_items; }
    // Where an item is drawn now (its centre) on a w x h screen.
    void GetItemPos(const Item& item, float w, float h, float& x, float& y) const;

private:
    const aImage* m_background = nullptr;
    std::string m_music;
    aFont* m_font = nullptr;
    std::vector<Item> m_items;
    float m_end = 0.0f;
    float m_time = 0.0f;
    bool m_stopped = false;
};
