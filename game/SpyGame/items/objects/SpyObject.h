#pragma once
// Drawable scene objects: the pictures, animations, effects, texts and
// videos an item (or a room's [Scene] and [Overlay] lists) is made of. One
// data line each:
//   Object = <Class> tag=value tag=value ...
// made by class name through aObjFactory<CSpyObject>. The line is parsed
// when the room loads; AfterLoad looks up what it names once the room's
// resource lists are loaded. An object is placed relative to its owner: the
// owner gives its screen origin and total scale (CSpyPlace), the object adds
// its own offset. Main thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/SpyGame/items/ObjFactory.h"

struct CSpyResources;

// Where an owner stands on screen: the point its objects are offset from
// (screen pixels), the factor on their sizes and offsets (> 0) and the alpha
// it is drawn with (0-1).
struct CSpyPlace {
    float x = 0.0f;
    float y = 0.0f;
    float scale = 1.0f;
    float alpha = 1.0f;
};

// What AfterLoad looks things up with.
struct CSpyLoadContext {
    const CSpyResources* res = nullptr;
    std::string group;      // images and animations: the location's group
    std::string textGroup;  // strings: the room's group
};

class CSpyObject {
public:
    // Alpha at or above which a texel hits, unless the line says otherwise.
    static constexpr int kDefaultHitAlpha = 16;

    CSpyObject() = default;
    virtual ~CSpyObject() = default;
    CSpyObject& operator=(const CSpyObject&) = delete;

    // Reads the words after the class word. False skips the object (logged);
    // unknown tags are logged and ignored. file and section name the line in
    // log lines.
    bool Parse(const std::string& className, const std::vector<std::string>& words, const std::string& defaultName,
               const std::string& file, const std::string& section);
    // Looks up what the tags name; what is missing is logged once, and the
    // object then draws nothing and never hits.
    virtual void AfterLoad(const CSpyLoadContext& context) { (void)context; }
    // Back to how the room starts it; "start=1" objects start.
    virtual void Reset() {}
    // Started by the room (only "start=1" objects are).
    virtual void Start() {}
    // dt in seconds (finite, >= 0); place is where the owner stands now.
    virtual void Update(float dt, const CSpyPlace& place)
    {
        (void)dt;
        (void)place;
    }
    // Nothing for "draw=0" objects and fully faded ones.
    void Draw(const CSpyPlace& place) const;
    // (x, y) in screen pixels. Box objects hit inside their box when "hit=1";
    // picture objects read the texel under the point.
    virtual bool HitTest(const CSpyPlace& place, float x, float y) const;
    // The unscaled box relative to the owner's origin, offset included;
    // false when the object has no extent (a particle effect).
    virtual bool GetBox(float& left, float& top, float& right, float& bottom) const;
    // A copy that owns everything it draws.
    virtual std::unique_ptr<CSpyObject> Clone() const = 0;

    // Objects with a state draw only in it; "hover" ones while the mouse is
    // over their item. Stateless objects always draw.
    bool IsShownIn(const std::string& visualState, bool hover) const;
    bool IsHover() const { return m_state == "hover"; }

    const std::string& GetClassName() const { return m_class; }
    const std::string& GetName() const { return m_name; }
    const std::string& GetState() const { return m_state; }
    int GetLayer() const { return m_layer; }
    bool IsDrawn() const { return m_draw; }
    bool IsHit() const { return m_hit; }
    bool IsMirrored() const { return m_mirror; }
    bool StartsItself() const { return m_start; }
    float GetAlpha() const { return m_alpha; }
    std::uint32_t GetColor() const { return m_color; }
    float GetOffsetX() const { return m_dx; }
    float GetOffsetY() const { return m_dy; }
    // A factor on the alpha, for fades the owner runs (0-1).
    void SetFade(float fade);
    float GetFade() const { return m_fade; }

protected:
    CSpyObject(const CSpyObject&) = default;

    // The hit default of the kind.
    virtual bool DefaultHit() const { return false; }
    // One tag of the kind; false when the kind has no such tag.
    virtual bool ParseTag(const std::string& key, const std::string& value)
    {
        (void)key;
        (void)value;
        return false;
    }
    // After the tags: false (logged) when a required tag is missing or bad.
    virtual bool Validate() { return true; }
    virtual void DrawAt(const CSpyPlace& place) const { (void)place; }
    // The unscaled size; false while there is none.
    virtual bool GetSize(float& width, float& height) const
    {
        (void)width;
        (void)height;
        return false;
    }

    // Where the object's top-left lands on screen.
    float ScreenX(const CSpyPlace& place) const { return place.x + m_dx * place.scale; }
    float ScreenY(const CSpyPlace& place) const { return place.y + m_dy * place.scale; }
    // The colour with the object's alpha, the owner's and the fade.
    std::uint32_t DrawColor(const CSpyPlace& place) const;
    // Log line naming the file, the section and the object.
    void Log(const std::string& message) const;

    // Tag readers: false (logged, out untouched) for a bad value.
    bool TagFloat(const std::string& key, const std::string& value, float& out) const;
    bool TagInt(const std::string& key, const std::string& value, int& out) const;
    bool TagFlag(const std::string& key, const std::string& value, bool& out) const;

    std::string m_class;
    std::string m_name;
    std::string m_state;
    std::string m_file;
    std::string m_section;
    float m_dx = 0.0f;
    float m_dy = 0.0f;
    int m_layer = 0;
    bool m_draw = true;
    bool m_hit = false;
    bool m_mirror = false;
    bool m_start = true;
    float m_alpha = 1.0f;
    std::uint32_t m_color = 0xFFFFFFFF;
    float m_fade = 1.0f;

private:
    bool ParseCommonTag(const std::string& key, const std::string& value);
};

// Objects hit by the texel under the point: the point goes through the
// owner's scale, the offset and the mirror to a texel of the current
// picture, whose alpha must reach "hitalpha".
class CSpyPixelObject : public CSpyObject {
public:
    bool HitTest(const CSpyPlace& place, float x, float y) const override;
    int GetHitAlpha() const { return m_hitAlpha; }

protected:
    CSpyPixelObject() = default;
    CSpyPixelObject(const CSpyPixelObject&) = default;

    bool DefaultHit() const override { return true; }
    bool ParseTag(const std::string& key, const std::string& value) override;
    // The ARGB of the current picture at (x, y), unmirrored picture pixels
    // inside its size; 0 when there is no picture.
    virtual std::uint32_t TexelAt(int x, int y) const = 0;

    int m_hitAlpha = kDefaultHitAlpha;
};

// Registers Image, Anim, AdvAnim, Particle, TextLine, Text and Video; a
// second call changes nothing.
void RegisterObjectKinds();

using CSpyObjectFactory = aObjFactory<CSpyObject>;
