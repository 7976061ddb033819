#include "platform/gfx/d3dx8.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>
#include <vector>

#include "platform/gfx/bmp.h"
#include "platform/gfx/d3d8_device_base.h"
#include "platform/gfx/image_decode.h"

namespace platform {

namespace {

std::uint32_t roundUpPowerOfTwo(std::uint32_t v)
{
    std::uint32_t p = 1;
    while (p < v && p < 0x80000000u)
        p <<= 1;
    return p;
}

D3DXIMAGE_FILEFORMAT fileFormatOf(ImageFileKind kind)
{
    switch (kind) {
    case ImageFileKind::Jpeg: return D3DXIFF_JPG;
    case ImageFileKind::Tga: return D3DXIFF_TGA;
    case ImageFileKind::Png: return D3DXIFF_PNG;
    default: return D3DXIFF_BMP;
    }
}

class SpriteImpl final : public GfxSprite {
public:
    explicit SpriteImpl(DeviceBase* device) : m_device(device) { m_device->AddRef(); }

    HRESULT Begin() override
    {
        m_device->note("Sprite.Begin", this);
        if (m_begun)
            return D3DERR_INVALIDCALL;
        m_begun = true;
        return D3D_OK;
    }

    HRESULT End() override
    {
        m_device->note("Sprite.End", this);
        if (!m_begun)
            return D3DERR_INVALIDCALL;
        m_begun = false;
        return D3D_OK;
    }

    HRESULT Draw(GfxTexture* texture, const RECT* source, const D3DXVECTOR2* scaling, const D3DXVECTOR2* center,
                 float rotation, const D3DXVECTOR2* translation, D3DCOLOR color) override
    {
        const Target target(texture);
        const Turn turn(rotation);
        const HRESULT hr = add(target, source, scaling, center, turn, translation, color);
        m_device->endSprites();
        return hr;
    }

    HRESULT DrawRun(GfxTexture* texture, const SpritePart* parts, std::size_t count, float rotation,
                    D3DCOLOR color) override
    {
        const Target target(texture);
        const Turn turn(rotation);
        HRESULT first = D3D_OK;
        for (std::size_t i = 0; i < count; ++i) {
            const SpritePart& p = parts[i];
            const HRESULT hr = add(target, &p.source, &p.scale, &p.center, turn, &p.translation, color);
            if (FAILED(hr) && SUCCEEDED(first))
                first = hr;
        }
        m_device->endSprites();
        return first;
    }

    HRESULT DrawRunKept(GfxTexture* texture, const SpritePart* parts, std::size_t count, float rotation,
                        D3DCOLOR color, KeptRun& kept) override
    {
        const Target target(texture);
        // A call log records each sprite's own call.
        if (!target.impl || !target.described || m_device->recorder())
            return DrawRun(texture, parts, count, rotation, color);
        if (!kept.made || kept.width != target.desc.Width || kept.height != target.desc.Height ||
            !(kept.rotation == rotation)) {
            const Turn turn(rotation);
            kept.corners.clear();
            for (std::size_t i = 0; i < count; ++i) {
                const SpritePart& p = parts[i];
                BatchVertex quad[4];
                if (!quadOf(target.desc, p.source, p.scale, p.center, turn, p.translation, color, quad))
                    continue;
                for (const BatchVertex& v : quad)
                    kept.corners.push_back(KeptRun::Corner{v.x, v.y, v.u, v.v});
            }
            kept.width = target.desc.Width;
            kept.height = target.desc.Height;
            kept.rotation = rotation;
            kept.made = true;
        }
        const HRESULT hr = m_device->addSpriteQuads(target.impl, kept.corners.data(), kept.corners.size() / 4, color);
        m_device->endSprites();
        return hr;
    }

private:
    // Most sprites are not turned; cos 0 and sin 0 are exact.
    struct Turn {
        explicit Turn(float angle)
            : angle(angle), c(angle != 0.0f ? std::cos(angle) : 1.0f), s(angle != 0.0f ? std::sin(angle) : 0.0f)
        {
        }
        float angle, c, s;
    };

    // The texture a call draws with, looked at once for all its sprites.
    struct Target {
        explicit Target(GfxTexture* t)
            : texture(t), impl(own(t)), described(t && SUCCEEDED(t->GetLevelDesc(0, &desc)))
        {
        }
        // As a dynamic_cast, for less: the class is final, so its type alone tells.
        static TextureImpl* own(GfxTexture* t)
        {
            return t && typeid(*t) == typeid(TextureImpl) ? static_cast<TextureImpl*>(t) : nullptr;
        }
        GfxTexture* texture;
        TextureImpl* impl;
        D3DSURFACE_DESC desc;
        bool described;  // false: the call fails
    };

    // One sprite's quad added to the device's pending draw.
    HRESULT add(const Target& target, const RECT* source, const D3DXVECTOR2* scaling, const D3DXVECTOR2* center,
                const Turn& turn, const D3DXVECTOR2* translation, D3DCOLOR color)
    {
        SpriteDrawArgs a;
        a.source = source;
        if (scaling) {
            a.scaleX = scaling->x;
            a.scaleY = scaling->y;
        }
        if (center) {
            a.centerX = center->x;
            a.centerY = center->y;
        }
        a.angle = turn.angle;
        if (translation) {
            a.translateX = translation->x;
            a.translateY = translation->y;
        }
        a.color = color;

        if (!target.described) {
            const TLVertex none[4];
            return m_device->addSprite(nullptr, nullptr, a, none);
        }
        BatchVertex quad[4];
        if (!quadOf(target.desc, source ? *source : RECT{0, 0, std::int32_t(target.desc.Width),
                                                         std::int32_t(target.desc.Height)},
                    D3DXVECTOR2{a.scaleX, a.scaleY}, D3DXVECTOR2{a.centerX, a.centerY}, turn,
                    D3DXVECTOR2{a.translateX, a.translateY}, color, quad))
            return D3D_OK;
        if (!m_device->recorder())
            return m_device->addSpriteQuad(target.impl, quad);
        TLVertex logged[4];
        for (int i = 0; i < 4; ++i) {
            logged[i].x = quad[i].x;
            logged[i].y = quad[i].y;
            logged[i].diffuse = quad[i].color;
            logged[i].u = quad[i].u;
            logged[i].v = quad[i].v;
        }
        return m_device->addSprite(target.texture, target.impl, a, logged);
    }

    // One sprite's quad on screen; false when it covers nothing.
    static bool quadOf(const D3DSURFACE_DESC& desc, const RECT& r, const D3DXVECTOR2& scale,
                       const D3DXVECTOR2& center, const Turn& turn, const D3DXVECTOR2& translation, D3DCOLOR color,
                       BatchVertex quad[4])
    {
        const float w = float(r.right - r.left), h = float(r.bottom - r.top);
        if (w <= 0.0f || h <= 0.0f || scale.x == 0.0f || scale.y == 0.0f)
            return false;
        const float c = turn.c, s = turn.s;
        // Corners in the order top-left, top-right, bottom-left, bottom-right.
        const float u[2] = {float(r.left) / float(desc.Width), (float(r.left) + w) / float(desc.Width)};
        const float v[2] = {float(r.top) / float(desc.Height), (float(r.top) + h) / float(desc.Height)};
        const float qx[2] = {scale.x * 0.0f - center.x, scale.x * w - center.x};
        const float qy[2] = {scale.y * 0.0f - center.y, scale.y * h - center.y};
        const float ox = translation.x + center.x, oy = translation.y + center.y;
        for (int i = 0; i < 4; ++i) {
            const int right = i & 1, bottom = i >> 1;
            // y grows downwards, so this turns counter-clockwise on screen; the
            // half pixel puts texel centres on pixel centres.
            quad[i].x = ox + c * qx[right] + s * qy[bottom] - 0.5f;
            quad[i].y = oy - s * qx[right] + c * qy[bottom] - 0.5f;
            quad[i].color = color;
            quad[i].u = u[right];
            quad[i].v = v[bottom];
        }
        return true;
    }

private:
    ~SpriteImpl() override { m_device->Release(); }
    DeviceBase* m_device;
    bool m_begun = false;
};

} // namespace

D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, float l, float r, float b, float t, float zn, float zf)
{
    if (!out)
        return nullptr;
    *out = D3DXMATRIX{};
    out->m[0][0] = 2.0f / (r - l);
    out->m[1][1] = 2.0f / (t - b);
    out->m[2][2] = 1.0f / (zf - zn);
    out->m[3][0] = (l + r) / (l - r);
    out->m[3][1] = (t + b) / (b - t);
    out->m[3][2] = zn / (zn - zf);
    out->m[3][3] = 1.0f;
    return out;
}

HRESULT D3DXCreateTexture(GfxDevice* device, std::uint32_t width, std::uint32_t height, std::uint32_t,
                          std::uint32_t usage, D3DFORMAT format, D3DPOOL pool, GfxTexture** texture)
{
    if (texture)
        *texture = nullptr;
    if (!device || !texture || width == 0 || height == 0)
        return D3DERR_INVALIDCALL;
    if (width == D3DX_DEFAULT)
        width = 256;
    if (height == D3DX_DEFAULT)
        height = 256;
    if (device->powerOfTwoTextures()) {
        width = roundUpPowerOfTwo(width);
        height = roundUpPowerOfTwo(height);
    }
    if (format == D3DFMT_UNKNOWN)
        format = D3DFMT_A8R8G8B8;
    return device->CreateTexture(width, height, 1, usage, format, pool, texture);
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(GfxDevice* device, const void* data, std::uint32_t size,
                                            std::uint32_t width, std::uint32_t height, std::uint32_t,
                                            std::uint32_t usage, D3DFORMAT format, D3DPOOL pool, std::uint32_t,
                                            std::uint32_t, D3DCOLOR colorKey, D3DXIMAGE_INFO* info, void*,
                                            GfxTexture** texture)
{
    if (texture)
        *texture = nullptr;
    auto* dev = dynamic_cast<DeviceBase*>(device);
    if (!dev || !data || size == 0 || !texture)
        return D3DERR_INVALIDCALL;
    dev->note("D3DXCreateTextureFromFileInMemoryEx", nullptr, {size, width, height, format, pool, colorKey});

    DecodedImage image;
    if (!decodeImage(data, size, image, int(dev->maxTextureSize())))
        return D3DXERR_INVALIDDATA;
    const int iw = image.info.width, ih = image.info.height;
    if (width == 0 || width == D3DX_DEFAULT)
        width = std::uint32_t(iw);
    if (height == 0 || height == D3DX_DEFAULT)
        height = std::uint32_t(ih);
    if (dev->powerOfTwoTextures()) {
        width = roundUpPowerOfTwo(width);
        height = roundUpPowerOfTwo(height);
    }
    const D3DFORMAT fileFormat = image.info.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    if (format == D3DFMT_UNKNOWN)
        format = fileFormat;

    GfxRef<GfxTexture> made;
    if (HRESULT hr = dev->CreateTexture(width, height, 1, usage, format, pool, made.out()); FAILED(hr))
        return hr;
    if (colorKey)
        for (std::uint32_t& p : image.argb)
            if (p == (colorKey | 0xFF000000u))
                p = 0;

    D3DSURFACE_DESC desc;
    made->GetLevelDesc(0, &desc);
    const int cw = std::min(iw, int(desc.Width)), ch = std::min(ih, int(desc.Height));
    const RECT area{0, 0, cw, ch};
    D3DLOCKED_RECT locked;
    if (HRESULT hr = made->LockRect(0, &locked, &area, 0); FAILED(hr))
        return hr;
    convertFromArgb(desc.Format, image.argb.data(), cw, ch, std::size_t(iw) * 4, locked.pBits,
                    std::size_t(locked.Pitch));
    if (HRESULT hr = made->UnlockRect(0); FAILED(hr))
        return hr;

    if (info) {
        *info = D3DXIMAGE_INFO{};
        info->Width = std::uint32_t(iw);
        info->Height = std::uint32_t(ih);
        info->Depth = 1;
        info->MipLevels = 1;
        info->Format = fileFormat;
        info->ResourceType = D3DRTYPE_TEXTURE;
        info->ImageFileFormat = fileFormatOf(image.info.kind);
    }
    made->AddRef();
    *texture = made.get();
    return D3D_OK;
}

HRESULT D3DXCreateSprite(GfxDevice* device, GfxSprite** sprite)
{
    auto* dev = dynamic_cast<DeviceBase*>(device);
    if (sprite)
        *sprite = nullptr;
    if (!dev || !sprite)
        return D3DERR_INVALIDCALL;
    if (HRESULT hr = dev->resourceCall("D3DXCreateSprite", nullptr, {}); FAILED(hr))
        return hr;
    *sprite = new SpriteImpl(dev);
    return D3D_OK;
}

HRESULT D3DXSaveSurfaceToFileA(const char* path, D3DXIMAGE_FILEFORMAT format, GfxSurface* surface, const void*,
                               const RECT* sourceRect)
{
    if (!path || !surface || format != D3DXIFF_BMP)
        return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc;
    if (HRESULT hr = surface->GetDesc(&desc); FAILED(hr))
        return hr;
    const RECT r = sourceRect ? *sourceRect : RECT{0, 0, std::int32_t(desc.Width), std::int32_t(desc.Height)};
    D3DLOCKED_RECT locked;
    if (HRESULT hr = surface->LockRect(&locked, &r, D3DLOCK_READONLY); FAILED(hr))
        return hr;
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<std::uint32_t> argb(std::size_t(w) * std::size_t(h));
    const bool converted =
        convertToArgb(desc.Format, locked.pBits, w, h, std::size_t(locked.Pitch), argb.data(), std::size_t(w) * 4);
    surface->UnlockRect();
    if (!converted)
        return D3DERR_INVALIDCALL;
    // ARGB words are B, G, R, A bytes in memory, the writer's layout.
    std::vector<std::uint8_t> bgra(argb.size() * 4);
    for (std::size_t i = 0; i < argb.size(); ++i) {
        bgra[4 * i] = std::uint8_t(argb[i]);
        bgra[4 * i + 1] = std::uint8_t(argb[i] >> 8);
        bgra[4 * i + 2] = std::uint8_t(argb[i] >> 16);
        bgra[4 * i + 3] = std::uint8_t(argb[i] >> 24);
    }
    return writeBmp24(path, w, h, bgra.data()) ? D3D_OK : E_FAIL;
}

} // namespace platform
