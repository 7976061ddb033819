#pragma once
// What both devices share: argument checks, the state a device keeps and
// returns, resource creation, the expansion of every primitive into
// triangles in back-buffer pixels, and the call log of the recording double.
// A backend supplies presentation, clearing, read-back and the drawing of
// the triangles.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/gfx/d3d8.h"
#include "platform/gfx/d3d8_recording.h"
#include "platform/gfx/d3d8_resources.h"
#include "platform/gfx/d3dx8.h"

namespace platform {

// A vertex as backends draw it: D3D pixel coordinates (pixel (x, y)'s
// centre at (x, y)), ARGB colour, texture coordinate.
struct BatchVertex {
    float x;
    float y;
    std::uint32_t color;
    float u;
    float v;
};

// Render and texture-stage state (stage 0) that draws depend on.
struct DrawState {
    std::uint32_t alphaBlend = 0;
    std::uint32_t lighting = 1;
    std::uint32_t srcBlend = D3DBLEND_ONE;
    std::uint32_t destBlend = D3DBLEND_ZERO;
    std::uint32_t colorOp = D3DTOP_MODULATE;
    std::uint32_t colorArg1 = D3DTA_TEXTURE;
    std::uint32_t colorArg2 = D3DTA_CURRENT;
    std::uint32_t minFilter = D3DTEXF_POINT;
    std::uint32_t magFilter = D3DTEXF_POINT;
    D3DVIEWPORT8 viewport;
};

// The viewport as a rectangle of a width x height back buffer (clipped, to
// `clip` too when given; may be empty).
RECT clippedViewport(const D3DVIEWPORT8& viewport, int width, int height, const RECT* clip = nullptr);

// What D3DX's sprite passes along with its quad (for the call log).
struct SpriteDrawArgs {
    const RECT* source = nullptr;
    float scaleX = 1.0f, scaleY = 1.0f;
    float centerX = 0.0f, centerY = 0.0f;
    float angle = 0.0f;
    float translateX = 0.0f, translateY = 0.0f;
    D3DCOLOR color = 0xFFFFFFFF;
};

class DeviceBase : public GfxDevice {
public:
    HRESULT TestCooperativeLevel() override;
    HRESULT GetDeviceCaps(D3DCAPS8* caps) override;
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT Present(const RECT* source, const RECT* dest, HWND window, const void* dirtyRegion) override;
    HRESULT GetBackBuffer(std::uint32_t index, D3DBACKBUFFER_TYPE type, GfxSurface** surface) override;
    HRESULT GetFrontBuffer(GfxSurface* dest) override;
    HRESULT CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, std::uint32_t usage,
                          D3DFORMAT format, D3DPOOL pool, GfxTexture** texture) override;
    HRESULT CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool,
                               GfxVertexBuffer** buffer) override;
    HRESULT CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                              GfxIndexBuffer** buffer) override;
    HRESULT CreateImageSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                               GfxSurface** surface) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags, D3DCOLOR color, float z,
                  std::uint32_t stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT8* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT8* viewport) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) override;
    HRESULT SetTexture(std::uint32_t stage, GfxTexture* texture) override;
    HRESULT GetTexture(std::uint32_t stage, GfxTexture** texture) override;
    HRESULT SetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t value) override;
    HRESULT GetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t* value) override;
    HRESULT SetVertexShader(std::uint32_t fvf) override;
    HRESULT GetVertexShader(std::uint32_t* fvf) override;
    HRESULT SetStreamSource(std::uint32_t stream, GfxVertexBuffer* buffer, std::uint32_t stride) override;
    HRESULT SetIndices(GfxIndexBuffer* buffer, std::uint32_t baseVertexIndex) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, std::uint32_t startVertex, std::uint32_t primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, std::uint32_t minIndex, std::uint32_t numVertices,
                                 std::uint32_t startIndex, std::uint32_t primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                            std::uint32_t stride) override;
    HRESULT SetCursorProperties(std::uint32_t hotX, std::uint32_t hotY, GfxSurface* image) override;
    bool ShowCursor(bool show) override;

    GfxDeviceStats stats() const override { return m_stats; }
    void resetStats() override { m_stats = GfxDeviceStats{}; }
    void setPowerOfTwoTextures(bool on) override { m_powerOfTwo = on; }
    bool powerOfTwoTextures() const override { return m_powerOfTwo; }
    PresentMapping presentMapping() const override { return PresentMapping{}; }
    void setTextureMerging(bool on) override
    {
        backendStateChanging();
        m_textureMerging = on;
    }
    bool textureMerging() const { return m_textureMerging; }
    void setDrawingSkipped(bool on) override
    {
        backendStateChanging();
        m_drawingSkipped = on;
    }
    void setSkipUnchangedFrames(bool) override {}
    void failTextureStorage(int) override {}

    // For resources and the D3DX stand-ins.
    // Hands pending draws to the backend: the back buffer is read next.
    void flush() { backendReadingBack(); }
    // Logs the call (recording double) and returns an injected failure or D3D_OK.
    HRESULT resourceCall(const char* name, const void* object, std::initializer_list<std::int64_t> args,
                         const char* text = nullptr);
    HRESULT textureLocking(TextureImpl* texture, std::uint32_t level, const RECT* rect, std::uint32_t flags);
    virtual void textureDestroyed(TextureImpl* texture);
    // One textured quad (top-left, top-right, bottom-left, bottom-right) with
    // the current state; no device state changes. Quads of one texture added
    // one after another go to the backend as one draw at endSprites, which
    // must come before any other call. impl: the texture as this device's
    // own (null when it is not), which the caller works out once for a run.
    HRESULT addSprite(GfxTexture* texture, TextureImpl* impl, const SpriteDrawArgs& args, const TLVertex quad[4]);
    // The same quad, as the batch holds it, where no call log is kept.
    HRESULT addSpriteQuad(TextureImpl* impl, const BatchVertex quad[4]);
    // Quads of four corners each, in one colour, as addSpriteQuad adds them.
    HRESULT addSpriteQuads(TextureImpl* impl, const KeptRun::Corner* corners, std::size_t quads, std::uint32_t color);
    void endSprites() { flushExpanded(); }
    // Logs a D3DX call that has no device call of its own (sprite Begin, ...).
    void note(const char* name, const void* object, std::initializer_list<std::int64_t> args = {},
              const char* text = nullptr);
    Recorder* recorder() const { return m_recorder.get(); }
    std::uint32_t maxTextureSize() const { return m_maxTextureSize; }
    int backBufferWidth() const { return int(m_params.BackBufferWidth); }
    int backBufferHeight() const { return int(m_params.BackBufferHeight); }
    const DrawState& drawState() const { return m_state; }
    // Puts back a vertex shader GetVertexShader gave, 0 (none set yet) included,
    // which SetVertexShader refuses.
    void restoreVertexShader(std::uint32_t fvf) { m_fvf = fvf; }

    // Checks present parameters against the caps; an unknown windowed format
    // becomes the desktop's, a zero back-buffer count one.
    static HRESULT validateParams(D3DPRESENT_PARAMETERS& params, const D3DCAPS8& caps, D3DFORMAT desktopFormat);

protected:
    DeviceBase(const D3DPRESENT_PARAMETERS& params, const D3DCAPS8& caps, std::shared_ptr<Recorder> recorder);
    ~DeviceBase() override;

    // Drops the bindings (derived destructors call it while their backend is whole).
    void releaseBindings();

    virtual HRESULT backendTestCooperativeLevel() = 0;
    virtual HRESULT backendReset(const D3DPRESENT_PARAMETERS& params) = 0;
    virtual HRESULT backendPresent() = 0;
    virtual HRESULT backendGetBackBuffer(GfxSurface** surface) = 0;
    virtual HRESULT backendGetFrontBuffer(ImageSurface& dest) = 0;
    virtual HRESULT backendDisplayMode(D3DDISPLAYMODE& mode) = 0;
    // rects: the parts of the viewport to clear, inside the back buffer.
    virtual void backendClear(const std::vector<RECT>& rects, D3DCOLOR color) = 0;
    // A draw-affecting state is about to change, or a scene ends.
    virtual void backendStateChanging() {}
    // The back buffer's pixels are about to be read: everything asked for
    // so far must be in them.
    virtual void backendReadingBack() { backendStateChanging(); }
    virtual void backendEndScene() {}
    // Triangles (three indices each) in the current state.
    virtual void backendDraw(TextureImpl* texture, const BatchVertex* vertices, std::size_t vertexCount,
                             const std::uint16_t* indices, std::size_t indexCount) = 0;
    // A texture was made; a failure (the backend has no room for it) fails
    // its creation.
    virtual HRESULT backendTextureCreated(TextureImpl*) { return D3D_OK; }
    // A texture is about to be written while draws may still sample it.
    virtual void backendTextureWriting(TextureImpl*) {}
    // The pointer's image (A8R8G8B8, checked) and whether it shows.
    virtual HRESULT backendSetCursor(const PixelBuffer&, std::uint32_t, std::uint32_t) { return D3D_OK; }
    virtual void backendShowCursor(bool) {}

    bool recording() const { return m_recorder != nullptr; }
    void record(RecordedCall&& call);
    HRESULT injected(const char* name);

    std::shared_ptr<DeviceLink> m_link;
    std::shared_ptr<Recorder> m_recorder;
    D3DPRESENT_PARAMETERS m_params;
    D3DCAPS8 m_caps;
    GfxDeviceStats m_stats;

private:
    void resetState();
    // The texture stage 0 really samples (none when its op ignores it).
    TextureImpl* drawTexture() const;
    HRESULT checkDraw(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, std::uint32_t& vertexCount) const;
    // Expands `count` vertices of a primitive list into triangles and draws them.
    void expand(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const TLVertex* const* vertices);
    void emitQuad(const TLVertex& a, const TLVertex& b, float ax, float ay, float bx, float by, float hx, float hy);
    void emitLine(const TLVertex& a, const TLVertex& b);
    void flushExpanded();
    // Room for one sprite quad's four vertices in the pending batch (sampling
    // `sampled`), its two triangles' indices written.
    BatchVertex* nextSpriteQuad(TextureImpl* sampled);
    HRESULT stateChange(std::uint32_t& slot, std::uint32_t value);
    void recordDraw(const char* name, std::initializer_list<std::int64_t> args, const TLVertex* const* vertices,
                    std::uint32_t count);

    DrawState m_state;
    bool m_cursorShown = false;
    GfxRef<TextureImpl> m_texture;
    std::uint32_t m_fvf = 0;
    GfxRef<VertexBufferImpl> m_stream;
    std::uint32_t m_streamStride = 0;
    GfxRef<IndexBufferImpl> m_indices;
    std::uint32_t m_baseVertex = 0;
    D3DMATRIX m_view;
    D3DMATRIX m_projection;
    D3DMATRIX m_world;
    bool m_inScene = false;
    bool m_powerOfTwo = false;
    bool m_textureMerging = true;
    bool m_drawingSkipped = false;
    std::uint32_t m_maxTextureSize = 0;

    // A growing array of plain values: every sprite of a frame appends to
    // one, and a vector's append checks and copies more than the four
    // vertices and six indices are worth.
    template <class T>
    class Pending {
    public:
        std::size_t size() const { return m_size; }
        bool empty() const { return m_size == 0; }
        const T* data() const { return m_data.get(); }
        void clear() { m_size = 0; }
        // Room for n more at the end, to be written by the caller.
        T* extend(std::size_t n)
        {
            if (m_capacity - m_size < n)
                grow(m_size + n);
            T* at = m_data.get() + m_size;
            m_size += n;
            return at;
        }
        void push_back(const T& value) { *extend(1) = value; }

    private:
        void grow(std::size_t needed)
        {
            const std::size_t capacity = std::max(needed, 2 * m_capacity);
            std::unique_ptr<T[]> data(new T[capacity]);
            std::copy(m_data.get(), m_data.get() + m_size, data.get());
            m_data = std::move(data);
            m_capacity = capacity;
        }
        std::unique_ptr<T[]> m_data;
        std::size_t m_size = 0;
        std::size_t m_capacity = 0;
    };

    std::vector<const TLVertex*> m_gather;  // vertex pointers of the draw in hand
    std::vector<RECT> m_clearParts;         // of the clear in hand
    Pending<BatchVertex> m_outVertices;
    Pending<std::uint16_t> m_outIndices;
    TextureImpl* m_outTexture = nullptr;
};

} // namespace platform
