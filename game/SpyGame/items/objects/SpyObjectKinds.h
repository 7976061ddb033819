#pragma once
// The kinds of scene object. Tags beyond the common ones:
//   Image    img= [src=x/y/w/h] [hitalpha=16]
//   Anim     img= frames= fw= fh= [fps=12] [loop=1] [hitalpha=16]
//   AdvAnim  anim= [loop=0] [hitalpha=16]
//   Particle psys=
//   TextLine font= text= [scale=1] [align=left|center|right] [angle=deg]
//   Text     TextLine's tags, [w=] (wrap width), [spacing=]
//   Video    file= [loop=1] [w= h=]
// Image, Anim and AdvAnim hit by texel; the others only by box and only
// with "hit=1".
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_adv_anim.h"
#include "engine/gfx/a_image.h"
#include "engine/gfx/a_sprite.h"
#include "engine/util/a_rect.h"
#include "game/SpyGame/items/objects/SpyObject.h"

class aFont;
class aParticleSystem;
class aTheoraVideo;

class CSpyObjImage : public CSpyPixelObject {
public:
    CSpyObjImage() = default;
    void AfterLoad(const CSpyLoadContext& context) override;
    std::unique_ptr<CSpyObject> Clone() const override;

    // The image found (an empty handle when missing) and the part drawn.
    const aImage& GetImage() const { return m_image; }
    const aRect& GetSource() const { return m_source; }
    const std::string& GetImageName() const { return m_imageName; }
    bool IsResolved() const { return m_resolved; }

protected:
    CSpyObjImage(const CSpyObjImage&) = default;
    bool ParseTag(const std::string& key, const std::string& value) override;
    bool Validate() override;
    void DrawAt(const CSpyPlace& place) const override;
    bool GetSize(float& width, float& height) const override;
    std::uint32_t TexelAt(int x, int y) const override;

private:
    std::string m_imageName;
    bool m_hasSource = false;
    aRect m_source;
    aImage m_image;
    bool m_resolved = false;
};

class CSpyObjAnim : public CSpyPixelObject {
public:
    // More frames than this in one strip are data errors.
    static constexpr int kMaxFrames = 4096;
    static constexpr float kMaxFps = 1000.0f;

    CSpyObjAnim() = default;
    void AfterLoad(const CSpyLoadContext& context) override;
    void Reset() override;
    void Start() override;
    void Update(float dt, const CSpyPlace& place) override;
    std::unique_ptr<CSpyObject> Clone() const override;

    const aAnim& GetAnim() const { return m_anim; }

protected:
    CSpyObjAnim(const CSpyObjAnim&) = default;
    bool ParseTag(const std::string& key, const std::string& value) override;
    bool Validate() override;
    void DrawAt(const CSpyPlace& place) const override;
    bool GetSize(float& width, float& height) const override;
    std::uint32_t TexelAt(int x, int y) const override;

private:
    std::string m_imageName;
    int m_frames = 0;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    float m_fps = 12.0f;
    bool m_loop = true;
    aImage m_image;
    aAnim m_anim;
};

class CSpyObjAdvAnim : public CSpyPixelObject {
public:
    CSpyObjAdvAnim() = default;
    void AfterLoad(const CSpyLoadContext& context) override;
    void Reset() override;
    void Start() override;
    void Update(float dt, const CSpyPlace& place) override;
    std::unique_ptr<CSpyObject> Clone() const override;

    // Null when the animation was not found.
    const aAdvAnim* GetAnim() const { return m_anim.get(); }

protected:
    CSpyObjAdvAnim(const CSpyObjAdvAnim& other);
    bool ParseTag(const std::string& key, const std::string& value) override;
    bool Validate() override;
    void DrawAt(const CSpyPlace& place) const override;
    bool GetSize(float& width, float& height) const override;
    std::uint32_t TexelAt(int x, int y) const override;

private:
    std::string m_animName;
    bool m_loop = false;
    // The state it was loaded in, which Reset goes back to.
    std::unique_ptr<aAdvAnim> m_initial;
    std::unique_ptr<aAdvAnim> m_anim;
};

class CSpyObjParticle : public CSpyObject {
public:
    CSpyObjParticle() = default;
    ~CSpyObjParticle() override;
    void AfterLoad(const CSpyLoadContext& context) override;
    void Reset() override;
    void Start() override;
    void Update(float dt, const CSpyPlace& place) override;
    bool HitTest(const CSpyPlace& place, float x, float y) const override;
    std::unique_ptr<CSpyObject> Clone() const override;

    // Null when the effect was not found.
    const aParticleSystem* GetSystem() const { return m_system.get(); }

protected:
    CSpyObjParticle(const CSpyObjParticle& other);
    bool ParseTag(const std::string& key, const std::string& value) override;
    bool Validate() override;
    void DrawAt(const CSpyPlace& place) const override;

private:
    std::string m_effect;
    std::unique_ptr<aParticleSystem> m_system;
    bool m_placed = false;
    float m_x = 0.0f;
    float m_y = 0.0f;
};

class CSpyObjTextLine : public CSpyObject {
public:
    enum Align { AlignLeft, AlignCenter, AlignRight };

    CSpyObjTextLine() = default;
    void AfterLoad(const CSpyLoadContext& context) override;
    bool GetBox(float& left, float& top, float& right, float& bottom) const override;
    std::unique_ptr<CSpyObject> Clone() const override;

    const std::wstring& GetText() const { return m_text; }
    aFont* GetFont() const { return m_font; }

protected:
    CSpyObjTextLine(const CSpyObjTextLine&) = default;
    bool ParseTag(const std::string& key, const std::string& value) override;
    bool Validate() override;
    void DrawAt(const CSpyPlace& place) const override;
    bool GetSize(float& width, float& height) const override;
    // Font scale and angle set for drawing or measuring at this factor.
    void PrepareFont(float factor) const;
    std::uint8_t AlignFlags() const;

    std::string m_fontName;
    std::string m_textId;
    float m_scale = 1.0f;
    Align m_align = AlignLeft;
    float m_angle = 0.0f;  // degrees
    aFont* m_font = nullptr;  // the GUI server's; it outlives the rooms
    std::wstring m_text;
};

class CSpyObjText : public CSpyObjTextLine {
public:
    CSpyObjText() = default;
    void AfterLoad(const CSpyLoadContext& context) override;
    bool GetBox(float& left, float& top, float& right, float& bottom) const override;
    std::unique_ptr<CSpyObject> Clone() const override;

    const std::vector<std::wstring>& GetLines() const { return m_lines; }

protected:
    CSpyObjText(const CSpyObjText&) = default;
    bool ParseTag(const std::string& key, const std::string& value) override;
    void DrawAt(const CSpyPlace& place) const override;
    bool GetSize(float& width, float& height) const override;

private:
    // Breaks the text at blanks so that each line fits the wrap width (a
    // word wider than it stands alone); '\n' always breaks.
    void Wrap();
    float LineHeight() const;

    float m_wrapWidth = 0.0f;  // 0: no wrapping
    float m_spacing = 0.0f;
    std::vector<std::wstring> m_lines;
    float m_widest = 0.0f;
};

class CSpyObjVideo : public CSpyObject {
public:
    CSpyObjVideo();
    ~CSpyObjVideo() override;
    void AfterLoad(const CSpyLoadContext& context) override;
    void Update(float dt, const CSpyPlace& place) override;
    std::unique_ptr<CSpyObject> Clone() const override;

    const aTheoraVideo& GetVideo() const { return *m_video; }

protected:
    // The copy opens the same file afresh.
    CSpyObjVideo(const CSpyObjVideo& other);
    bool ParseTag(const std::string& key, const std::string& value) override;
    bool Validate() override;
    void DrawAt(const CSpyPlace& place) const override;
    bool GetSize(float& width, float& height) const override;

private:
    void Open();

    std::string m_fileName;
    std::string m_path;
    bool m_loop = true;
    float m_width = 0.0f;
    float m_height = 0.0f;
    std::unique_ptr<aTheoraVideo> m_video;
};
