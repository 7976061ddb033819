#include "game/SpyGame/items/objects/SpyObjectKinds.h"

#include <algorithm>
#include <cmath>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_particle_system.h"
#include "engine/gfx/a_theora_video.h"
#include "engine/util/a_string.h"
#include "game/SpyGame/items/SpyResources.h"

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kMaxTextScale = 100.0f;
constexpr float kMaxSize = 100000.0f;

std::uint32_t mirrorFlags(bool mirror) { return mirror ? std::uint32_t(IMAGE_MIRROR_HORIZONTAL) : 0u; }

// "x/y/w/h" with whole numbers, sizes >= 0.
bool parseSource(const std::string& text, int out[4])
{
    std::vector<std::string> parts;
    str_split(text, parts, "/");
    if (parts.size() != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        if (!str_isInt(parts[std::size_t(i)]))
            return false;
        out[i] = str_toInt(parts[std::size_t(i)]);
    }
    return out[2] >= 0 && out[3] >= 0;
}

} // namespace

// ---------------------------------------------------------------- Image

bool CSpyObjImage::ParseTag(const std::string& key, const std::string& value)
{
    if (key == "img") {
        m_imageName = value;
    } else if (key == "src") {
        int v[4] = {};
        if (!parseSource(value, v)) {
            Log("bad src '" + value + "' ignored");
        } else {
            // Clamped to the image once it is known; here only to 16 bits.
            const int x = std::clamp(v[0], 0, 0x7FFF), y = std::clamp(v[1], 0, 0x7FFF);
            m_source = aRect(std::int16_t(x), std::int16_t(y), std::uint16_t(std::min(v[2], 0xFFFF)),
                             std::uint16_t(std::min(v[3], 0xFFFF)));
            m_hasSource = true;
        }
    } else {
        return CSpyPixelObject::ParseTag(key, value);
    }
    return true;
}

bool CSpyObjImage::Validate()
{
    if (m_imageName.empty()) {
        Log("no img, object skipped");
        return false;
    }
    return true;
}

void CSpyObjImage::AfterLoad(const CSpyLoadContext& context)
{
    const aImage* image = context.res ? context.res->FindImage(m_imageName, context.group) : nullptr;
    m_resolved = image && image->getWidth() > 0 && image->getHeight() > 0;
    if (!m_resolved) {
        Log("cannot find image '" + m_imageName + "'");
        m_image = aImage();
        m_source = aRect();
        return;
    }
    m_image = *image;
    const aRect whole(0, 0, m_image.getWidth(), m_image.getHeight());
    if (!m_hasSource) {
        m_source = whole;
        return;
    }
    const aRect wanted = m_source;
    m_source = wanted.getIntersection(whole);
    if (m_source != wanted)
        Log(str_format("src %d/%d/%u/%u clamped to the image (%ux%u)", wanted.x, wanted.y, wanted.width,
                       wanted.height, whole.width, whole.height));
}

void CSpyObjImage::DrawAt(const CSpyPlace& place) const
{
    if (!m_resolved || m_source.width == 0 || m_source.height == 0)
        return;
    const D3DXVECTOR2 scale{place.scale, place.scale};
    m_image.draw(ScreenX(place), ScreenY(place), &m_source, DrawColor(place), &scale, 0.0f, nullptr,
                 mirrorFlags(m_mirror));
}

bool CSpyObjImage::GetSize(float& width, float& height) const
{
    if (!m_resolved || m_source.width == 0 || m_source.height == 0)
        return false;
    width = m_source.width;
    height = m_source.height;
    return true;
}

std::uint32_t CSpyObjImage::TexelAt(int x, int y) const
{
    return m_image.getPixel(m_source.x + x, m_source.y + y);
}

std::unique_ptr<CSpyObject> CSpyObjImage::Clone() const { return std::unique_ptr<CSpyObject>(new CSpyObjImage(*this)); }

// ---------------------------------------------------------------- Anim

bool CSpyObjAnim::ParseTag(const std::string& key, const std::string& value)
{
    if (key == "img")
        m_imageName = value;
    else if (key == "frames")
        TagInt(key, value, m_frames);
    else if (key == "fw")
        TagInt(key, value, m_frameWidth);
    else if (key == "fh")
        TagInt(key, value, m_frameHeight);
    else if (key == "fps")
        TagFloat(key, value, m_fps);
    else if (key == "loop")
        TagFlag(key, value, m_loop);
    else
        return CSpyPixelObject::ParseTag(key, value);
    return true;
}

bool CSpyObjAnim::Validate()
{
    if (m_imageName.empty()) {
        Log("no img, object skipped");
        return false;
    }
    if (m_frames <= 0 || m_frameWidth <= 0 || m_frameHeight <= 0) {
        Log("frames, fw and fh must be above 0, object skipped");
        return false;
    }
    if (m_frameWidth > 0xFFFF || m_frameHeight > 0xFFFF) {
        Log("frame larger than any image, object skipped");
        return false;
    }
    if (m_frames > kMaxFrames) {
        Log(str_format("frames %d cut to %d", m_frames, kMaxFrames));
        m_frames = kMaxFrames;
    }
    if (m_fps > kMaxFps)
        m_fps = kMaxFps;
    return true;
}

void CSpyObjAnim::AfterLoad(const CSpyLoadContext& context)
{
    m_anim.clearFrames();
    const aImage* image = context.res ? context.res->FindImage(m_imageName, context.group) : nullptr;
    if (!image || image->getWidth() == 0) {
        Log("cannot find image '" + m_imageName + "'");
        return;
    }
    m_image = *image;
    const int perRow = m_image.getWidth() / m_frameWidth;
    const int rows = m_image.getHeight() / m_frameHeight;
    const int fits = perRow * rows;
    if (fits == 0) {
        Log("a frame is larger than the image '" + m_imageName + "'");
        return;
    }
    int count = m_frames;
    if (count > fits) {
        Log(str_format("the image holds %d frames of %d", fits, count));
        count = fits;
    }
    m_anim.setFramesFromImage(&m_image, nullptr, std::uint16_t(m_frameWidth), std::uint16_t(m_frameHeight),
                              std::uint16_t(count));
    if (m_fps > 0.0f)
        m_anim.setFrameTime(1.0f / m_fps);
    m_anim.setPlayMode(m_loop ? ANIM_LOOP : 0);
}

void CSpyObjAnim::Reset()
{
    m_anim.setFirstFrame();
    m_anim.stop();
    if (m_start)
        Start();
}

void CSpyObjAnim::Start()
{
    // Without a frame rate the strip holds its frame.
    if (m_fps > 0.0f && m_anim.getFrameCount() > 0)
        m_anim.play();
}

void CSpyObjAnim::Update(float dt, const CSpyPlace&) { m_anim.update(dt); }

void CSpyObjAnim::DrawAt(const CSpyPlace& place) const
{
    const D3DXVECTOR2 scale{place.scale, place.scale};
    m_anim.draw(ScreenX(place), ScreenY(place), DrawColor(place), &scale, 0.0f, nullptr, mirrorFlags(m_mirror));
}

bool CSpyObjAnim::GetSize(float& width, float& height) const
{
    if (m_anim.getFrameCount() == 0)
        return false;
    width = float(m_frameWidth);
    height = float(m_frameHeight);
    return true;
}

std::uint32_t CSpyObjAnim::TexelAt(int x, int y) const { return m_anim.hitTest(x, y); }

// The copy shares the frame list (counted, never changed after loading).
std::unique_ptr<CSpyObject> CSpyObjAnim::Clone() const { return std::unique_ptr<CSpyObject>(new CSpyObjAnim(*this)); }

// ---------------------------------------------------------------- AdvAnim

CSpyObjAdvAnim::CSpyObjAdvAnim(const CSpyObjAdvAnim& other)
    : CSpyPixelObject(other), m_animName(other.m_animName), m_loop(other.m_loop),
      m_initial(other.m_initial ? std::make_unique<aAdvAnim>(*other.m_initial) : nullptr),
      m_anim(other.m_anim ? std::make_unique<aAdvAnim>(*other.m_anim) : nullptr)
{
}

bool CSpyObjAdvAnim::ParseTag(const std::string& key, const std::string& value)
{
    if (key == "anim")
        m_animName = value;
    else if (key == "loop")
        TagFlag(key, value, m_loop);
    else
        return CSpyPixelObject::ParseTag(key, value);
    return true;
}

bool CSpyObjAdvAnim::Validate()
{
    if (m_animName.empty()) {
        Log("no anim, object skipped");
        return false;
    }
    return true;
}

void CSpyObjAdvAnim::AfterLoad(const CSpyLoadContext& context)
{
    const aAdvAnim* found = context.res ? context.res->FindAnim(m_animName, context.group) : nullptr;
    if (!found) {
        Log("cannot find animation '" + m_animName + "'");
        m_initial.reset();
        m_anim.reset();
        return;
    }
    m_initial = std::make_unique<aAdvAnim>(*found);
    m_anim = std::make_unique<aAdvAnim>(*found);
}

void CSpyObjAdvAnim::Reset()
{
    if (!m_anim)
        return;
    *m_anim = *m_initial;
    if (m_start)
        Start();
}

void CSpyObjAdvAnim::Start()
{
    if (m_anim)
        m_anim->Rewind();
}

void CSpyObjAdvAnim::Update(float dt, const CSpyPlace&)
{
    if (!m_anim)
        return;
    m_anim->Update(dt);
    if (m_loop && !m_anim->IsActive())
        m_anim->Rewind();
}

void CSpyObjAdvAnim::DrawAt(const CSpyPlace& place) const
{
    if (!m_anim)
        return;
    const D3DXVECTOR2 scale{place.scale, place.scale};
    m_anim->Draw(ScreenX(place), ScreenY(place), DrawColor(place), &scale, 0.0f, nullptr,
                 std::int32_t(mirrorFlags(m_mirror)));
}

bool CSpyObjAdvAnim::GetSize(float& width, float& height) const
{
    if (!m_anim || m_anim->GetWidth() <= 0 || m_anim->GetHeight() <= 0)
        return false;
    width = std::min(float(m_anim->GetWidth()), kMaxSize);
    height = std::min(float(m_anim->GetHeight()), kMaxSize);
    return true;
}

std::uint32_t CSpyObjAdvAnim::TexelAt(int x, int y) const
{
    if (!m_anim)
        return 0;
    // The animation mirrors the point itself: it wants it unmirrored.
    if (m_mirror)
        x = m_anim->GetWidth() - 1 - x;
    return m_anim->HitTest(x, y, std::int32_t(mirrorFlags(m_mirror)));
}

std::unique_ptr<CSpyObject> CSpyObjAdvAnim::Clone() const
{
    return std::unique_ptr<CSpyObject>(new CSpyObjAdvAnim(*this));
}

// ---------------------------------------------------------------- Particle

CSpyObjParticle::CSpyObjParticle(const CSpyObjParticle& other)
    : CSpyObject(other), m_effect(other.m_effect),
      m_system(other.m_system ? std::make_unique<aParticleSystem>(*other.m_system) : nullptr),
      m_placed(other.m_placed), m_x(other.m_x), m_y(other.m_y)
{
}

CSpyObjParticle::~CSpyObjParticle() = default;

bool CSpyObjParticle::ParseTag(const std::string& key, const std::string& value)
{
    if (key != "psys")
        return false;
    m_effect = value;
    return true;
}

bool CSpyObjParticle::Validate()
{
    if (m_effect.empty()) {
        Log("no psys, object skipped");
        return false;
    }
    return true;
}

void CSpyObjParticle::AfterLoad(const CSpyLoadContext& context)
{
    m_system.reset();
    const aParticleSystem* found = context.res ? context.res->GetParticle(m_effect) : nullptr;
    if (!found) {
        Log("cannot find particle system '" + m_effect + "'");
        return;
    }
    m_system = std::make_unique<aParticleSystem>(*found);
    m_system->setBoundingBoxEnabled(m_hit);
}

void CSpyObjParticle::Reset()
{
    if (!m_system)
        return;
    m_system->reset();
    m_placed = false;
    if (m_start)
        m_system->start();
}

void CSpyObjParticle::Start()
{
    if (m_system && !m_system->isRunning())
        m_system->start();
}

void CSpyObjParticle::Update(float dt, const CSpyPlace& place)
{
    if (!m_system)
        return;
    const float x = ScreenX(place), y = ScreenY(place);
    if (!m_placed || x != m_x || y != m_y) {
        m_system->moveTo(x, y);
        m_x = x;
        m_y = y;
        m_placed = true;
    }
    m_system->update(dt);
}

void CSpyObjParticle::DrawAt(const CSpyPlace& place) const
{
    if (!m_system)
        return;
    m_system->setAlpha(float(DrawColor(place) >> 24) / 255.0f);
    m_system->render();
}

bool CSpyObjParticle::HitTest(const CSpyPlace&, float x, float y) const
{
    if (!m_hit || !m_system || m_system->getLiveCount() == 0)
        return false;
    const aRect& box = m_system->getBoundingBox();
    return x >= box.x && x < box.right() && y >= box.y && y < box.bottom();
}

std::unique_ptr<CSpyObject> CSpyObjParticle::Clone() const
{
    return std::unique_ptr<CSpyObject>(new CSpyObjParticle(*this));
}

// ---------------------------------------------------------------- TextLine

bool CSpyObjTextLine::ParseTag(const std::string& key, const std::string& value)
{
    if (key == "font") {
        m_fontName = value;
    } else if (key == "text") {
        m_textId = value;
    } else if (key == "scale") {
        float v = m_scale;
        if (TagFloat(key, value, v)) {
            if (v > 0.0f && v <= kMaxTextScale)
                m_scale = v;
            else
                Log("scale " + value + " out of range, ignored");
        }
    } else if (key == "align") {
        if (value == "left")
            m_align = AlignLeft;
        else if (value == "center")
            m_align = AlignCenter;
        else if (value == "right")
            m_align = AlignRight;
        else
            Log("unknown align '" + value + "' ignored");
    } else if (key == "angle") {
        TagFloat(key, value, m_angle);
    } else {
        return false;
    }
    return true;
}

bool CSpyObjTextLine::Validate()
{
    if (m_fontName.empty() || m_textId.empty()) {
        Log("no font or no text, object skipped");
        return false;
    }
    return true;
}

void CSpyObjTextLine::AfterLoad(const CSpyLoadContext& context)
{
    m_font = context.res ? context.res->GetFont(m_fontName) : nullptr;
    if (!m_font)
        Log("cannot find font '" + m_fontName + "'");
    const std::wstring* text = context.res ? context.res->FindString(m_textId, context.textGroup) : nullptr;
    if (!text)
        Log("cannot find string '" + m_textId + "'");
    m_text = text ? *text : std::wstring();
}

void CSpyObjTextLine::PrepareFont(float factor) const
{
    m_font->setScale(m_scale * factor);
    m_font->setAngle(m_angle * kPi / 180.0f);
}

std::uint8_t CSpyObjTextLine::AlignFlags() const
{
    return m_align == AlignCenter ? FONT_CENTER_X : m_align == AlignRight ? FONT_RIGHT : 0;
}

void CSpyObjTextLine::DrawAt(const CSpyPlace& place) const
{
    if (!m_font || m_text.empty())
        return;
    PrepareFont(place.scale);
    m_font->color = DrawColor(place);
    m_font->drawString(ScreenX(place), ScreenY(place), m_text, AlignFlags());
}

bool CSpyObjTextLine::GetSize(float& width, float& height) const
{
    if (!m_font || m_text.empty())
        return false;
    PrepareFont(1.0f);
    const auto size = m_font->getStringSize(m_text);
    width = std::min(size.first, kMaxSize);
    height = std::min(size.second, kMaxSize);
    return true;
}

bool CSpyObjTextLine::GetBox(float& left, float& top, float& right, float& bottom) const
{
    float w = 0.0f, h = 0.0f;
    if (!GetSize(w, h))
        return false;
    // The offset is where the line is anchored: its left, middle or right.
    left = m_dx - (m_align == AlignCenter ? w * 0.5f : m_align == AlignRight ? w : 0.0f);
    top = m_dy;
    right = left + w;
    bottom = m_dy + h;
    return true;
}

std::unique_ptr<CSpyObject> CSpyObjTextLine::Clone() const
{
    return std::unique_ptr<CSpyObject>(new CSpyObjTextLine(*this));
}

// ---------------------------------------------------------------- Text

bool CSpyObjText::ParseTag(const std::string& key, const std::string& value)
{
    if (key == "w" || key == "spacing") {
        float v = 0.0f;
        if (TagFloat(key, value, v)) {
            if (v < 0.0f || v > kMaxSize)
                Log(key + " " + value + " out of range, ignored");
            else
                (key == "w" ? m_wrapWidth : m_spacing) = v;
        }
        return true;
    }
    return CSpyObjTextLine::ParseTag(key, value);
}

void CSpyObjText::AfterLoad(const CSpyLoadContext& context)
{
    CSpyObjTextLine::AfterLoad(context);
    Wrap();
}

float CSpyObjText::LineHeight() const { return m_font ? m_font->getFontHeight() * m_scale : 0.0f; }

void CSpyObjText::Wrap()
{
    m_lines.clear();
    m_widest = 0.0f;
    if (!m_font || m_text.empty())
        return;
    PrepareFont(1.0f);
    auto width = [&](const std::wstring& s) { return m_font->getStringSize(s).first; };
    std::size_t start = 0;
    while (start <= m_text.size()) {
        std::size_t end = m_text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = m_text.size();
        const std::wstring paragraph = m_text.substr(start, end - start);
        std::wstring line;
        std::size_t pos = 0;
        bool any = false;
        while (pos < paragraph.size()) {
            const std::size_t wordStart = paragraph.find_first_not_of(L' ', pos);
            if (wordStart == std::wstring::npos)
                break;
            std::size_t wordEnd = paragraph.find(L' ', wordStart);
            if (wordEnd == std::wstring::npos)
                wordEnd = paragraph.size();
            const std::wstring word = paragraph.substr(wordStart, wordEnd - wordStart);
            const std::wstring joined = line.empty() ? word : line + L' ' + word;
            if (!line.empty() && m_wrapWidth > 0.0f && width(joined) > m_wrapWidth) {
                m_lines.push_back(line);
                line = word;
            } else {
                line = joined;
            }
            any = true;
            pos = wordEnd;
        }
        if (any || paragraph.empty())
            m_lines.push_back(line);
        start = end + 1;
    }
    for (const std::wstring& line : m_lines)
        m_widest = std::max(m_widest, width(line));
}

void CSpyObjText::DrawAt(const CSpyPlace& place) const
{
    if (!m_font || m_lines.empty())
        return;
    PrepareFont(place.scale);
    m_font->color = DrawColor(place);
    const float boxWidth = m_wrapWidth > 0.0f ? m_wrapWidth : m_widest;
    const float anchor = m_align == AlignCenter ? boxWidth * 0.5f : m_align == AlignRight ? boxWidth : 0.0f;
    const float x = ScreenX(place) + anchor * place.scale;
    const float step = (LineHeight() + m_spacing) * place.scale;
    for (std::size_t i = 0; i < m_lines.size(); ++i)
        m_font->drawString(x, ScreenY(place) + float(i) * step, m_lines[i], AlignFlags());
}

bool CSpyObjText::GetSize(float& width, float& height) const
{
    if (m_lines.empty())
        return false;
    width = std::min(m_wrapWidth > 0.0f ? m_wrapWidth : m_widest, kMaxSize);
    height = std::min(float(m_lines.size()) * LineHeight() + float(m_lines.size() - 1) * m_spacing, kMaxSize);
    return true;
}

bool CSpyObjText::GetBox(float& left, float& top, float& right, float& bottom) const
{
    return CSpyObject::GetBox(left, top, right, bottom);
}

std::unique_ptr<CSpyObject> CSpyObjText::Clone() const { return std::unique_ptr<CSpyObject>(new CSpyObjText(*this)); }

// ---------------------------------------------------------------- Video

CSpyObjVideo::CSpyObjVideo() : m_video(std::make_unique<aTheoraVideo>()) {}

CSpyObjVideo::CSpyObjVideo(const CSpyObjVideo& other)
    : CSpyObject(other), m_fileName(other.m_fileName), m_path(other.m_path), m_loop(other.m_loop),
      m_width(other.m_width), m_height(other.m_height), m_video(std::make_unique<aTheoraVideo>())
{
    if (other.m_video->isOpen())
        Open();
}

CSpyObjVideo::~CSpyObjVideo() = default;

bool CSpyObjVideo::ParseTag(const std::string& key, const std::string& value)
{
    if (key == "file") {
        m_fileName = value;
    } else if (key == "loop") {
        TagFlag(key, value, m_loop);
    } else if (key == "w" || key == "h") {
        float v = 0.0f;
        if (TagFloat(key, value, v)) {
            if (v <= 0.0f || v > kMaxSize)
                Log(key + " " + value + " out of range, ignored");
            else
                (key == "w" ? m_width : m_height) = v;
        }
    } else {
        return false;
    }
    return true;
}

bool CSpyObjVideo::Validate()
{
    if (m_fileName.empty()) {
        Log("no file, object skipped");
        return false;
    }
    // Videos lie in the video folder: data names no other place.
    const std::string name = "/" + m_fileName + "/";
    if (m_fileName[0] == '/' || m_fileName.find(':') != std::string::npos || name.find("/../") != std::string::npos) {
        Log("file '" + m_fileName + "' is not a name in the video folder, object skipped");
        return false;
    }
    m_path = "video:" + m_fileName;
    return true;
}

void CSpyObjVideo::Open()
{
    if (!m_video->open(m_path, m_loop))
        Log("cannot play video '" + m_path + "'");
}

void CSpyObjVideo::AfterLoad(const CSpyLoadContext&) { Open(); }

void CSpyObjVideo::Update(float dt, const CSpyPlace&)
{
    if (m_video->isOpen())
        m_video->update(dt);
}

void CSpyObjVideo::DrawAt(const CSpyPlace& place) const
{
    const aImage& image = m_video->getImage();
    float w = 0.0f, h = 0.0f;
    if (!m_video->isOpen() || image.getWidth() == 0 || !GetSize(w, h))
        return;
    // The picture stretched to the object's size.
    const D3DXVECTOR2 scale{place.scale * w / float(m_video->getWidth()), place.scale * h / float(m_video->getHeight())};
    const aRect source(0, 0, std::uint16_t(m_video->getWidth()), std::uint16_t(m_video->getHeight()));
    image.draw(ScreenX(place), ScreenY(place), &source, DrawColor(place), &scale, 0.0f, nullptr,
               mirrorFlags(m_mirror));
}

bool CSpyObjVideo::GetSize(float& width, float& height) const
{
    width = m_width > 0.0f ? m_width : float(m_video->getWidth());
    height = m_height > 0.0f ? m_height : float(m_video->getHeight());
    return width > 0.0f && height > 0.0f && m_video->getWidth() > 0 && m_video->getHeight() > 0;
}

std::unique_ptr<CSpyObject> CSpyObjVideo::Clone() const { return std::unique_ptr<CSpyObject>(new CSpyObjVideo(*this)); }

// ---------------------------------------------------------------- registry

void RegisterObjectKinds()
{
    CSpyObjectFactory::Register<CSpyObjImage>("Image");
    CSpyObjectFactory::Register<CSpyObjAnim>("Anim");
    CSpyObjectFactory::Register<CSpyObjAdvAnim>("AdvAnim");
    CSpyObjectFactory::Register<CSpyObjParticle>("Particle");
    CSpyObjectFactory::Register<CSpyObjTextLine>("TextLine");
    CSpyObjectFactory::Register<CSpyObjText>("Text");
    CSpyObjectFactory::Register<CSpyObjVideo>("Video");
}
