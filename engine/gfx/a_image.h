#pragma once
// Images: a copyable handle (aImage) onto reference-counted image data that
// owns the texture, knows its file and the pixel format it wants, and draws
// itself through the graphics server's sprite. Every image data sits in one
// process-wide list (creation order) so the graphics server can release and
// reload all textures around a device reset. Main thread only.
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/util/a_rect.h"
#include "platform/gfx/d3d8.h"
#include "platform/gfx/d3dx8.h"

// Post-effect ids of an image's effect list.
enum aImageEffect : std::int32_t {
    IMAGE_EFFECT_BLUR = 1,
    IMAGE_EFFECT_BLUR2 = 2,  // the same blur
    IMAGE_EFFECT_GRAYSCALE = 3,
};

// Draw modes of a handle.
enum aImageDrawMode : std::int32_t {
    IMAGE_DRAW_NORMAL = 0,
    IMAGE_DRAW_GLOW = 2,
};

// Mirror flags of aImage::draw.
enum aImageDrawFlags : std::uint32_t {
    IMAGE_MIRROR_VERTICAL = 1,
    IMAGE_MIRROR_HORIZONTAL = 2,
};

// Effect parameter objects; the data owns them.
struct aImageEffectParams {
    virtual ~aImageEffectParams() = default;
};

struct aBlurParams : aImageEffectParams {
    std::int32_t radius = 0;  // pixels; below 0 counts as 0
    float intensity = 1.0f;   // glow alpha factor
};

struct aGrayscaleParams : aImageEffectParams {
    std::uint8_t inPlace = 0;  // 1: the base texture turns gray
};

// Parameter slots of the image data.
constexpr int IMAGE_PARAM_BLUR = 2;
constexpr int IMAGE_PARAM_GRAYSCALE = 3;
constexpr int IMAGE_PARAM_COUNT = 4;

// One texture and its sizes: the image's (what is drawn) and the texture's
// real one (may be larger, e.g. rounded up to powers of two).
struct aTextureHolder {
    platform::GfxTexture* texture = nullptr;  // owned reference, may be null
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t texWidth = 0;
    std::uint16_t texHeight = 0;

    void release();
};

// One ARGB colour per stored pixel of the formats images use. Any format
// but A8R8G8B8, R5G6B5, A1R5G5B5 and A4R4G4B4 decodes to 0 and encodes
// nothing. Widening does not replicate low bits (5-bit 31 reads 248).
std::uint32_t image_decodePixel(D3DFORMAT format, std::uint32_t stored);
// False (and *out untouched) for the formats above that have no encoding.
bool image_encodePixel(D3DFORMAT format, std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b,
                       std::uint32_t* out);
// Bytes per stored pixel for the decode table: 4 for A8R8G8B8, 2 for the
// three 16-bit formats, 0 otherwise.
int image_bytesPerPixel(D3DFORMAT format);

class aImageData {
public:
    // Joins the end of the image list.
    aImageData();
    // Leaves the image list (harmless when the list was emptied) and
    // releases everything.
    ~aImageData();
    aImageData(const aImageData&) = delete;
    aImageData& operator=(const aImageData&) = delete;

    // The format asked for: 32-bit mode's when the graphics server runs
    // 32-bit (or there is none), else 16-bit mode's; 0 lets the file decide.
    D3DFORMAT requestedFormat() const;

    // Loads the file (or makes the empty texture) and applies the effects.
    void load();
    // Without full, images without a file keep their textures (they cannot
    // be reloaded). Full also deletes the parameter objects.
    void releaseTextures(bool full);
    void reload() { load(); }
    void applyEffects();

    void setEffects(const std::vector<std::int32_t>& effects) { m_effects = effects; }
    void addEffect(std::int32_t effect) { m_effects.push_back(effect); }
    // Store the parameter objects the effects and the glow mode read.
    void setBlurParams(std::int32_t radius, float intensity);
    void setGrayscaleParams(bool inPlace);
    aBlurParams* blurParams() const;
    aGrayscaleParams* grayscaleParams() const;

    // The process-wide list of live image data, in creation order.
    static std::list<aImageData*>& imageList();
    // Drops the list's nodes; the image data are not touched.
    static void clearImageList();
    // Every listed image releases (or reloads) its textures, in list order.
    static void releaseAll(bool full);
    static void reloadAll();

    std::vector<std::int32_t> m_effects;
    aTextureHolder m_base;
    aTextureHolder m_blurred;
    aTextureHolder m_gray;
    std::unique_ptr<aImageEffectParams> m_params[IMAGE_PARAM_COUNT];
    D3DFORMAT m_format16 = D3DFMT_UNKNOWN;
    D3DFORMAT m_format32 = D3DFMT_UNKNOWN;
    std::int32_t m_refCount = 1;
    std::string m_fileName;  // resolved path; empty for empty images
    std::uint32_t m_width = 0;   // size of an empty image
    std::uint32_t m_height = 0;
    bool m_created = false;      // an empty image's texture has been made
    std::int32_t m_blurRadius = 0;  // radius of the current blurred texture

private:
    // Decodes a JNG stream into a new texture of the requested format.
    HRESULT createFromMNG(const std::uint8_t* data, std::uint32_t size, platform::GfxTexture** texture,
                          std::uint32_t* width, std::uint32_t* height);
    void blur(std::int32_t radius);
    void grayscale(bool inPlace);
};

class aGraphServer;

class aImage {
public:
    struct LockInfo {
        std::uint32_t* data = nullptr;  // the locked rectangle's first pixel
        std::uint32_t pitch = 0;        // in pixels
        aRect rect;

        // Writes data[y * pitch + x]; x and y must lie inside rect (an
        // assertion is logged and nothing written otherwise).
        void SetColorAt(std::uint32_t x, std::uint32_t y, std::uint32_t color);
    };

    // Empty data with both formats 0; nothing loaded.
    aImage();
    // Loads the file at once. Formats: for 16-bit and for 32-bit mode.
    aImage(const std::string& fileName, D3DFORMAT format16, D3DFORMAT format32);
    // An empty A8R8G8B8 texture the program fills.
    aImage(std::uint32_t width, std::uint32_t height);
    // Shares the data.
    aImage(const aImage& other);
    aImage& operator=(const aImage& other);
    ~aImage();

    // Both first detach from data that has a texture (other handles keep it).
    void load(const std::string& fileName, D3DFORMAT format16, D3DFORMAT format32);
    void create(std::uint32_t width, std::uint32_t height);

    // The full draw: (x, y) is where the source rectangle's top-left lands
    // (null source: the whole image). colour is ARGB, multiplied by the
    // graphics server's draw colour. scale null: (1, 1); negative mirrors.
    // angle in radians, counter-clockwise on screen. centre in unscaled
    // image pixels of the source rectangle (null: its middle). flags:
    // aImageDrawFlags.
    void draw(float x, float y, const aRect* source, std::uint32_t color, const D3DXVECTOR2* scale, float angle,
              const D3DXVECTOR2* center, std::uint32_t flags) const;
    void draw(float x, float y, std::uint32_t color = 0xFFFFFFFF, const D3DXVECTOR2* scale = nullptr,
              float angle = 0.0f, const D3DXVECTOR2* center = nullptr, std::uint32_t flags = 0) const
    {
        draw(x, y, nullptr, color, scale, angle, center, flags);
    }
    void draw(std::int16_t x, std::int16_t y, const aRect* source, std::uint32_t color = 0xFFFFFFFF,
              const D3DXVECTOR2* scale = nullptr, float angle = 0.0f, const D3DXVECTOR2* center = nullptr,
              std::uint32_t flags = 0) const
    {
        draw(float(x), float(y), source, color, scale, angle, center, flags);
    }
    // Integer positions of other types go through the 16-bit form.
    template <class X, class Y, std::enable_if_t<std::is_integral_v<X> && std::is_integral_v<Y>, int> = 0>
    void draw(X x, Y y, const aRect* source, std::uint32_t color = 0xFFFFFFFF, const D3DXVECTOR2* scale = nullptr,
              float angle = 0.0f, const D3DXVECTOR2* center = nullptr, std::uint32_t flags = 0) const
    {
        draw(std::int16_t(x), std::int16_t(y), source, color, scale, angle, center, flags);
    }
    // Parts of the image, each drawn as draw(x, y, &source, color, &scale,
    // angle, center, 0) would draw it, in order, handed on as one draw.
    struct Part {
        float x, y;
        aRect source;
        D3DXVECTOR2 scale;
    };
    void drawParts(const Part* parts, std::size_t count, std::uint32_t color, float angle,
                   const D3DXVECTOR2* center) const;
    // drawParts in two steps, for callers that draw the same parts again:
    // the parts made ready for the device once (appended to `out`; empty
    // parts left out), then drawn as often as needed. What is made ready
    // depends only on the parts and the centre, never on the image. `kept`
    // (optional) keeps the device's quads of the same parts between draws.
    static void prepareParts(const Part* parts, std::size_t count, const D3DXVECTOR2* center,
                             std::vector<platform::SpritePart>& out);
    void drawPrepared(const platform::SpritePart* parts, std::size_t count, std::uint32_t color, float angle,
                      const D3DXVECTOR2* center, platform::KeptRun* kept = nullptr) const;
    void drawAtPoint(std::int16_t x, std::int16_t y, std::uint32_t color = 0xFFFFFFFF,
                     const D3DXVECTOR2* scale = nullptr, float angle = 0.0f, const D3DXVECTOR2* center = nullptr,
                     std::uint32_t flags = 0) const
    {
        draw(float(x), float(y), nullptr, color, scale, angle, center, flags);
    }

    // Only for A8R8G8B8 images; rect null: the whole image. A rectangle not
    // inside the image is refused.
    bool lock(LockInfo& info, const aRect* rect, bool readOnly);
    void unlock();
    // ARGB of one pixel, 0 outside the image or without a texture.
    std::uint32_t getPixel(std::int32_t x, std::int32_t y) const;
    // The ARGB pixels a plain draw of the source rectangle shows, row by row
    // (transparent outside the image); false for a glowing image or one
    // whose texture cannot be read back.
    bool readDrawnPixels(const aRect& source, std::vector<std::uint32_t>& argb) const;

    // The drawn size (the draw holder's image size; 0 without a texture).
    std::uint16_t getWidth() const { return m_holder ? m_holder->width : 0; }
    std::uint16_t getHeight() const { return m_holder ? m_holder->height : 0; }
    platform::GfxTexture* getTexture() const { return m_holder ? m_holder->texture : nullptr; }
    const std::string& getFileName() const { return m_data->m_fileName; }
    aImageData* getData() const { return m_data; }

    std::int32_t getDrawMode() const { return m_drawMode; }
    void setDrawMode(std::int32_t mode) { m_drawMode = mode; }

private:
    void attach(aImageData* data);
    void detach();
    // Draw holder and draw mode after construction, load and create.
    void settle();
    // One sprite draw of a holder's texture (normal mode's step).
    void spriteDraw(const aTextureHolder& holder, float x, float y, const aRect& source, std::uint32_t color,
                    D3DXVECTOR2 scale, float angle, const D3DXVECTOR2* center, std::uint32_t flags) const;
    // The colour multiplied by the graphics server's draw colour.
    static std::uint32_t modulate(const aGraphServer& gs, std::uint32_t color);

    aImageData* m_data = nullptr;
    aTextureHolder* m_holder = nullptr;  // the holder drawing uses, null before a texture exists
    std::int32_t m_drawMode = IMAGE_DRAW_NORMAL;
};
