#pragma once
// The graphics device the engine draws through: a Direct3D 8 shaped set of
// reference-counted objects (Direct3D, device, textures, surfaces, vertex and
// index buffers) whose calls return a 32-bit result. Names of methods,
// constants and structure fields are the ones the engine was written
// against; the numbers are kept too. Two implementations: OpenGL 3.3 on a
// platform::Window (Direct3DCreate8) and a recording double for tests
// (d3d8_recording.h). Everything runs on the main thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/gfx/pixel_format.h"
#include "platform/system/win_types.h"

using HRESULT = std::int32_t;
using D3DCOLOR = std::uint32_t;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// Result codes. Lost, not reset and internal error are the numbers callers
// test for; the others are ours (named by dxErrorName for the log).
constexpr HRESULT D3D_OK = 0;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001u);
constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000Eu);
constexpr HRESULT D3DERR_DRIVERINTERNALERROR = HRESULT(0x88760827u);
constexpr HRESULT D3DERR_DEVICELOST = HRESULT(0x88760868u);
constexpr HRESULT D3DERR_DEVICENOTRESET = HRESULT(0x88760869u);
constexpr HRESULT D3DERR_NOTAVAILABLE = HRESULT(0x8876086Au);
constexpr HRESULT D3DERR_INVALIDCALL = HRESULT(0x8876086Cu);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = HRESULT(0x8876017Cu);
constexpr HRESULT D3DXERR_INVALIDDATA = HRESULT(0x88760B59u);

constexpr std::uint32_t D3D_SDK_VERSION = 220;
constexpr std::uint32_t D3DADAPTER_DEFAULT = 0;
constexpr std::uint32_t D3DENUM_NO_WHQL_LEVEL = 0x00000002;

enum D3DDEVTYPE : std::uint32_t { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2, D3DDEVTYPE_SW = 3 };

constexpr std::uint32_t D3DCREATE_FPU_PRESERVE = 0x00000002;
constexpr std::uint32_t D3DCREATE_MULTITHREADED = 0x00000004;
constexpr std::uint32_t D3DCREATE_PUREDEVICE = 0x00000010;
constexpr std::uint32_t D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x00000020;
constexpr std::uint32_t D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x00000040;
constexpr std::uint32_t D3DCREATE_MIXED_VERTEXPROCESSING = 0x00000080;

enum D3DSWAPEFFECT : std::uint32_t {
    D3DSWAPEFFECT_DISCARD = 1,
    D3DSWAPEFFECT_FLIP = 2,
    D3DSWAPEFFECT_COPY = 3,
    D3DSWAPEFFECT_COPY_VSYNC = 4,
};
enum D3DMULTISAMPLE_TYPE : std::uint32_t { D3DMULTISAMPLE_NONE = 0 };
enum D3DBACKBUFFER_TYPE : std::uint32_t { D3DBACKBUFFER_TYPE_MONO = 0 };
enum D3DPOOL : std::uint32_t { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1, D3DPOOL_SYSTEMMEM = 2, D3DPOOL_SCRATCH = 3 };
enum D3DRESOURCETYPE : std::uint32_t {
    D3DRTYPE_SURFACE = 1,
    D3DRTYPE_TEXTURE = 3,
    D3DRTYPE_VERTEXBUFFER = 6,
    D3DRTYPE_INDEXBUFFER = 7,
};

constexpr std::uint32_t D3DPRESENT_INTERVAL_DEFAULT = 0x00000000;
constexpr std::uint32_t D3DPRESENT_INTERVAL_ONE = 0x00000001;
constexpr std::uint32_t D3DPRESENT_INTERVAL_TWO = 0x00000002;
constexpr std::uint32_t D3DPRESENT_INTERVAL_THREE = 0x00000004;
constexpr std::uint32_t D3DPRESENT_INTERVAL_FOUR = 0x00000008;
constexpr std::uint32_t D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000;
constexpr std::uint32_t D3DPRESENTFLAG_LOCKABLE_BACKBUFFER = 0x00000001;

constexpr std::uint32_t D3DUSAGE_RENDERTARGET = 0x00000001;
constexpr std::uint32_t D3DUSAGE_WRITEONLY = 0x00000008;
constexpr std::uint32_t D3DUSAGE_DYNAMIC = 0x00000200;

constexpr std::uint32_t D3DLOCK_READONLY = 0x00000010;
constexpr std::uint32_t D3DLOCK_NOSYSLOCK = 0x00000800;
constexpr std::uint32_t D3DLOCK_NOOVERWRITE = 0x00001000;
constexpr std::uint32_t D3DLOCK_DISCARD = 0x00002000;

constexpr std::uint32_t D3DCLEAR_TARGET = 0x00000001;
constexpr std::uint32_t D3DCLEAR_ZBUFFER = 0x00000002;
constexpr std::uint32_t D3DCLEAR_STENCIL = 0x00000004;

constexpr std::uint32_t D3DFVF_XYZRHW = 0x004;
constexpr std::uint32_t D3DFVF_DIFFUSE = 0x040;
constexpr std::uint32_t D3DFVF_TEX1 = 0x100;
// The one vertex layout the device draws: pre-transformed pixels, colour, one texture coordinate.
constexpr std::uint32_t kFvfTLVertex = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

enum D3DPRIMITIVETYPE : std::uint32_t {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

enum D3DRENDERSTATETYPE : std::uint32_t {
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_LIGHTING = 137,
};

enum D3DBLEND : std::uint32_t {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
};

enum D3DTEXTURESTAGESTATETYPE : std::uint32_t {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_MAGFILTER = 16,
    D3DTSS_MINFILTER = 17,
};

enum D3DTEXTUREOP : std::uint32_t {
    D3DTOP_DISABLE = 1,
    D3DTOP_SELECTARG1 = 2,
    D3DTOP_SELECTARG2 = 3,
    D3DTOP_MODULATE = 4,
    D3DTOP_ADD = 7,
    D3DTOP_SUBTRACT = 10,
};

constexpr std::uint32_t D3DTA_DIFFUSE = 0x00000000;
constexpr std::uint32_t D3DTA_CURRENT = 0x00000001;
constexpr std::uint32_t D3DTA_TEXTURE = 0x00000002;

enum D3DTEXTUREFILTERTYPE : std::uint32_t { D3DTEXF_NONE = 0, D3DTEXF_POINT = 1, D3DTEXF_LINEAR = 2 };

enum D3DTRANSFORMSTATETYPE : std::uint32_t { D3DTS_VIEW = 2, D3DTS_PROJECTION = 3, D3DTS_WORLD = 256 };

// Capability bits the start-up log reports.
constexpr std::uint32_t D3DCAPS2_NO2DDURING3DSCENE = 0x00000002;
constexpr std::uint32_t D3DCAPS2_CANRENDERWINDOWED = 0x00080000;
constexpr std::uint32_t D3DCAPS2_CANMANAGERESOURCE = 0x10000000;
constexpr std::uint32_t D3DCAPS2_DYNAMICTEXTURES = 0x20000000;
constexpr std::uint32_t D3DDEVCAPS_TEXTURESYSTEMMEMORY = 0x00000100;
constexpr std::uint32_t D3DDEVCAPS_TEXTUREVIDEOMEMORY = 0x00000200;
constexpr std::uint32_t D3DDEVCAPS_DRAWPRIMTLVERTEX = 0x00000400;
constexpr std::uint32_t D3DDEVCAPS_TEXTURENONLOCALVIDMEM = 0x00001000;
constexpr std::uint32_t D3DDEVCAPS_SEPARATETEXTUREMEMORIES = 0x00004000;
constexpr std::uint32_t D3DDEVCAPS_HWTRANSFORMANDLIGHT = 0x00010000;
constexpr std::uint32_t D3DDEVCAPS_HWRASTERIZATION = 0x00080000;
constexpr std::uint32_t D3DDEVCAPS_PUREDEVICE = 0x00100000;
// The device shows colour pointer images (SetCursorProperties).
constexpr std::uint32_t D3DCURSORCAPS_COLOR = 0x00000001;
constexpr std::uint32_t D3DPBLENDCAPS_ZERO = 0x00000001;
constexpr std::uint32_t D3DPBLENDCAPS_ONE = 0x00000002;
constexpr std::uint32_t D3DPBLENDCAPS_SRCCOLOR = 0x00000004;
constexpr std::uint32_t D3DPBLENDCAPS_INVSRCCOLOR = 0x00000008;
constexpr std::uint32_t D3DPBLENDCAPS_SRCALPHA = 0x00000010;
constexpr std::uint32_t D3DPBLENDCAPS_INVSRCALPHA = 0x00000020;
constexpr std::uint32_t D3DPBLENDCAPS_DESTALPHA = 0x00000040;
constexpr std::uint32_t D3DPBLENDCAPS_INVDESTALPHA = 0x00000080;
constexpr std::uint32_t D3DPBLENDCAPS_DESTCOLOR = 0x00000100;
constexpr std::uint32_t D3DPBLENDCAPS_INVDESTCOLOR = 0x00000200;
constexpr std::uint32_t D3DPTEXTURECAPS_PERSPECTIVE = 0x00000001;
constexpr std::uint32_t D3DPTEXTURECAPS_POW2 = 0x00000002;
constexpr std::uint32_t D3DPTEXTURECAPS_ALPHA = 0x00000004;
constexpr std::uint32_t D3DPTEXTURECAPS_SQUAREONLY = 0x00000020;
constexpr std::uint32_t D3DPTFILTERCAPS_MINFPOINT = 0x00000100;
constexpr std::uint32_t D3DPTFILTERCAPS_MINFLINEAR = 0x00000200;
constexpr std::uint32_t D3DPTFILTERCAPS_MAGFPOINT = 0x01000000;
constexpr std::uint32_t D3DPTFILTERCAPS_MAGFLINEAR = 0x02000000;
constexpr std::uint32_t D3DPTADDRESSCAPS_CLAMP = 0x00000004;

struct D3DDISPLAYMODE {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::uint32_t RefreshRate = 0;  // Hz, 0 when unknown
    D3DFORMAT Format = D3DFMT_UNKNOWN;
};

struct D3DVIEWPORT8 {
    std::uint32_t X = 0;
    std::uint32_t Y = 0;
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    float MinZ = 0.0f;
    float MaxZ = 1.0f;
};

struct D3DRECT {
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
    std::int32_t x2 = 0;
    std::int32_t y2 = 0;
};

struct D3DLOCKED_RECT {
    std::int32_t Pitch = 0;  // bytes from one row to the next
    void* pBits = nullptr;   // the locked rectangle's first pixel
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DRESOURCETYPE Type = D3DRTYPE_SURFACE;
    std::uint32_t Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    std::uint32_t Size = 0;
    D3DMULTISAMPLE_TYPE MultiSampleType = D3DMULTISAMPLE_NONE;
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
};

struct D3DVERTEXBUFFER_DESC {
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DRESOURCETYPE Type = D3DRTYPE_VERTEXBUFFER;
    std::uint32_t Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    std::uint32_t Size = 0;
    std::uint32_t FVF = 0;
};

struct D3DINDEXBUFFER_DESC {
    D3DFORMAT Format = D3DFMT_UNKNOWN;
    D3DRESOURCETYPE Type = D3DRTYPE_INDEXBUFFER;
    std::uint32_t Usage = 0;
    D3DPOOL Pool = D3DPOOL_DEFAULT;
    std::uint32_t Size = 0;
};

struct D3DPRESENT_PARAMETERS {
    std::uint32_t BackBufferWidth = 0;
    std::uint32_t BackBufferHeight = 0;
    D3DFORMAT BackBufferFormat = D3DFMT_UNKNOWN;  // UNKNOWN when windowed: the desktop's
    std::uint32_t BackBufferCount = 0;
    D3DMULTISAMPLE_TYPE MultiSampleType = D3DMULTISAMPLE_NONE;
    D3DSWAPEFFECT SwapEffect = D3DSWAPEFFECT_DISCARD;
    HWND hDeviceWindow = nullptr;
    int Windowed = 1;
    int EnableAutoDepthStencil = 0;
    D3DFORMAT AutoDepthStencilFormat = D3DFMT_UNKNOWN;
    std::uint32_t Flags = 0;
    std::uint32_t FullScreen_RefreshRateInHz = 0;
    std::uint32_t FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
};

struct D3DLARGE_VERSION {
    std::uint32_t LowPart = 0;  // (build << 16) | revision
    std::int32_t HighPart = 0;  // (product << 16) | version
};

struct D3DADAPTER_IDENTIFIER8 {
    char Driver[512] = {};
    char Description[512] = {};
    D3DLARGE_VERSION DriverVersion;
    std::uint32_t VendorId = 0;
    std::uint32_t DeviceId = 0;
    std::uint32_t SubSysId = 0;
    std::uint32_t Revision = 0;
    std::uint8_t DeviceIdentifier[16] = {};
    std::uint32_t WHQLLevel = 0;
};

struct D3DCAPS8 {
    D3DDEVTYPE DeviceType = D3DDEVTYPE_HAL;
    std::uint32_t AdapterOrdinal = 0;
    std::uint32_t Caps = 0;
    std::uint32_t Caps2 = 0;
    std::uint32_t Caps3 = 0;
    std::uint32_t PresentationIntervals = 0;
    std::uint32_t CursorCaps = 0;
    std::uint32_t DevCaps = 0;
    std::uint32_t SrcBlendCaps = 0;
    std::uint32_t DestBlendCaps = 0;
    std::uint32_t TextureCaps = 0;
    std::uint32_t TextureFilterCaps = 0;
    std::uint32_t TextureAddressCaps = 0;
    std::uint32_t MaxTextureWidth = 0;
    std::uint32_t MaxTextureHeight = 0;
    std::uint32_t MaxTextureAspectRatio = 0;
    std::uint32_t MaxTextureBlendStages = 0;
    std::uint32_t MaxSimultaneousTextures = 0;
    std::uint32_t MaxPrimitiveCount = 0;
    std::uint32_t MaxVertexIndex = 0;
    std::uint32_t MaxStreams = 0;
    std::uint32_t MaxStreamStride = 0;
};

struct D3DMATRIX {
    float m[4][4] = {};
    float& operator()(int row, int col) { return m[row][col]; }
    float operator()(int row, int col) const { return m[row][col]; }
};

// One vertex of kFvfTLVertex, 28 bytes: screen pixels, z, 1/w, ARGB, u, v.
struct TLVertex {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float rhw = 1.0f;
    D3DCOLOR diffuse = 0xFFFFFFFF;
    float u = 0.0f;
    float v = 0.0f;
};
static_assert(sizeof(TLVertex) == 28, "the vertex stride callers use");

namespace platform {

// Name of a result code for the log ("D3DERR_INVALIDCALL"); unknown codes
// give "Unknown error".
const char* dxErrorName(HRESULT hr);

// Where the graphics layer writes its own lines (GL errors, font fallbacks).
// Default: stderr. The engine points it at its log.
using GfxLogSink = std::function<void(const std::string&)>;
void setGfxLogSink(GfxLogSink sink);
void gfxLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Base of every object: starts with one reference; the last Release deletes.
class GfxObject {
public:
    std::uint32_t AddRef() { return ++m_refs; }
    std::uint32_t Release();
    GfxObject(const GfxObject&) = delete;
    GfxObject& operator=(const GfxObject&) = delete;

protected:
    GfxObject() = default;
    virtual ~GfxObject() = default;

private:
    std::atomic<std::uint32_t> m_refs{1};
};

class GfxSurface : public GfxObject {
public:
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    // rect null: the whole surface. D3DLOCK_READONLY reads only.
    virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, std::uint32_t flags) = 0;
    virtual HRESULT UnlockRect() = 0;
};

// One level, kept in its stored format with a CPU copy (the pixels a lock
// hands out); the copy starts zeroed.
class GfxTexture : public GfxObject {
public:
    virtual std::uint32_t GetLevelCount() = 0;
    virtual HRESULT GetLevelDesc(std::uint32_t level, D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT LockRect(std::uint32_t level, D3DLOCKED_RECT* locked, const RECT* rect, std::uint32_t flags) = 0;
    virtual HRESULT UnlockRect(std::uint32_t level) = 0;
};

class GfxVertexBuffer : public GfxObject {
public:
    // size 0 locks from offset to the end.
    virtual HRESULT Lock(std::uint32_t offset, std::uint32_t size, std::uint8_t** data, std::uint32_t flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;
};

class GfxIndexBuffer : public GfxObject {
public:
    virtual HRESULT Lock(std::uint32_t offset, std::uint32_t size, std::uint8_t** data, std::uint32_t flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) = 0;
};

// Counters the tests and the benchmark read.
struct GfxDeviceStats {
    std::uint64_t drawCalls = 0;  // GL draw calls issued
    std::uint64_t flushes = 0;    // batches handed to GL
    std::uint64_t mergedDraws = 0;  // GL draw calls sampling more than one texture array
    std::uint64_t uploads = 0;    // texture uploads (whole or dirty part)
    // Draws asking for linear filtering sampled nearest (texels one to one
    // on pixels), and draws asking for blending drawn without (opaque
    // where they draw).
    std::uint64_t drawsSampledNearest = 0;
    std::uint64_t drawsUnblended = 0;
    // Presents by how much of the frame was drawn (skipping unchanged frames).
    std::uint64_t framesWhole = 0;
    std::uint64_t framesPartial = 0;
    std::uint64_t framesSkipped = 0;  // the frame on screen already was the same
    // Presents that put only the changed areas on screen (where the platform can).
    std::uint64_t framesShownInPart = 0;
    // Changed areas drawn from what lay under their changing top, kept
    // from an earlier frame, and areas whose lower part was kept.
    std::uint64_t areasRestored = 0;
    std::uint64_t areasKept = 0;
    // With A2D_CHECK_FRAMES set: frames drawn in part or skipped that were
    // compared with a whole redraw, and those of them whose pixels differ or
    // could not be compared (each also logged).
    std::uint64_t framesChecked = 0;
    std::uint64_t framesMismatched = 0;
    // With A2D_WHOLE_FRAMES set: frames that skipping would have drawn in
    // part or left as they were, drawn whole instead.
    std::uint64_t framesForcedWhole = 0;
    // Frames whose draws were recorded to the end to compare (skipping
    // unchanged frames), and the bytes the records held at the last present.
    std::uint64_t framesRecorded = 0;
    std::uint64_t recordBytes = 0;
    // Now, not counted: bytes of texture storage the device holds, and the
    // bytes of it its live textures need.
    std::uint64_t textureBytesHeld = 0;
    std::uint64_t textureBytesNeeded = 0;
};

// The counts above that concern the environment's checks, summed over every
// GL device the process made: a checked run can tell that it checked frames.
struct FrameCheckTotals {
    std::uint64_t checked = 0;
    std::uint64_t mismatched = 0;
    std::uint64_t forcedWhole = 0;
    std::uint64_t notWhole = 0;  // frames drawn in part or left as they were
};
FrameCheckTotals frameCheckTotals();

// How Present maps the back buffer onto the window's client area:
// client = offset + back-buffer pixel * scale.
struct PresentMapping {
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    float offsetX = 0.0f;
    float offsetY = 0.0f;
};

class GfxDirect3D;

class GfxDevice : public GfxObject {
public:
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual HRESULT GetDeviceCaps(D3DCAPS8* caps) = 0;
    virtual HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) = 0;
    // Every resource survives; render states, bindings and the viewport go
    // back to their defaults.
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
    virtual HRESULT Present(const RECT* source, const RECT* dest, HWND window, const void* dirtyRegion) = 0;
    virtual HRESULT GetBackBuffer(std::uint32_t index, D3DBACKBUFFER_TYPE type, GfxSurface** surface) = 0;
    // Copies what the window shows into an A8R8G8B8 image surface: windowed,
    // the frame as scaled to the client area at its desktop position; full
    // screen, the back-buffer frame at (0, 0). Clipped to the surface.
    virtual HRESULT GetFrontBuffer(GfxSurface* dest) = 0;

    virtual HRESULT CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, std::uint32_t usage,
                                  D3DFORMAT format, D3DPOOL pool, GfxTexture** texture) = 0;
    virtual HRESULT CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool,
                                       GfxVertexBuffer** buffer) = 0;
    virtual HRESULT CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                      GfxIndexBuffer** buffer) = 0;
    virtual HRESULT CreateImageSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                       GfxSurface** surface) = 0;

    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    // Clears inside the viewport (and the rectangles, when given).
    virtual HRESULT Clear(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags, D3DCOLOR color, float z,
                          std::uint32_t stencil) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    // The viewport clips and never remaps: vertices are back-buffer pixels.
    virtual HRESULT SetViewport(const D3DVIEWPORT8* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT8* viewport) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value) = 0;
    virtual HRESULT SetTexture(std::uint32_t stage, GfxTexture* texture) = 0;
    virtual HRESULT GetTexture(std::uint32_t stage, GfxTexture** texture) = 0;
    virtual HRESULT SetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t value) = 0;
    virtual HRESULT GetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t* value) = 0;
    virtual HRESULT SetVertexShader(std::uint32_t fvf) = 0;
    virtual HRESULT GetVertexShader(std::uint32_t* fvf) = 0;
    virtual HRESULT SetStreamSource(std::uint32_t stream, GfxVertexBuffer* buffer, std::uint32_t stride) = 0;
    virtual HRESULT SetIndices(GfxIndexBuffer* buffer, std::uint32_t baseVertexIndex) = 0;

    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, std::uint32_t startVertex, std::uint32_t primitiveCount) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, std::uint32_t minIndex, std::uint32_t numVertices,
                                         std::uint32_t startIndex, std::uint32_t primitiveCount) = 0;
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                                    std::uint32_t stride) = 0;

    // The pointer as an A8R8G8B8 image surface the window system draws over
    // the window (hot spot inside it), where the caps offer
    // D3DCURSORCAPS_COLOR; shown while ShowCursor is on and the program
    // hides the system cursor over the window. Scaled as frames are.
    virtual HRESULT SetCursorProperties(std::uint32_t hotX, std::uint32_t hotY, GfxSurface* image) = 0;
    // Whether it was shown before.
    virtual bool ShowCursor(bool show) = 0;

    // Stand-in extensions.
    virtual GfxDeviceStats stats() const = 0;
    virtual void resetStats() = 0;
    // Texture sizes must be powers of two (the D3DX creators round up).
    virtual void setPowerOfTwoTextures(bool on) = 0;
    virtual bool powerOfTwoTextures() const = 0;
    virtual PresentMapping presentMapping() const = 0;
    // Consecutive draws that differ only in their texture share one GL draw
    // (on by default); off, each texture run is drawn alone.
    virtual void setTextureMerging(bool on) = 0;
    // While on, clears, draws and presents are checked and answered as usual
    // but reach no pixel: the window keeps the last frame presented before.
    // Replays that look at a few frames only skip the others' rasterising.
    virtual void setDrawingSkipped(bool on) = 0;
    // On, a frame is held until Present and compared with what the window
    // shows: the same frame is neither drawn nor presented, a changed one is
    // drawn again only where it changed. The pixels are those of a whole
    // redraw either way. Off by default; devices without it ignore it. With
    // A2D_WHOLE_FRAMES set in the environment when the device was made,
    // frames are held and compared as usual but always drawn whole, for
    // comparison runs.
    virtual void setSkipUnchangedFrames(bool on) = 0;
    // For tests: the next `count` allocations of texture storage fail as a
    // driver out of memory fails them. Devices without such storage ignore it.
    virtual void failTextureStorage(int count) = 0;
};

class GfxDirect3D : public GfxObject {
public:
    virtual std::uint32_t GetAdapterCount() = 0;
    virtual HRESULT GetAdapterIdentifier(std::uint32_t adapter, std::uint32_t flags, D3DADAPTER_IDENTIFIER8* id) = 0;
    // Modes in a stable order (width, height, format, refresh rate).
    virtual std::uint32_t GetAdapterModeCount(std::uint32_t adapter) = 0;
    virtual HRESULT EnumAdapterModes(std::uint32_t adapter, std::uint32_t index, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT GetAdapterDisplayMode(std::uint32_t adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT GetDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS8* caps) = 0;
    // The flags are accepted; everything runs on the calling thread. A
    // window has one device at a time: another is refused with
    // D3DERR_NOTAVAILABLE (and a log line) until the first is released.
    virtual HRESULT CreateDevice(std::uint32_t adapter, D3DDEVTYPE type, HWND focusWindow, std::uint32_t flags,
                                 D3DPRESENT_PARAMETERS* params, GfxDevice** device) = 0;
};

// The OpenGL implementation; null when there is no video.
GfxDirect3D* Direct3DCreate8(std::uint32_t sdkVersion);

// DirectDraw: only the video-memory figure and the cooperative level.
constexpr std::uint32_t DDSCL_NORMAL = 0x00000008;
constexpr std::uint32_t DDSCL_FPUSETUP = 0x00000800;
constexpr HRESULT DD_OK = 0;

struct DDCAPS {
    std::uint32_t dwSize = sizeof(DDCAPS);
    std::uint32_t dwCaps = 0;
    std::uint32_t dwVidMemTotal = 0;  // bytes; 0 when the driver does not say
    std::uint32_t dwVidMemFree = 0;
};

class GfxDirectDraw : public GfxObject {
public:
    virtual HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, std::uint32_t flags) = 0;
};

HRESULT DirectDrawCreateEx(GfxDirectDraw** out);

// Holds one reference; for tests and internal owners.
template <class T>
class GfxRef {
public:
    GfxRef() = default;
    explicit GfxRef(T* adopted) : m_p(adopted) {}
    GfxRef(const GfxRef& o) : m_p(o.m_p)
    {
        if (m_p)
            m_p->AddRef();
    }
    GfxRef& operator=(const GfxRef& o)
    {
        if (o.m_p)
            o.m_p->AddRef();
        reset();
        m_p = o.m_p;
        return *this;
    }
    ~GfxRef() { reset(); }
    void reset(T* adopted = nullptr)
    {
        if (m_p)
            m_p->Release();
        m_p = adopted;
    }
    T** out()
    {
        reset();
        return &m_p;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

} // namespace platform
