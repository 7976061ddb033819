// D3DX text fonts: glyphs rasterised by the font module are packed into
// atlas textures on first use and drawn as point-sampled quads.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/gfx/d3d8_device_base.h"
#include "platform/gfx/d3dx8.h"
#include "platform/gfx/font_raster.h"

namespace platform {

namespace {

constexpr int kPageSize = 512;
constexpr int kPadding = 1;

class FontImpl final : public GfxFont {
public:
    FontImpl(DeviceBase* device, const LOGFONTA& logFont, std::unique_ptr<FontRaster> raster)
        : m_device(device), m_logFont(logFont), m_raster(std::move(raster))
    {
        m_device->AddRef();
    }

    HRESULT Begin() override
    {
        m_device->note("Font.Begin", this);
        ++m_begun;
        return D3D_OK;
    }

    HRESULT End() override
    {
        m_device->note("Font.End", this);
        if (m_begun == 0)
            return D3DERR_INVALIDCALL;
        --m_begun;
        return D3D_OK;
    }

    HRESULT GetLogFont(LOGFONTA* font) override
    {
        if (!font)
            return D3DERR_INVALIDCALL;
        *font = m_logFont;
        return D3D_OK;
    }

    int DrawTextA(const char* text, int count, RECT* rect, std::uint32_t format, D3DCOLOR color) override
    {
        const std::size_t length = !text ? 0 : count < 0 ? std::strlen(text) : std::size_t(count);
        if (m_device->recorder()) {
            const RECT r = rect ? *rect : RECT{};
            m_device->note("Font.DrawTextA", this, {r.left, r.top, r.right, r.bottom, format, color},
                           text ? std::string(text, length).c_str() : "");
        }
        if (!text || !rect)
            return 0;
        const TextLayout layout = m_raster->layout(std::string_view(text, length), *rect, format);
        if (format & DT_CALCRECT) {
            *rect = layout.bounds;
            return layout.height;
        }
        if (layout.glyphs.empty())
            return layout.height;
        if (!buildQuads(layout, color))
            return 0;
        return drawQuads() ? layout.height : 0;
    }

private:
    struct Page {
        GfxRef<GfxTexture> texture;
        int size = 0;
        int shelfX = 0;
        int shelfY = 0;
        int shelfHeight = 0;
        std::vector<TLVertex> vertices;
    };
    struct Slot {
        int page = 0;
        int x = 0;
        int y = 0;
    };

    ~FontImpl() override
    {
        m_pages.clear();
        m_device->Release();
    }

    bool newPage(int minSize)
    {
        const int limit = int(std::min<std::uint32_t>(m_device->maxTextureSize(), 1u << 14));
        int size = std::min(kPageSize, limit);
        while (size < minSize && size * 2 <= limit)
            size *= 2;
        if (size < minSize)
            return false;
        Page page;
        page.size = size;
        if (FAILED(m_device->CreateTexture(std::uint32_t(size), std::uint32_t(size), 1, 0, D3DFMT_A8R8G8B8,
                                           D3DPOOL_MANAGED, page.texture.out())))
            return false;
        m_pages.push_back(std::move(page));
        return true;
    }

    // Shelf packing: glyphs fill a row left to right; a new row starts below
    // the tallest glyph of the last one.
    bool place(const GlyphBitmap& g, Slot& slot)
    {
        const int w = g.width + kPadding, h = g.height + kPadding;
        if (m_pages.empty() && !newPage(std::max(w, h)))
            return false;
        Page* p = &m_pages.back();
        if (p->shelfX + w > p->size) {
            p->shelfY += p->shelfHeight;
            p->shelfX = 0;
            p->shelfHeight = 0;
        }
        if (p->shelfY + h > p->size) {
            if (!newPage(std::max(w, h)))
                return false;
            p = &m_pages.back();
        }
        slot = Slot{int(m_pages.size()) - 1, p->shelfX, p->shelfY};
        p->shelfX += w;
        p->shelfHeight = std::max(p->shelfHeight, h);

        // White with the coverage as alpha, so the colour modulates it.
        const RECT area{slot.x, slot.y, slot.x + g.width, slot.y + g.height};
        D3DLOCKED_RECT locked;
        if (FAILED(p->texture->LockRect(0, &locked, &area, 0)))
            return false;
        for (int y = 0; y < g.height; ++y) {
            auto* row = reinterpret_cast<std::uint8_t*>(locked.pBits) + std::size_t(y) * std::size_t(locked.Pitch);
            for (int x = 0; x < g.width; ++x) {
                const std::uint32_t argb = std::uint32_t(g.coverage[std::size_t(y) * g.width + x]) << 24 | 0xFFFFFFu;
                std::memcpy(row + 4 * x, &argb, 4);
            }
        }
        p->texture->UnlockRect(0);
        return true;
    }

    bool buildQuads(const TextLayout& layout, D3DCOLOR color)
    {
        for (Page& p : m_pages)
            p.vertices.clear();
        for (const PlacedGlyph& pg : layout.glyphs) {
            if (!pg.bitmap || pg.width <= 0 || pg.height <= 0)
                continue;
            auto it = m_slots.find(pg.bitmap);
            if (it == m_slots.end()) {
                Slot slot;
                if (!place(*pg.bitmap, slot))
                    return false;
                it = m_slots.emplace(pg.bitmap, slot).first;
            }
            Page& page = m_pages[std::size_t(it->second.page)];
            const float inv = 1.0f / float(page.size);
            const float u0 = float(it->second.x + pg.srcX) * inv, v0 = float(it->second.y + pg.srcY) * inv;
            const float u1 = u0 + float(pg.width) * inv, v1 = v0 + float(pg.height) * inv;
            // Quad edges half a pixel out, so each texel centre is a pixel centre.
            const float x0 = float(pg.x) - 0.5f, y0 = float(pg.y) - 0.5f;
            const float x1 = x0 + float(pg.width), y1 = y0 + float(pg.height);
            const TLVertex tl{x0, y0, 0.0f, 1.0f, color, u0, v0}, tr{x1, y0, 0.0f, 1.0f, color, u1, v0};
            const TLVertex bl{x0, y1, 0.0f, 1.0f, color, u0, v1}, br{x1, y1, 0.0f, 1.0f, color, u1, v1};
            for (const TLVertex* v : {&tl, &tr, &bl, &bl, &tr, &br})
                page.vertices.push_back(*v);
        }
        return true;
    }

    // Sets the states text needs, draws each page's quads, and puts every
    // state back as it was.
    bool drawQuads()
    {
        struct Saved {
            D3DRENDERSTATETYPE state;
            std::uint32_t value;
            std::uint32_t wanted;
        };
        Saved rs[] = {{D3DRS_ALPHABLENDENABLE, 0, 1},
                      {D3DRS_SRCBLEND, 0, D3DBLEND_SRCALPHA},
                      {D3DRS_DESTBLEND, 0, D3DBLEND_INVSRCALPHA}};
        struct SavedStage {
            D3DTEXTURESTAGESTATETYPE state;
            std::uint32_t value;
            std::uint32_t wanted;
        };
        SavedStage ts[] = {{D3DTSS_COLOROP, 0, D3DTOP_MODULATE},
                           {D3DTSS_COLORARG1, 0, D3DTA_TEXTURE},
                           {D3DTSS_COLORARG2, 0, D3DTA_DIFFUSE},
                           {D3DTSS_MINFILTER, 0, D3DTEXF_POINT},
                           {D3DTSS_MAGFILTER, 0, D3DTEXF_POINT}};
        for (Saved& s : rs)
            m_device->GetRenderState(s.state, &s.value);
        for (SavedStage& s : ts)
            m_device->GetTextureStageState(0, s.state, &s.value);
        GfxRef<GfxTexture> texture;
        m_device->GetTexture(0, texture.out());
        std::uint32_t fvf = 0;
        m_device->GetVertexShader(&fvf);

        for (Saved& s : rs)
            if (s.value != s.wanted)
                m_device->SetRenderState(s.state, s.wanted);
        for (SavedStage& s : ts)
            if (s.value != s.wanted)
                m_device->SetTextureStageState(0, s.state, s.wanted);
        if (fvf != kFvfTLVertex)
            m_device->SetVertexShader(kFvfTLVertex);
        bool ok = true;
        for (Page& p : m_pages) {
            if (p.vertices.empty())
                continue;
            m_device->SetTexture(0, p.texture.get());
            ok = SUCCEEDED(m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, std::uint32_t(p.vertices.size() / 3),
                                                     p.vertices.data(), sizeof(TLVertex))) &&
                 ok;
        }
        m_device->SetTexture(0, texture.get());
        if (fvf != kFvfTLVertex)
            m_device->restoreVertexShader(fvf);
        for (SavedStage& s : ts)
            if (s.value != s.wanted)
                m_device->SetTextureStageState(0, s.state, s.value);
        for (Saved& s : rs)
            if (s.value != s.wanted)
                m_device->SetRenderState(s.state, s.value);
        return ok;
    }

    DeviceBase* m_device;
    LOGFONTA m_logFont;
    std::unique_ptr<FontRaster> m_raster;
    std::vector<Page> m_pages;
    std::unordered_map<const GlyphBitmap*, Slot> m_slots;
    int m_begun = 0;
};

} // namespace

HRESULT D3DXCreateFontIndirect(GfxDevice* device, const LOGFONTA* font, GfxFont** out)
{
    auto* dev = dynamic_cast<DeviceBase*>(device);
    if (out)
        *out = nullptr;
    if (!dev || !font || !out)
        return D3DERR_INVALIDCALL;
    const std::string face(font->lfFaceName, strnlen(font->lfFaceName, sizeof font->lfFaceName));
    if (HRESULT hr = dev->resourceCall("D3DXCreateFontIndirect", nullptr,
                                       {font->lfHeight, font->lfWeight, font->lfItalic, font->lfCharSet},
                                       face.c_str());
        FAILED(hr))
        return hr;
    FontRequest request;
    request.height = font->lfHeight;
    request.weight = font->lfWeight > 0 ? font->lfWeight : FW_NORMAL;
    request.italic = font->lfItalic != 0;
    request.faceName = face;
    std::string logText;
    std::unique_ptr<FontRaster> raster = FontRaster::create(request, &logText);
    if (!logText.empty())
        gfxLog("%s", logText.c_str());
    if (!raster)
        return D3DERR_NOTAVAILABLE;
    *out = new FontImpl(dev, *font, std::move(raster));
    return D3D_OK;
}

} // namespace platform
