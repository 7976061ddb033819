#pragma once
// The D3DX helpers the engine uses, on top of the device: texture creation
// (also from image files in memory), the sprite, text fonts, the
// orthographic matrix and saving a surface as a BMP file.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gfx/d3d8.h"
#include "platform/gfx/font_raster.h"  // DT_* format bits, FW_* weights

constexpr std::uint32_t D3DX_DEFAULT = 0xFFFFFFFFu;
constexpr std::uint32_t D3DX_FILTER_NONE = 0x00000001;

enum D3DXIMAGE_FILEFORMAT : std::uint32_t {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
};

struct D3DXIMAGE_INFO {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint32_t Depth = 0;
    std::uint32_t MipLevels = 0;
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DRESOURCETYPE ResourceType = D3DRTYPE_TEXTURE;
    D3DXIMAGE_FILEFORMAT ImageFileFormat = D3DXIFF_BMP;
};

struct D3DXVECTOR2 {
    float x = 0.0f;
    float y = 0.0f;
};

struct D3DXMATRIX : D3DMATRIX {};

constexpr std::uint8_t DEFAULT_CHARSET = 1;

struct LOGFONTA {
    std::int32_t lfHeight = 0;  // < 0: character height, > 0: cell height
    std::int32_t lfWidth = 0;
    std::int32_t lfEscapement = 0;
    std::int32_t lfOrientation = 0;
    std::int32_t lfWeight = 0;  // 400 normal, 700 bold
    std::uint8_t lfItalic = 0;
    std::uint8_t lfUnderline = 0;
    std::uint8_t lfStrikeOut = 0;
    std::uint8_t lfCharSet = 0;
    std::uint8_t lfOutPrecision = 0;
    std::uint8_t lfClipPrecision = 0;
    std::uint8_t lfQuality = 0;
    std::uint8_t lfPitchAndFamily = 0;
    char lfFaceName[32] = {};
};

namespace platform {

// One sprite of a run: what Draw takes besides the texture, angle and
// colour the run shares.
struct SpritePart {
    RECT source;
    D3DXVECTOR2 scale;
    D3DXVECTOR2 center;
    D3DXVECTOR2 translation;
};

// A run's quads as DrawRunKept last worked them out, for a caller that
// draws the same parts again; only DrawRunKept reads or writes it.
struct KeptRun {
    struct Corner {
        float x, y, u, v;
    };
    std::vector<Corner> corners;  // four a quad
    std::uint32_t width = 0, height = 0;  // of the texture they were made for
    float rotation = 0.0f;
    bool made = false;
};

// Draws textured quads in submission order with the device's current
// state. Begin and End change no device state.
class GfxSprite : public GfxObject {
public:
    virtual HRESULT Begin() = 0;
    // screen = T + C + R(angle)(S p - C): p in source pixels, S the signed
    // scale (a zero component draws nothing), C the rotation centre in scaled
    // pixels, T the translation; positive angles turn counter-clockwise on
    // screen. At an integer T, scale 1 and angle 0 each texel covers one pixel.
    // Null source: the whole texture. A null texture fails.
    virtual HRESULT Draw(GfxTexture* texture, const RECT* source, const D3DXVECTOR2* scaling,
                         const D3DXVECTOR2* rotationCenter, float rotation, const D3DXVECTOR2* translation,
                         D3DCOLOR color) = 0;
    // Draw for each part in order, with the same pixels and the same call
    // log, handed to the device as one draw. Returns the first failure.
    virtual HRESULT DrawRun(GfxTexture* texture, const SpritePart* parts, std::size_t count, float rotation,
                            D3DCOLOR color) = 0;
    // DrawRun, with the quads worked out once and kept in `kept` for the
    // same parts drawn again (in any colour): made again when the texture's
    // size or the rotation differs. Whoever changes the parts clears `kept`.
    virtual HRESULT DrawRunKept(GfxTexture* texture, const SpritePart* parts, std::size_t count, float rotation,
                                D3DCOLOR color, KeptRun& kept) = 0;
    virtual HRESULT End() = 0;
};

// Text from Windows-1251 strings. DrawTextA leaves every device state as it
// found it.
class GfxFont : public GfxObject {
public:
    virtual HRESULT Begin() = 0;
    // count -1: up to the terminating zero. Format 0 (top-left, lines break
    // only at '\n', clipped to rect), DT_CENTER, DT_CALCRECT (sets rect to
    // the text's box and draws nothing). Returns the text height, 0 on failure.
    virtual int DrawTextA(const char* text, int count, RECT* rect, std::uint32_t format, D3DCOLOR color) = 0;
    virtual HRESULT End() = 0;
    virtual HRESULT GetLogFont(LOGFONTA* font) = 0;
};

D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, float left, float right, float bottom, float top,
                                       float zNear, float zFar);

// Format 0 gives A8R8G8B8; sizes round up to powers of two when the device
// asks for them.
HRESULT D3DXCreateTexture(GfxDevice* device, std::uint32_t width, std::uint32_t height, std::uint32_t mipLevels,
                          std::uint32_t usage, D3DFORMAT format, D3DPOOL pool, GfxTexture** texture);

// PNG, JPEG, BMP or TGA data into a texture of the requested format (0: the
// file's own, A8R8G8B8 with alpha, else X8R8G8B8; 16-bit formats by bit
// truncation). Width/height 0 or D3DX_DEFAULT take the image's, rounded up
// where the device needs powers of two; the image sits top-left, with zeros
// around it. info gets the source's size. Bad data: D3DXERR_INVALIDDATA.
HRESULT D3DXCreateTextureFromFileInMemoryEx(GfxDevice* device, const void* data, std::uint32_t size,
                                            std::uint32_t width, std::uint32_t height, std::uint32_t mipLevels,
                                            std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                            std::uint32_t filter, std::uint32_t mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* info, void* palette, GfxTexture** texture);

HRESULT D3DXCreateSprite(GfxDevice* device, GfxSprite** sprite);
HRESULT D3DXCreateFontIndirect(GfxDevice* device, const LOGFONTA* font, GfxFont** out);

// Writes the rectangle (null: all) of the surface as a 24-bit BMP.
HRESULT D3DXSaveSurfaceToFileA(const char* path, D3DXIMAGE_FILEFORMAT format, GfxSurface* surface,
                               const void* palette, const RECT* sourceRect);

} // namespace platform
