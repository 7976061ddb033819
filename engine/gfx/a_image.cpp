#include "engine/gfx/a_image.h"

#include <libmng.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "platform/system/clock.h"

using platform::GfxDevice;
using platform::GfxTexture;

namespace {

aGraphServer* graphServer() { return g_application ? g_application->m_graphServer : nullptr; }

// The sprite's rotation centre in scaled pixels: the centre given in
// unscaled pixels (null: the middle of the w x h source).
D3DXVECTOR2 pivotOf(float w, float h, const D3DXVECTOR2& scale, const D3DXVECTOR2* center)
{
    return center ? D3DXVECTOR2{center->x * std::fabs(scale.x), center->y * std::fabs(scale.y)}
                  : D3DXVECTOR2{w * std::fabs(scale.x) * 0.5f, h * std::fabs(scale.y) * 0.5f};
}

GfxDevice* graphDevice()
{
    aGraphServer* gs = graphServer();
    return gs ? gs->m_device : nullptr;
}

std::uint32_t maxTextureSize(GfxDevice* dev)
{
    D3DCAPS8 caps;
    if (!dev || FAILED(dev->GetDeviceCaps(&caps)))
        return 0;
    return std::min(caps.MaxTextureWidth, caps.MaxTextureHeight);
}

std::uint32_t readStored(const std::uint8_t* p, int bpp)
{
    if (bpp == 4) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

void writeStored(std::uint8_t* p, int bpp, std::uint32_t v)
{
    if (bpp == 4) {
        std::memcpy(p, &v, 4);
    } else {
        const std::uint16_t s = std::uint16_t(v);
        std::memcpy(p, &s, 2);
    }
}

bool is16BitFormat(D3DFORMAT f)
{
    return f == D3DFMT_R5G6B5 || f == D3DFMT_X1R5G5B5 || f == D3DFMT_A1R5G5B5 || f == D3DFMT_A4R4G4B4;
}

// A locked level 0, unlocked when it goes.
class LevelLock {
public:
    LevelLock(GfxTexture* texture, const RECT* rect, std::uint32_t flags) : m_texture(texture)
    {
        m_hr = texture ? texture->LockRect(0, &m_locked, rect, flags) : D3DERR_INVALIDCALL;
    }
    ~LevelLock()
    {
        if (SUCCEEDED(m_hr))
            m_texture->UnlockRect(0);
    }
    LevelLock(const LevelLock&) = delete;
    LevelLock& operator=(const LevelLock&) = delete;

    bool ok() const { return SUCCEEDED(m_hr); }
    HRESULT result() const { return m_hr; }
    std::uint8_t* bits() const { return static_cast<std::uint8_t*>(m_locked.pBits); }
    std::size_t pitch() const { return std::size_t(m_locked.Pitch); }

private:
    GfxTexture* m_texture;
    D3DLOCKED_RECT m_locked;
    HRESULT m_hr;
};

D3DFORMAT storedFormat(GfxTexture* texture)
{
    D3DSURFACE_DESC desc;
    if (!texture || FAILED(texture->GetLevelDesc(0, &desc)))
        return D3DFMT_UNKNOWN;
    return desc.Format;
}

// --- JNG through libmng ---------------------------------------------------

// Per decode: the source buffer, the read position and the canvas.
struct MngSource {
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    std::uint32_t pos = 0;
    std::uint8_t* canvas = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

MngSource& sourceOf(mng_handle h) { return *static_cast<MngSource*>(mng_get_userdata(h)); }

// The blocks libmng holds during one decode on this thread. Some of its
// error paths forget their buffers, so whatever is left when the decode
// ends is freed here.
struct MngBlocks {
    std::unordered_set<void*> live;
};
thread_local MngBlocks* t_mngBlocks = nullptr;

mng_ptr MNG_DECL mngAlloc(mng_size_t size)
{
    void* p = std::calloc(1, size);
    if (p && t_mngBlocks) {
        try {
            t_mngBlocks->live.insert(p);
        } catch (...) {
            std::free(p);
            return MNG_NULL;
        }
    }
    return p;
}

void MNG_DECL mngFree(mng_ptr p, mng_size_t)
{
    if (t_mngBlocks)
        t_mngBlocks->live.erase(p);
    std::free(p);
}

// One decode: the handle and its blocks, all released when it goes.
class MngDecode {
public:
    explicit MngDecode(MngSource* source) : m_outer(t_mngBlocks)
    {
        t_mngBlocks = &m_blocks;
        m_handle = mng_initialize(source, mngAlloc, mngFree, MNG_NULL);
    }
    ~MngDecode()
    {
        release();
        t_mngBlocks = m_outer;
    }
    MngDecode(const MngDecode&) = delete;
    MngDecode& operator=(const MngDecode&) = delete;

    mng_handle handle() const { return m_handle; }
    void release()
    {
        if (m_handle)
            mng_cleanup(&m_handle);
        m_handle = MNG_NULL;
        for (void* p : m_blocks.live)
            std::free(p);
        m_blocks.live.clear();
    }

private:
    MngBlocks m_blocks;
    MngBlocks* m_outer;
    mng_handle m_handle = MNG_NULL;
};

std::uint32_t bigEndian32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// libmng allocates the picture a header declares before it decodes a
// pixel, so every header it would read (up to the IEND) is checked here
// first against the largest texture. Other faults are left to libmng.
// Empty when the file passes, else what is wrong.
std::string checkJngSize(const std::uint8_t* data, std::uint32_t size, std::uint32_t maxSize)
{
    for (std::uint32_t pos = 8; pos <= size && size - pos >= 12;) {
        const std::uint32_t length = bigEndian32(data + pos);
        const std::uint8_t* type = data + pos + 4;
        if (std::memcmp(type, "IEND", 4) == 0 || length > size - pos - 12)
            break;
        if (length >= 8 && (std::memcmp(type, "JHDR", 4) == 0 || std::memcmp(type, "IHDR", 4) == 0)) {
            const std::uint32_t w = bigEndian32(data + pos + 8);
            const std::uint32_t h = bigEndian32(data + pos + 12);
            if (w == 0 || h == 0 || w > maxSize || h > maxSize)
                return "image size " + std::to_string(w) + "x" + std::to_string(h) + " not supported";
        }
        pos += 12 + length;
    }
    return std::string();
}

mng_bool MNG_DECL mngOpen(mng_handle) { return MNG_TRUE; }
mng_bool MNG_DECL mngClose(mng_handle) { return MNG_TRUE; }

mng_bool MNG_DECL mngRead(mng_handle h, mng_ptr buffer, mng_uint32 wanted, mng_uint32p got)
{
    MngSource& src = sourceOf(h);
    const std::uint32_t n = std::min(wanted, src.size - src.pos);
    if (n)
        std::memcpy(buffer, src.data + src.pos, n);
    src.pos += n;
    *got = n;
    return MNG_TRUE;
}

mng_ptr MNG_DECL mngCanvasLine(mng_handle h, mng_uint32 line)
{
    MngSource& src = sourceOf(h);
    // libmng draws only inside the header's size; a canvas that is not
    // there yet gets nothing rather than a wild pointer.
    if (!src.canvas || line >= src.height)
        return MNG_NULL;
    return src.canvas + std::size_t(src.width) * line * 4;
}

mng_uint32 MNG_DECL mngTicks(mng_handle) { return platform::getTickCount(); }
mng_bool MNG_DECL mngSetTimer(mng_handle, mng_uint32) { return MNG_TRUE; }
mng_bool MNG_DECL mngRefresh(mng_handle, mng_uint32, mng_uint32, mng_uint32, mng_uint32) { return MNG_TRUE; }

} // namespace

// --- pixel table -----------------------------------------------------------

std::uint32_t image_decodePixel(D3DFORMAT format, std::uint32_t v)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return v;
    case D3DFMT_R5G6B5:
        return 0xFF000000u | (v & 0xF800) << 8 | (v & 0x07E0) << 5 | (v & 0x001F) << 3;
    case D3DFMT_A1R5G5B5:
        return ((v & 0x8000) ? 0xFF000000u : 0u) | (v & 0x7C00) << 9 | (v & 0x03E0) << 6 | (v & 0x001F) << 3;
    case D3DFMT_A4R4G4B4:
        return (v & 0xF000) << 16 | (v & 0x0F00) << 12 | (v & 0x00F0) << 8 | (v & 0x000F) << 4;
    default:
        return 0;
    }
}

bool image_encodePixel(D3DFORMAT format, std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b,
                       std::uint32_t* out)
{
    a &= 0xFF;
    r &= 0xFF;
    g &= 0xFF;
    b &= 0xFF;
    switch (format) {
    case D3DFMT_A8R8G8B8:
        *out = a << 24 | r << 16 | g << 8 | b;
        return true;
    case D3DFMT_R5G6B5:
        *out = (r & 0xF8) << 8 | (g & 0xFC) << 3 | b >> 3;
        return true;
    case D3DFMT_A1R5G5B5:
        *out = (r & 0xF8) << 7 | (g & 0xF8) << 2 | b >> 3 | (a >= 128 ? 0x8000u : 0u);
        return true;
    case D3DFMT_A4R4G4B4:
        *out = (a & 0xF0) << 8 | (r & 0xF0) << 4 | (g & 0xF0) | b >> 4;
        return true;
    default:
        return false;
    }
}

int image_bytesPerPixel(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
        return 2;
    default:
        return 0;
    }
}

// --- texture holders and image data ------------------------------------------

void aTextureHolder::release()
{
    if (texture)
        texture->Release();
    texture = nullptr;
}

std::list<aImageData*>& aImageData::imageList()
{
    static std::list<aImageData*> list;
    return list;
}

void aImageData::clearImageList() { imageList().clear(); }

void aImageData::releaseAll(bool full)
{
    for (aImageData* data : imageList())
        data->releaseTextures(full);
}

void aImageData::reloadAll()
{
    for (aImageData* data : imageList())
        data->load();
}

aImageData::aImageData() { imageList().push_back(this); }

aImageData::~aImageData()
{
    imageList().remove(this);
    releaseTextures(true);
}

D3DFORMAT aImageData::requestedFormat() const
{
    aGraphServer* gs = graphServer();
    return (!gs || gs->m_use32Bit) ? m_format32 : m_format16;
}

void aImageData::setBlurParams(std::int32_t radius, float intensity)
{
    auto params = std::make_unique<aBlurParams>();
    params->radius = radius;
    params->intensity = intensity;
    m_params[IMAGE_PARAM_BLUR] = std::move(params);
}

void aImageData::setGrayscaleParams(bool inPlace)
{
    auto params = std::make_unique<aGrayscaleParams>();
    params->inPlace = inPlace ? 1 : 0;
    m_params[IMAGE_PARAM_GRAYSCALE] = std::move(params);
}

aBlurParams* aImageData::blurParams() const { return dynamic_cast<aBlurParams*>(m_params[IMAGE_PARAM_BLUR].get()); }

aGrayscaleParams* aImageData::grayscaleParams() const
{
    return dynamic_cast<aGrayscaleParams*>(m_params[IMAGE_PARAM_GRAYSCALE].get());
}

void aImageData::releaseTextures(bool full)
{
    if (!full && m_fileName.empty())
        return;
    m_base.release();
    m_blurred.release();
    m_gray.release();
    if (full) {
        m_base = m_blurred = m_gray = aTextureHolder{};
        for (auto& p : m_params)
            p.reset();
    }
}

void aImageData::load()
{
    if (!g_application) {
        a_log("aImage. Error, aApplication object not created!");
        return;
    }
    aGraphServer* gs = g_application->m_graphServer;
    if (!gs) {
        a_log("aImage. Error, aGraphServer object not created!");
        return;
    }
    if (m_fileName.empty() && m_created)
        return;

    GfxDevice* dev = gs->m_device;
    GfxTexture* texture = nullptr;
    std::uint32_t width = 0, height = 0;
    HRESULT hr;
    if (!m_fileName.empty()) {
        std::uint32_t size = 0;
        std::uint8_t* bytes = file_readFullAndMalloc(m_fileName, &size);
        if (bytes && size >= 4 && bytes[0] == 0x8B && bytes[1] == 'J' && bytes[2] == 'N' && bytes[3] == 'G') {
            hr = createFromMNG(bytes, size, &texture, &width, &height);
        } else {
            D3DXIMAGE_INFO info;
            hr = platform::D3DXCreateTextureFromFileInMemoryEx(
                dev, bytes, size, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, requestedFormat(), D3DPOOL_MANAGED,
                D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, &info, nullptr, &texture);
            width = info.Width;
            height = info.Height;
        }
        std::free(bytes);
    } else {
        hr = platform::D3DXCreateTexture(dev, m_width, m_height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture);
        width = m_width;
        height = m_height;
        if (SUCCEEDED(hr))
            m_created = true;
    }
    if (FAILED(hr) || !texture) {
        a_log("Texture \"%s\" load failed (%s)", m_fileName.c_str(), platform::dxErrorName(FAILED(hr) ? hr : E_FAIL));
        if (texture)
            texture->Release();
        return;
    }

    // A reload replaces what an earlier load left.
    m_base.release();
    m_base.texture = texture;
    m_base.width = std::uint16_t(width);
    m_base.height = std::uint16_t(height);
    D3DSURFACE_DESC desc;
    if (HRESULT dr = texture->GetLevelDesc(0, &desc); FAILED(dr)) {
        a_log("Get texture \"%s\" surface failed (%s)", m_fileName.c_str(), platform::dxErrorName(dr));
        m_base.texWidth = m_base.width;
        m_base.texHeight = m_base.height;
    } else {
        m_base.texWidth = std::uint16_t(desc.Width);
        m_base.texHeight = std::uint16_t(desc.Height);
    }
    applyEffects();
}

void aImageData::applyEffects()
{
    for (std::int32_t effect : m_effects) {
        // An effect whose parameters were never set has nothing to work with.
        if (effect == IMAGE_EFFECT_BLUR || effect == IMAGE_EFFECT_BLUR2) {
            if (aBlurParams* p = blurParams())
                blur(p->radius);
        } else if (effect == IMAGE_EFFECT_GRAYSCALE) {
            if (aGrayscaleParams* p = grayscaleParams())
                grayscale(p->inPlace != 0);
        }
    }
}

HRESULT aImageData::createFromMNG(const std::uint8_t* data, std::uint32_t size, GfxTexture** out,
                                  std::uint32_t* outWidth, std::uint32_t* outHeight)
{
    *out = nullptr;
    GfxDevice* dev = graphDevice();
    const std::uint32_t maxSize = maxTextureSize(dev);
    if (const std::string problem = checkJngSize(data, size, maxSize); !problem.empty()) {
        a_log("aImage::createFromMNG - \"%s\": %s", m_fileName.c_str(), problem.c_str());
        return D3DXERR_INVALIDDATA;
    }

    MngSource src;
    src.data = data;
    src.size = size;
    MngDecode decode(&src);
    const mng_handle h = decode.handle();
    const auto fail = [](HRESULT hr) {
        a_log("aImage::createFromMNG - mnglib init/read error!");
        return hr;
    };
    if (!h)
        return fail(E_FAIL);
    if (mng_setcb_openstream(h, mngOpen) || mng_setcb_closestream(h, mngClose) || mng_setcb_readdata(h, mngRead) ||
        mng_setcb_getcanvasline(h, mngCanvasLine) || mng_setcb_gettickcount(h, mngTicks) ||
        mng_setcb_settimer(h, mngSetTimer) || mng_setcb_refresh(h, mngRefresh) ||
        mng_set_canvasstyle(h, MNG_CANVAS_BGRA8))
        return fail(E_FAIL);
    if (mng_read(h) != MNG_NOERROR)
        return fail(D3DXERR_INVALIDDATA);

    const std::uint32_t width = mng_get_imagewidth(h);
    const std::uint32_t height = mng_get_imageheight(h);
    if (width == 0 || height == 0 || width > maxSize || height > maxSize) {
        a_log("aImage::createFromMNG - \"%s\": image size %ux%u not supported", m_fileName.c_str(), width, height);
        return D3DXERR_INVALIDDATA;
    }
    std::vector<std::uint8_t> canvas(std::size_t(width) * height * 4, 0);
    src.canvas = canvas.data();
    src.width = width;
    src.height = height;
    const mng_retcode shown = mng_display(h);
    if (shown != MNG_NOERROR && shown != MNG_NEEDTIMERWAIT)
        return fail(D3DXERR_INVALIDDATA);
    decode.release();

    GfxTexture* texture = nullptr;
    HRESULT hr = platform::D3DXCreateTexture(dev, width, height, 1, 0, requestedFormat(), D3DPOOL_MANAGED, &texture);
    if (FAILED(hr)) {
        a_log("aImage::createFromMNG - D3DXCreateTexture error (%s)", platform::dxErrorName(hr));
        return hr;
    }
    // Filled by the format the texture is kept in, so 24-bit and DXT
    // requests (kept as 32-bit) still get their pixels.
    const D3DFORMAT stored = storedFormat(texture);
    {
        LevelLock lock(texture, nullptr, 0);
        if (!lock.ok()) {
            a_log("aImage::createFromMNG - LockRect error (%s)", platform::dxErrorName(lock.result()));
            texture->Release();
            return lock.result();
        }
        for (std::uint32_t y = 0; y < height; ++y) {
            const std::uint8_t* s = canvas.data() + std::size_t(width) * 4 * y;
            if (stored == D3DFMT_A8R8G8B8 || stored == D3DFMT_X8R8G8B8) {
                std::memcpy(lock.bits() + (lock.pitch() & ~std::size_t(3)) * y, s, std::size_t(width) * 4);
                continue;
            }
            if (!is16BitFormat(stored))
                continue;
            std::uint8_t* d = lock.bits() + lock.pitch() * y;
            for (std::uint32_t x = 0; x < width; ++x, s += 4, d += 2) {
                const std::uint32_t B = s[0], G = s[1], R = s[2], A = s[3];
                std::uint32_t v;
                if (stored == D3DFMT_R5G6B5)
                    v = (R & 0xF8) << 8 | (G & 0xFC) << 3 | B >> 3;
                else if (stored == D3DFMT_A4R4G4B4)
                    v = (A >> 4) << 12 | (R & 0xF0) << 4 | (G & 0xF0) | B >> 4;
                else
                    v = (R & 0xF8) << 7 | (G & 0xF8) << 2 | B >> 3 | (A > 127 ? 0x8000u : 0u);
                writeStored(d, 2, v);
            }
        }
    }
    *out = texture;
    *outWidth = width;
    *outHeight = height;
    return D3D_OK;
}

namespace {

// Stack blur of one line of n pixels (stride in pixels between them) read
// and written through the pixel table. Weights fall off linearly from the
// centre (r + 1) to the stack's ends (1); samples beyond an end repeat it.
void stackBlurLine(std::uint8_t* first, std::size_t strideBytes, int n, int r, int bpp, D3DFORMAT format,
                   std::vector<std::uint32_t>& line, std::vector<std::uint32_t>& stack, std::uint32_t divsum)
{
    line.resize(std::size_t(n));
    for (int i = 0; i < n; ++i)
        line[std::size_t(i)] = image_decodePixel(format, readStored(first + strideBytes * std::size_t(i), bpp));
    const int div = 2 * r + 1;
    stack.assign(std::size_t(div), 0);
    std::uint32_t sum[4] = {}, inSum[4] = {}, outSum[4] = {};
    auto channel = [](std::uint32_t p, int c) { return (p >> (8 * c)) & 0xFF; };
    for (int i = -r; i <= r; ++i) {
        const std::uint32_t p = line[std::size_t(std::clamp(i, 0, n - 1))];
        stack[std::size_t(i + r)] = p;
        const std::uint32_t weight = std::uint32_t(r + 1 - std::abs(i));
        for (int c = 0; c < 4; ++c) {
            sum[c] += channel(p, c) * weight;
            if (i > 0)
                inSum[c] += channel(p, c);
            else
                outSum[c] += channel(p, c);
        }
    }
    int sp = r;
    for (int x = 0; x < n; ++x) {
        std::uint32_t out;
        if (image_encodePixel(format, sum[3] / divsum, sum[2] / divsum, sum[1] / divsum, sum[0] / divsum, &out))
            writeStored(first + strideBytes * std::size_t(x), bpp, out);
        const std::uint32_t leaving = stack[std::size_t((sp + div - r) % div)];
        for (int c = 0; c < 4; ++c) {
            sum[c] -= outSum[c];
            outSum[c] -= channel(leaving, c);
        }
        const std::uint32_t entering = line[std::size_t(std::min(x + r + 1, n - 1))];
        stack[std::size_t((sp + div - r) % div)] = entering;
        for (int c = 0; c < 4; ++c) {
            inSum[c] += channel(entering, c);
            sum[c] += inSum[c];
        }
        sp = (sp + 1) % div;
        const std::uint32_t centre = stack[std::size_t(sp)];
        for (int c = 0; c < 4; ++c) {
            outSum[c] += channel(centre, c);
            inSum[c] -= channel(centre, c);
        }
    }
}

} // namespace

void aImageData::blur(std::int32_t radius)
{
    if (radius < 0)
        radius = 0;
    if (!m_blurred.texture)
        m_blurRadius = 0;
    if (radius == m_blurRadius || !m_base.texture)
        return;
    GfxDevice* dev = graphDevice();
    const std::int32_t longest = std::max(m_base.width, m_base.height);
    const std::int32_t maxRadius = std::max<std::int32_t>(0, (std::int32_t(maxTextureSize(dev)) - longest) / 2);
    if (radius > maxRadius) {
        a_log("aImage: blur radius %d of \"%s\" capped to %d", radius, m_fileName.c_str(), maxRadius);
        radius = maxRadius;
        if (radius == m_blurRadius)
            return;
    }
    m_blurRadius = radius;
    m_blurred.release();
    if (radius == 0)
        return;

    const D3DFORMAT format = requestedFormat();
    const std::uint32_t bw = m_base.width + 2u * std::uint32_t(radius);
    const std::uint32_t bh = m_base.height + 2u * std::uint32_t(radius);
    GfxTexture* texture = nullptr;
    if (FAILED(platform::D3DXCreateTexture(dev, bw, bh, 1, 0, format, D3DPOOL_MANAGED, &texture))) {
        a_log("aImage: Failed create empty texture for blur");
        return;
    }
    m_blurred.texture = texture;
    m_blurred.width = std::uint16_t(bw);
    m_blurred.height = std::uint16_t(bh);
    D3DSURFACE_DESC desc;
    texture->GetLevelDesc(0, &desc);
    m_blurred.texWidth = std::uint16_t(desc.Width);
    m_blurred.texHeight = std::uint16_t(desc.Height);
    const int blurBpp = platform::bytesPerPixel(desc.Format);

    LevelLock dst(texture, nullptr, 0);
    if (!dst.ok())
        return;
    const int fillBpp = format == D3DFMT_A8R8G8B8 ? 4 : is16BitFormat(format) ? 2 : 0;
    const std::uint32_t fill = fillBpp == 4 ? 0x00808080u : 0x0888u;
    if (fillBpp == blurBpp)
        for (std::uint32_t y = 0; y < desc.Height; ++y)
            for (std::uint32_t x = 0; x < desc.Width; ++x)
                writeStored(dst.bits() + dst.pitch() * y + std::size_t(x) * std::size_t(fillBpp), fillBpp, fill);

    {
        LevelLock src(m_base.texture, nullptr, D3DLOCK_READONLY);
        if (src.ok()) {
            const std::size_t rowBytes = std::min<std::size_t>(
                std::size_t(m_base.width) * std::size_t(platform::bytesPerPixel(storedFormat(m_base.texture))),
                std::size_t(m_base.width) * std::size_t(blurBpp));
            for (std::uint32_t y = 0; y < m_base.height; ++y)
                std::memcpy(dst.bits() + dst.pitch() * (y + std::uint32_t(radius)) +
                                std::size_t(radius) * std::size_t(blurBpp),
                            src.bits() + src.pitch() * y, rowBytes);
        }
    }

    // Formats outside the pixel table read 0 and take no blurred pixels.
    const int bpp = image_bytesPerPixel(format);
    if (bpp == 0 || bpp != blurBpp)
        return;
    const std::uint32_t divsum = std::uint32_t(radius + 1) * std::uint32_t(radius + 1);
    std::vector<std::uint32_t> line, stack;
    for (std::uint32_t y = 0; y < bh; ++y)
        stackBlurLine(dst.bits() + dst.pitch() * y, std::size_t(bpp), int(bw), radius, bpp, format, line, stack,
                      divsum);
    for (std::uint32_t x = 0; x < bw; ++x)
        stackBlurLine(dst.bits() + std::size_t(x) * std::size_t(bpp), dst.pitch(), int(bh), radius, bpp, format, line,
                      stack, divsum);
}

void aImageData::grayscale(bool inPlace)
{
    if ((m_gray.texture && !inPlace) || !m_base.texture)
        return;
    const D3DFORMAT format = requestedFormat();
    const int bpp = platform::bytesPerPixel(storedFormat(m_base.texture));
    const int tableBpp = image_bytesPerPixel(format);

    LevelLock src(m_base.texture, nullptr, inPlace ? 0 : D3DLOCK_READONLY);
    if (!src.ok())
        return;
    std::uint8_t* dstBits = src.bits();
    std::size_t dstPitch = src.pitch();
    std::unique_ptr<LevelLock> dst;
    if (!inPlace) {
        GfxTexture* texture = nullptr;
        if (FAILED(platform::D3DXCreateTexture(graphDevice(), m_base.width, m_base.height, 1, 0, format,
                                               D3DPOOL_MANAGED, &texture))) {
            a_log("aImage: Failed create empty texture for grayscale");
            return;
        }
        m_gray.release();
        m_gray.texture = texture;
        m_gray.width = m_base.width;
        m_gray.height = m_base.height;
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(0, &desc);
        m_gray.texWidth = std::uint16_t(desc.Width);
        m_gray.texHeight = std::uint16_t(desc.Height);
        dst = std::make_unique<LevelLock>(texture, nullptr, 0);
        if (!dst->ok())
            return;
        dstBits = dst->bits();
        dstPitch = dst->pitch();
    }
    // Formats outside the pixel table read 0 and take no gray pixels.
    if (tableBpp == 0 || tableBpp != bpp)
        return;
    for (std::uint32_t y = 0; y < m_base.height; ++y) {
        for (std::uint32_t x = 0; x < m_base.width; ++x) {
            const std::uint32_t c =
                image_decodePixel(format, readStored(src.bits() + src.pitch() * y + std::size_t(x) * bpp, bpp));
            const std::uint32_t gray = (((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF)) / 3;
            std::uint32_t v;
            if (image_encodePixel(format, c >> 24, gray, gray, gray, &v))
                writeStored(dstBits + dstPitch * y + std::size_t(x) * bpp, bpp, v);
        }
    }
}

// --- handles -----------------------------------------------------------------

void aImage::LockInfo::SetColorAt(std::uint32_t x, std::uint32_t y, std::uint32_t color)
{
    A_CHECK(data);
    A_CHECK(x < rect.width);
    A_CHECK(y < rect.height);
    if (!data || x >= rect.width || y >= rect.height)
        return;
    data[std::size_t(y) * pitch + x] = color;
}

aImage::aImage()
{
    attach(new aImageData);
    settle();
}

aImage::aImage(const std::string& fileName, D3DFORMAT format16, D3DFORMAT format32)
{
    attach(new aImageData);
    m_data->m_fileName = fileName;
    m_data->m_format16 = format16;
    m_data->m_format32 = format32;
    m_data->load();
    settle();
}

aImage::aImage(std::uint32_t width, std::uint32_t height)
{
    attach(new aImageData);
    m_data->m_format16 = m_data->m_format32 = D3DFMT_A8R8G8B8;
    m_data->m_width = width;
    m_data->m_height = height;
    m_data->load();
    settle();
}

aImage::aImage(const aImage& other)
{
    ++other.m_data->m_refCount;
    attach(other.m_data);
    settle();
}

aImage& aImage::operator=(const aImage& other)
{
    if (other.m_data == m_data)
        return *this;
    ++other.m_data->m_refCount;
    detach();
    attach(other.m_data);
    return *this;
}

aImage::~aImage() { detach(); }

void aImage::attach(aImageData* data)
{
    m_data = data;
    m_holder = &data->m_base;
}

void aImage::detach()
{
    if (m_data && --m_data->m_refCount <= 0)
        delete m_data;
    m_data = nullptr;
    m_holder = nullptr;
}

void aImage::settle()
{
    m_holder = &m_data->m_base;
    m_drawMode = IMAGE_DRAW_NORMAL;
}

void aImage::load(const std::string& fileName, D3DFORMAT format16, D3DFORMAT format32)
{
    if (m_data->m_base.texture) {
        detach();
        attach(new aImageData);
    }
    m_data->m_fileName = fileName;
    m_data->m_format16 = format16;
    m_data->m_format32 = format32;
    m_data->load();
    settle();
}

void aImage::create(std::uint32_t width, std::uint32_t height)
{
    if (m_data->m_base.texture) {
        detach();
        attach(new aImageData);
    }
    m_data->m_fileName.clear();
    m_data->m_format16 = m_data->m_format32 = D3DFMT_A8R8G8B8;
    m_data->m_width = width;
    m_data->m_height = height;
    m_data->m_created = false;
    m_data->load();
    settle();
}

bool aImage::lock(LockInfo& info, const aRect* rect, bool readOnly)
{
    info.data = nullptr;
    info.pitch = 0;
    if (m_data->requestedFormat() != D3DFMT_A8R8G8B8) {
        a_log("Image format != A8R8G8B8, lock failed!");
        return false;
    }
    const aTextureHolder& base = m_data->m_base;
    const aRect r = rect ? *rect : aRect(0, 0, base.width, base.height);
    // A rectangle outside the image would hand out memory past the pixels.
    if (!base.texture || r.x < 0 || r.y < 0 || r.width == 0 || r.height == 0 || r.right() > base.width ||
        r.bottom() > base.height) {
        a_log("Image lock failed!");
        return false;
    }
    const RECT area{r.x, r.y, r.right(), r.bottom()};
    D3DLOCKED_RECT locked;
    if (FAILED(base.texture->LockRect(0, &locked, &area, readOnly ? D3DLOCK_READONLY : 0))) {
        a_log("Image lock failed!");
        return false;
    }
    info.data = static_cast<std::uint32_t*>(locked.pBits);
    info.pitch = std::uint32_t(locked.Pitch) / 4;
    info.rect = r;
    return true;
}

void aImage::unlock()
{
    if (m_data->m_base.texture)
        m_data->m_base.texture->UnlockRect(0);
}

std::uint32_t aImage::getPixel(std::int32_t x, std::int32_t y) const
{
    const aTextureHolder& base = m_data->m_base;
    // Images listed as 24-bit, DXT or unknown read 0 here on purpose: that is
    // what hit tests on them have always answered, and data relies on it.
    const D3DFORMAT format = m_data->requestedFormat();
    const int bpp = image_bytesPerPixel(format);
    if (!base.texture || bpp == 0 || x < 0 || y < 0 || x >= base.width || y >= base.height)
        return 0;
    const RECT area{x, y, x + 1, y + 1};
    LevelLock lock(base.texture, &area, D3DLOCK_READONLY);
    if (!lock.ok())
        return 0;
    return image_decodePixel(format, readStored(lock.bits(), bpp));
}

bool aImage::readDrawnPixels(const aRect& source, std::vector<std::uint32_t>& argb) const
{
    if (!m_holder || !m_holder->texture || source.width == 0 || source.height == 0 ||
        (m_drawMode == IMAGE_DRAW_GLOW && m_data->m_blurred.texture))
        return false;
    const D3DFORMAT format = storedFormat(m_holder->texture);
    const bool opaque = format == D3DFMT_X8R8G8B8;
    const int bpp = image_bytesPerPixel(opaque ? D3DFMT_A8R8G8B8 : format);
    if (bpp == 0 || (!opaque && image_decodePixel(format, 0xFFFFFFFFu) == 0))
        return false;
    argb.assign(std::size_t(source.width) * source.height, 0u);
    const std::int32_t x0 = std::max<std::int32_t>(source.x, 0), y0 = std::max<std::int32_t>(source.y, 0);
    const std::int32_t x1 = std::min<std::int32_t>(source.right(), m_holder->width);
    const std::int32_t y1 = std::min<std::int32_t>(source.bottom(), m_holder->height);
    if (x0 >= x1 || y0 >= y1)
        return true;
    const RECT area{x0, y0, x1, y1};
    LevelLock lock(m_holder->texture, &area, D3DLOCK_READONLY);
    if (!lock.ok())
        return false;
    for (std::int32_t y = y0; y < y1; ++y) {
        const std::uint8_t* row = lock.bits() + lock.pitch() * std::size_t(y - y0);
        std::uint32_t* out = &argb[std::size_t(y - source.y) * source.width + std::size_t(x0 - source.x)];
        for (std::int32_t x = x0; x < x1; ++x, row += bpp) {
            const std::uint32_t v = readStored(row, bpp);
            *out++ = opaque ? v | 0xFF000000u : image_decodePixel(format, v);
        }
    }
    return true;
}

void aImage::spriteDraw(const aTextureHolder& holder, float x, float y, const aRect& source, std::uint32_t color,
                        D3DXVECTOR2 scale, float angle, const D3DXVECTOR2* center, std::uint32_t flags) const
{
    aGraphServer* gs = graphServer();
    if (!gs || !gs->m_sprite || !holder.texture)
        return;
    const float w = float(source.width), h = float(source.height);
    D3DXVECTOR2 c;
    bool haveCentre = center != nullptr;
    if (center)
        c = *center;
    if (flags & (IMAGE_MIRROR_VERTICAL | IMAGE_MIRROR_HORIZONTAL)) {
        // Kept in unscaled pixels here and scaled once below, so a mirrored
        // image turns about the same point at any scale.
        if (!center)
            c = D3DXVECTOR2{w * 0.5f, h * 0.5f};
        haveCentre = true;
        if (flags & IMAGE_MIRROR_HORIZONTAL) {
            x += scale.x * w;
            scale.x = -scale.x;
            c.x += scale.x >= 0.0f ? w : -w;
        }
        if (flags & IMAGE_MIRROR_VERTICAL) {
            y += scale.y * h;
            scale.y = -scale.y;
            c.y += scale.y >= 0.0f ? h : -h;
        }
    }
    const D3DXVECTOR2 pivot = pivotOf(w, h, scale, haveCentre ? &c : nullptr);
    const RECT src{source.x, source.y, source.right(), source.bottom()};
    const D3DXVECTOR2 translation{x, y};
    gs->m_sprite->Draw(holder.texture, &src, &scale, &pivot, angle, &translation, color);
}

std::uint32_t aImage::modulate(const aGraphServer& gs, std::uint32_t color)
{
    const std::uint32_t a = ((color >> 24) & 0xFF) * std::uint32_t(gs.m_drawColor[0]) / 255;
    const std::uint32_t r = ((color >> 16) & 0xFF) * std::uint32_t(gs.m_drawColor[1]) / 255;
    const std::uint32_t g = ((color >> 8) & 0xFF) * std::uint32_t(gs.m_drawColor[2]) / 255;
    const std::uint32_t b = (color & 0xFF) * std::uint32_t(gs.m_drawColor[3]) / 255;
    return (a & 0xFF) << 24 | (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
}

void aImage::prepareParts(const Part* parts, std::size_t count, const D3DXVECTOR2* center,
                          std::vector<platform::SpritePart>& out)
{
    for (std::size_t i = 0; i < count; ++i) {
        const aRect& src = parts[i].source;
        if (src.width == 0 || src.height == 0)
            continue;
        const D3DXVECTOR2& scale = parts[i].scale;
        out.push_back(platform::SpritePart{RECT{src.x, src.y, src.right(), src.bottom()}, scale,
                                           pivotOf(float(src.width), float(src.height), scale, center),
                                           D3DXVECTOR2{parts[i].x, parts[i].y}});
    }
}

void aImage::drawPrepared(const platform::SpritePart* parts, std::size_t count, std::uint32_t color, float angle,
                          const D3DXVECTOR2* center, platform::KeptRun* kept) const
{
    aGraphServer* gs = graphServer();
    if (!gs || !m_data->m_base.texture || count == 0)
        return;
    const aTextureHolder& holder = m_holder ? *m_holder : m_data->m_base;
    // Glow draws each part in three steps.
    if (!gs->m_sprite || !holder.texture || (m_drawMode == IMAGE_DRAW_GLOW && m_data->blurParams())) {
        for (std::size_t i = 0; i < count; ++i) {
            const RECT& r = parts[i].source;
            const aRect source(std::int16_t(r.left), std::int16_t(r.top), std::uint16_t(r.right - r.left),
                               std::uint16_t(r.bottom - r.top));
            draw(parts[i].translation.x, parts[i].translation.y, &source, color, &parts[i].scale, angle, center, 0);
        }
        return;
    }
    if (kept)
        gs->m_sprite->DrawRunKept(holder.texture, parts, count, angle, modulate(*gs, color), *kept);
    else
        gs->m_sprite->DrawRun(holder.texture, parts, count, angle, modulate(*gs, color));
}

void aImage::drawParts(const Part* parts, std::size_t count, std::uint32_t color, float angle,
                       const D3DXVECTOR2* center) const
{
    // Kept between calls: many callers hand on a run every frame.
    static thread_local std::vector<platform::SpritePart> run;
    run.clear();
    prepareParts(parts, count, center, run);
    drawPrepared(run.data(), run.size(), color, angle, center);
}

void aImage::draw(float x, float y, const aRect* source, std::uint32_t color, const D3DXVECTOR2* scale, float angle,
                  const D3DXVECTOR2* center, std::uint32_t flags) const
{
    aGraphServer* gs = graphServer();
    if (!gs || !m_data->m_base.texture)
        return;
    const aTextureHolder& holder = m_holder ? *m_holder : m_data->m_base;
    const aRect src = source ? *source : aRect(0, 0, holder.width, holder.height);
    if (src.width == 0 || src.height == 0)
        return;

    const std::uint32_t modulated = modulate(*gs, color);
    const std::uint32_t a = modulated >> 24;
    const D3DXVECTOR2 sc = scale ? *scale : D3DXVECTOR2{1.0f, 1.0f};

    const aBlurParams* blur = m_drawMode == IMAGE_DRAW_GLOW ? m_data->blurParams() : nullptr;
    const aTextureHolder& blurred = m_data->m_blurred;
    // Glow needs its blurred texture; without one the image draws plainly.
    if (!blur || !blurred.texture) {
        spriteDraw(holder, x, y, src, modulated, sc, angle, center, flags);
        return;
    }

    const float radius = float(m_data->m_blurRadius);
    const float glowAlpha = std::clamp(blur->intensity * float(a), 0.0f, 255.0f);
    const std::uint32_t glow = std::uint32_t(glowAlpha) << 24 | (modulated & 0x00FFFFFF);
    aRect glowSrc;
    float gx = x, gy = y;
    D3DXVECTOR2 glowCentre;
    const D3DXVECTOR2* glowCentrePtr = center;
    if (source) {
        glowSrc = aRect(std::int16_t(src.x + m_data->m_blurRadius), std::int16_t(src.y + m_data->m_blurRadius),
                        src.width, src.height);
    } else {
        glowSrc = aRect(0, 0, blurred.width, blurred.height);
        gx = x - radius * sc.x;
        gy = y - radius * sc.y;
        if (center) {
            glowCentre = D3DXVECTOR2{center->x + radius, center->y + radius};
            glowCentrePtr = &glowCentre;
        }
    }
    const int kept = gs->m_blendMode;
    spriteDraw(blurred, gx, gy, glowSrc, glow, sc, angle, glowCentrePtr, flags);
    gs->setBlendMode(kept);
    spriteDraw(holder, x, y, src, modulated, sc, angle, center, flags);
    gs->setBlendMode(1);
    spriteDraw(blurred, gx, gy, glowSrc, glow, sc, angle, glowCentrePtr, flags);
    gs->setBlendMode(kept);
}
