#include "platform/gfx/d3d8_resources.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/gfx/d3d8_device_base.h"
#include "platform/gfx/pixel_format.h"

namespace platform {

void PixelBuffer::allocate(D3DFORMAT format, int width, int height)
{
    m_format = format;
    m_width = width;
    m_height = height;
    m_bpp = platform::bytesPerPixel(format);
    m_pitch = std::size_t(width) * std::size_t(m_bpp);
    m_bits.assign(m_pitch * std::size_t(height), 0);
    m_locked = false;
    m_dirty = false;
}

bool PixelBuffer::resolveRect(const RECT* rect, RECT& out) const
{
    if (!rect) {
        out = RECT{0, 0, m_width, m_height};
        return m_width > 0 && m_height > 0;
    }
    if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
        rect->right > m_width || rect->bottom > m_height)
        return false;
    out = *rect;
    return true;
}

HRESULT PixelBuffer::lock(const RECT* rect, std::uint32_t flags, D3DLOCKED_RECT* locked)
{
    RECT r;
    if (!locked || m_locked || m_bits.empty() || !resolveRect(rect, r))
        return D3DERR_INVALIDCALL;
    m_locked = true;
    m_lockReadOnly = (flags & D3DLOCK_READONLY) != 0;
    m_lockRect = r;
    locked->Pitch = std::int32_t(m_pitch);
    locked->pBits = pixel(r.left, r.top);
    return D3D_OK;
}

HRESULT PixelBuffer::unlock()
{
    if (!m_locked)
        return D3DERR_INVALIDCALL;
    m_locked = false;
    if (!m_lockReadOnly)
        markDirty(m_lockRect);
    return D3D_OK;
}

void PixelBuffer::markDirty(const RECT& r)
{
    if (!m_dirty) {
        m_dirtyRect = r;
        m_dirty = true;
        return;
    }
    m_dirtyRect.left = std::min(m_dirtyRect.left, r.left);
    m_dirtyRect.top = std::min(m_dirtyRect.top, r.top);
    m_dirtyRect.right = std::max(m_dirtyRect.right, r.right);
    m_dirtyRect.bottom = std::max(m_dirtyRect.bottom, r.bottom);
}

void PixelBuffer::markAllDirty() { markDirty(RECT{0, 0, m_width, m_height}); }

TextureImpl::TextureImpl(std::shared_ptr<DeviceLink> link, D3DFORMAT storedFormat, int width, int height,
                         std::uint32_t usage, D3DPOOL pool)
    : m_link(std::move(link)), m_usage(usage), m_pool(pool)
{
    static std::atomic<std::uint64_t> nextSerial{1};
    m_serial = nextSerial.fetch_add(1, std::memory_order_relaxed);
    m_pixels.allocate(storedFormat, width, height);
    // A fresh texture is uploaded whole (zeros included) on first use.
    m_pixels.markAllDirty();
}

TextureImpl::~TextureImpl()
{
    if (m_link->device)
        m_link->device->textureDestroyed(this);
}

HRESULT TextureImpl::GetLevelDesc(std::uint32_t level, D3DSURFACE_DESC* desc)
{
    if (level != 0 || !desc)
        return D3DERR_INVALIDCALL;
    desc->Format = m_pixels.format();
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Size = std::uint32_t(m_pixels.pitch() * std::size_t(m_pixels.height()));
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->Width = std::uint32_t(m_pixels.width());
    desc->Height = std::uint32_t(m_pixels.height());
    return D3D_OK;
}

HRESULT TextureImpl::LockRect(std::uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect, std::uint32_t flags)
{
    if (DeviceBase* d = m_link->device) {
        HRESULT hr = d->textureLocking(this, level, rect, flags);
        if (FAILED(hr))
            return hr;
    }
    if (level != 0)
        return D3DERR_INVALIDCALL;
    const HRESULT hr = m_pixels.lock(rect, flags, locked);
    if (SUCCEEDED(hr) && !(flags & D3DLOCK_READONLY))
        ++m_version;
    return hr;
}

HRESULT TextureImpl::UnlockRect(std::uint32_t level)
{
    if (DeviceBase* d = m_link->device) {
        HRESULT hr = d->resourceCall("Texture.UnlockRect", this, {level});
        if (FAILED(hr))
            return hr;
    }
    if (level != 0)
        return D3DERR_INVALIDCALL;
    const bool wrote = m_pixels.isLocked() && !m_pixels.lockIsReadOnly();
    const HRESULT hr = m_pixels.unlock();
    // Writes through the lock's pointer land between lock and unlock.
    if (SUCCEEDED(hr) && wrote)
        ++m_version;
    return hr;
}

bool TextureImpl::texelsOpaque(RECT r) const
{
    const D3DFORMAT f = m_pixels.format();
    if (!isTextureFormat(f))
        return false;
    if (!formatHasAlpha(f))
        return true;
    const int w = m_pixels.width(), h = m_pixels.height();
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, w);
    r.bottom = std::min(r.bottom, h);
    if (r.left >= r.right || r.top >= r.bottom)
        return true;
    const int across = (w + kOpaqueBlock - 1) / kOpaqueBlock;
    const std::size_t words = std::size_t(w + 63) / 64;
    if (m_opaqueBlocks.empty() || m_opaqueVersion != m_version) {
        m_opaqueBlocks.assign(std::size_t(across) * std::size_t((h + kOpaqueBlock - 1) / kOpaqueBlock), 0);
        m_opaqueBits.assign(words * std::size_t(h), 0);
        m_opaqueVersion = m_version;
    }
    // Texels read this call: past the budget the answer is "not known to
    // be opaque", so that a texture written every frame costs little; what
    // was learnt stays for the next call.
    std::int64_t budget = kOpaqueScanBudget;
    for (int by = r.top / kOpaqueBlock; by * kOpaqueBlock < r.bottom; ++by) {
        for (int bx = r.left / kOpaqueBlock; bx * kOpaqueBlock < r.right; ++bx) {
            const int x0 = bx * kOpaqueBlock, y0 = by * kOpaqueBlock;
            const int x1 = std::min(x0 + kOpaqueBlock, w), y1 = std::min(y0 + kOpaqueBlock, h);
            std::uint8_t& known = m_opaqueBlocks[std::size_t(by) * std::size_t(across) + std::size_t(bx)];
            if (known == 0) {
                if (budget <= 0)
                    return false;
                budget -= std::int64_t(x1 - x0) * (y1 - y0);
                bool all = true;
                for (int y = y0; y < y1; ++y)
                    for (int x = x0; x < x1; ++x) {
                        const bool opaque = (decodePixel(f, m_pixels.pixel(x, y)) >> 24) == 0xFF;
                        m_opaqueBits[std::size_t(y) * words + std::size_t(x) / 64] |= std::uint64_t(opaque) << (x % 64);
                        all = all && opaque;
                    }
                known = all ? 1 : 2;
            }
            if (known == 1)
                continue;
            // Some texel of the block is not opaque: are those the
            // rectangle takes? A block's columns lie in one word.
            const int cx0 = std::max(x0, r.left), cx1 = std::min(x1, r.right);
            const std::uint64_t mask = ((std::uint64_t(1) << (cx1 - cx0)) - 1) << (cx0 % 64);
            for (int y = std::max(y0, r.top); y < std::min(y1, r.bottom); ++y)
                if ((m_opaqueBits[std::size_t(y) * words + std::size_t(cx0) / 64] & mask) != mask)
                    return false;
        }
    }
    return true;
}

ImageSurface::ImageSurface(std::shared_ptr<DeviceLink> link, D3DFORMAT format, int width, int height)
    : m_link(std::move(link))
{
    m_pixels.allocate(format, width, height);
}

HRESULT ImageSurface::GetDesc(D3DSURFACE_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{};
    desc->Format = m_pixels.format();
    desc->Type = D3DRTYPE_SURFACE;
    desc->Pool = D3DPOOL_SYSTEMMEM;
    desc->Size = std::uint32_t(m_pixels.pitch() * std::size_t(m_pixels.height()));
    desc->Width = std::uint32_t(m_pixels.width());
    desc->Height = std::uint32_t(m_pixels.height());
    return D3D_OK;
}

HRESULT ImageSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, std::uint32_t flags)
{
    if (DeviceBase* d = m_link->device) {
        RECT r = rect ? *rect : RECT{-1, -1, -1, -1};
        HRESULT hr = d->resourceCall("Surface.LockRect", this, {r.left, r.top, r.right, r.bottom, flags});
        if (FAILED(hr))
            return hr;
    }
    return m_pixels.lock(rect, flags, locked);
}

HRESULT ImageSurface::UnlockRect()
{
    if (DeviceBase* d = m_link->device) {
        HRESULT hr = d->resourceCall("Surface.UnlockRect", this, {});
        if (FAILED(hr))
            return hr;
    }
    return m_pixels.unlock();
}

HRESULT BufferStorage::lock(std::uint32_t offset, std::uint32_t size, std::uint8_t** data)
{
    if (!data || m_locked || offset >= m_bytes.size())
        return D3DERR_INVALIDCALL;
    if (size != 0 && std::uint64_t(offset) + size > m_bytes.size())
        return D3DERR_INVALIDCALL;
    m_locked = true;
    *data = m_bytes.data() + offset;
    return D3D_OK;
}

HRESULT BufferStorage::unlock()
{
    if (!m_locked)
        return D3DERR_INVALIDCALL;
    m_locked = false;
    return D3D_OK;
}

HRESULT VertexBufferImpl::Lock(std::uint32_t offset, std::uint32_t size, std::uint8_t** data, std::uint32_t flags)
{
    if (DeviceBase* d = m_link->device) {
        HRESULT hr = d->resourceCall("VertexBuffer.Lock", this, {offset, size, flags});
        if (FAILED(hr))
            return hr;
    }
    return m_storage.lock(offset, size, data);
}

HRESULT VertexBufferImpl::Unlock()
{
    if (DeviceBase* d = m_link->device) {
        HRESULT hr = d->resourceCall("VertexBuffer.Unlock", this, {});
        if (FAILED(hr))
            return hr;
    }
    return m_storage.unlock();
}

HRESULT VertexBufferImpl::GetDesc(D3DVERTEXBUFFER_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = D3DFMT_UNKNOWN;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Size = m_storage.size();
    desc->FVF = m_fvf;
    return D3D_OK;
}

HRESULT IndexBufferImpl::Lock(std::uint32_t offset, std::uint32_t size, std::uint8_t** data, std::uint32_t flags)
{
    if (DeviceBase* d = m_link->device) {
        HRESULT hr = d->resourceCall("IndexBuffer.Lock", this, {offset, size, flags});
        if (FAILED(hr))
            return hr;
    }
    return m_storage.lock(offset, size, data);
}

HRESULT IndexBufferImpl::Unlock()
{
    if (DeviceBase* d = m_link->device) {
        HRESULT hr = d->resourceCall("IndexBuffer.Unlock", this, {});
        if (FAILED(hr))
            return hr;
    }
    return m_storage.unlock();
}

HRESULT IndexBufferImpl::GetDesc(D3DINDEXBUFFER_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = m_format;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Size = m_storage.size();
    return D3D_OK;
}

} // namespace platform
