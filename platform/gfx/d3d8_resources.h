#pragma once
// Device resources whose storage does not depend on the backend: textures
// and image surfaces keep a CPU copy in their stored pixel format, buffers
// keep their bytes. The GL backend uploads what a lock made dirty; the
// recording double reads the same copies.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/d3d8.h"

namespace platform {

class DeviceBase;

// The device a resource reports its locks to. Cleared when the device goes,
// so resources may outlive it.
struct DeviceLink {
    DeviceBase* device = nullptr;
};

// A 2D array of pixels in one format with D3D lock rules: one lock at a
// time, rectangles inside the image, a write lock marks its rectangle dirty.
class PixelBuffer {
public:
    void allocate(D3DFORMAT format, int width, int height);

    D3DFORMAT format() const { return m_format; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int bytesPerPixel() const { return m_bpp; }
    std::size_t pitch() const { return m_pitch; }
    std::uint8_t* data() { return m_bits.data(); }
    const std::uint8_t* data() const { return m_bits.data(); }
    std::uint8_t* pixel(int x, int y) { return m_bits.data() + std::size_t(y) * m_pitch + std::size_t(x) * m_bpp; }
    const std::uint8_t* pixel(int x, int y) const
    {
        return m_bits.data() + std::size_t(y) * m_pitch + std::size_t(x) * m_bpp;
    }

    // False for a null, empty or out-of-image rectangle; null means all.
    bool resolveRect(const RECT* rect, RECT& out) const;
    HRESULT lock(const RECT* rect, std::uint32_t flags, D3DLOCKED_RECT* locked);
    HRESULT unlock();
    bool isLocked() const { return m_locked; }
    bool lockIsReadOnly() const { return m_lockReadOnly; }

    bool isDirty() const { return m_dirty; }
    const RECT& dirtyRect() const { return m_dirtyRect; }
    void markDirty(const RECT& r);
    void markAllDirty();
    void clearDirty() { m_dirty = false; }

private:
    D3DFORMAT m_format = D3DFMT_UNKNOWN;
    int m_width = 0;
    int m_height = 0;
    int m_bpp = 0;
    std::size_t m_pitch = 0;
    std::vector<std::uint8_t> m_bits;
    bool m_locked = false;
    bool m_lockReadOnly = false;
    RECT m_lockRect;
    bool m_dirty = false;
    RECT m_dirtyRect;
};

// Whatever a backend keeps beside a texture (a GL name, for example).
class TextureBackendData {
public:
    virtual ~TextureBackendData() = default;
};

class TextureImpl final : public GfxTexture {
public:
    TextureImpl(std::shared_ptr<DeviceLink> link, D3DFORMAT storedFormat, int width, int height, std::uint32_t usage,
                D3DPOOL pool);

    std::uint32_t GetLevelCount() override { return 1; }
    HRESULT GetLevelDesc(std::uint32_t level, D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(std::uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect, std::uint32_t flags) override;
    HRESULT UnlockRect(std::uint32_t level) override;

    PixelBuffer& pixels() { return m_pixels; }
    const PixelBuffer& pixels() const { return m_pixels; }
    std::unique_ptr<TextureBackendData> backend;

    // Names this texture and its contents: the serial is never reused in the
    // process, the version moves on with every lock that may write.
    std::uint64_t serial() const { return m_serial; }
    std::uint32_t version() const { return m_version; }

    // Whether every texel of `texels` (clipped to the texture) reads alpha
    // 1: always for formats without alpha. What it learns of each block of
    // texels is kept until the contents change.
    bool texelsOpaque(RECT texels) const;

private:
    ~TextureImpl() override;
    std::shared_ptr<DeviceLink> m_link;
    PixelBuffer m_pixels;
    std::uint64_t m_serial;
    std::uint32_t m_version = 0;
    // Per block of kOpaqueBlock x kOpaqueBlock texels: 0 not known yet, 1
    // every texel opaque, 2 not, its texels then in m_opaqueBits (a bit
    // per texel, rows of whole 64-bit words); for m_opaqueVersion.
    static constexpr int kOpaqueBlock = 16;
    static constexpr std::int64_t kOpaqueScanBudget = 65536;
    mutable std::vector<std::uint8_t> m_opaqueBlocks;
    mutable std::vector<std::uint64_t> m_opaqueBits;
    mutable std::uint32_t m_opaqueVersion = 0;
    std::uint32_t m_usage;
    D3DPOOL m_pool;
};

// A CPU surface (CreateImageSurface, and the double's back buffer).
class ImageSurface final : public GfxSurface {
public:
    ImageSurface(std::shared_ptr<DeviceLink> link, D3DFORMAT format, int width, int height);

    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, std::uint32_t flags) override;
    HRESULT UnlockRect() override;

    PixelBuffer& pixels() { return m_pixels; }

private:
    std::shared_ptr<DeviceLink> m_link;
    PixelBuffer m_pixels;
};

// Bytes of a vertex or index buffer with one lock at a time.
class BufferStorage {
public:
    explicit BufferStorage(std::uint32_t length) : m_bytes(length, 0) {}
    HRESULT lock(std::uint32_t offset, std::uint32_t size, std::uint8_t** data);
    HRESULT unlock();
    std::uint32_t size() const { return std::uint32_t(m_bytes.size()); }
    const std::uint8_t* data() const { return m_bytes.data(); }

private:
    std::vector<std::uint8_t> m_bytes;
    bool m_locked = false;
};

class VertexBufferImpl final : public GfxVertexBuffer {
public:
    VertexBufferImpl(std::shared_ptr<DeviceLink> link, std::uint32_t length, std::uint32_t usage, std::uint32_t fvf,
                     D3DPOOL pool)
        : m_link(std::move(link)), m_storage(length), m_usage(usage), m_fvf(fvf), m_pool(pool)
    {
    }
    HRESULT Lock(std::uint32_t offset, std::uint32_t size, std::uint8_t** data, std::uint32_t flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;
    const BufferStorage& storage() const { return m_storage; }

private:
    std::shared_ptr<DeviceLink> m_link;
    BufferStorage m_storage;
    std::uint32_t m_usage;
    std::uint32_t m_fvf;
    D3DPOOL m_pool;
};

class IndexBufferImpl final : public GfxIndexBuffer {
public:
    IndexBufferImpl(std::shared_ptr<DeviceLink> link, std::uint32_t length, std::uint32_t usage, D3DFORMAT format,
                    D3DPOOL pool)
        : m_link(std::move(link)), m_storage(length), m_usage(usage), m_format(format), m_pool(pool)
    {
    }
    HRESULT Lock(std::uint32_t offset, std::uint32_t size, std::uint8_t** data, std::uint32_t flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;
    const BufferStorage& storage() const { return m_storage; }
    D3DFORMAT format() const { return m_format; }

private:
    std::shared_ptr<DeviceLink> m_link;
    BufferStorage m_storage;
    std::uint32_t m_usage;
    D3DFORMAT m_format;
    D3DPOOL m_pool;
};

} // namespace platform
