// Device life cycle on GL (adapter answers, lost device through window
// events) and the recording double (injection, call log, bad input).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gfx/d3d8_recording.h"
#include "test_d3d_fixture.h"

using namespace platform;

namespace {

using LostDevice = d3dtest::GlDeviceTest;

TEST_F(LostDevice, FullScreenMinimisedOrUnfocusedIsLostUntilReset)
{
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    // Windowed: never lost.
    ASSERT_TRUE(injectWindowEvent(window.get(), WindowStateEvent::Minimized));
    EXPECT_EQ(dev->TestCooperativeLevel(), D3D_OK);
    ASSERT_TRUE(injectWindowEvent(window.get(), WindowStateEvent::Restored));

    params.Windowed = 0;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    ASSERT_EQ(dev->Reset(&params), D3D_OK);
    EXPECT_TRUE(window->isFullscreen());
    EXPECT_EQ(dev->TestCooperativeLevel(), D3D_OK);

    ASSERT_TRUE(injectWindowEvent(window.get(), WindowStateEvent::Minimized));
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(dev->Reset(&params), D3DERR_DEVICELOST);
    ASSERT_TRUE(injectWindowEvent(window.get(), WindowStateEvent::Restored));
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    ASSERT_EQ(dev->Reset(&params), D3D_OK);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3D_OK);

    ASSERT_TRUE(injectWindowEvent(window.get(), WindowStateEvent::FocusLost));
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICELOST);
    ASSERT_TRUE(injectWindowEvent(window.get(), WindowStateEvent::FocusGained));
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    params.Windowed = 1;
    ASSERT_EQ(dev->Reset(&params), D3D_OK);
    EXPECT_FALSE(window->isFullscreen());
    EXPECT_EQ(dev->TestCooperativeLevel(), D3D_OK);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
}

TEST_F(LostDevice, FullScreenLetterboxesThePresentedFrame)
{
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    params.Windowed = 0;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    ASSERT_EQ(dev->Reset(&params), D3D_OK);
    int cw = 0, ch = 0;
    window->clientSize(cw, ch);
    ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    const PresentMapping m = dev->presentMapping();
    EXPECT_FLOAT_EQ(m.scaleX, m.scaleY);
    EXPECT_NEAR(float(kWidth) * m.scaleX + 2 * m.offsetX, float(cw), 1.0f);
    EXPECT_NEAR(float(kHeight) * m.scaleY + 2 * m.offsetY, float(ch), 1.0f);
    EXPECT_TRUE(m.offsetX == 0.0f || m.offsetY == 0.0f);

    // The front buffer in full screen is the frame at (0, 0).
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    dev->SetVertexShader(kFvfTLVertex);
    quad(0, 0, 2, 2, 0xFFFF8000);
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    GfxRef<GfxSurface> front;
    ASSERT_EQ(dev->CreateImageSurface(kWidth, kHeight, D3DFMT_A8R8G8B8, front.out()), D3D_OK);
    ASSERT_EQ(dev->GetFrontBuffer(front.get()), D3D_OK);
    D3DLOCKED_RECT l;
    ASSERT_EQ(front->LockRect(&l, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(decodePixel(D3DFMT_A8R8G8B8, static_cast<std::uint8_t*>(l.pBits) + l.Pitch + 4), 0xFFFF8000u);
    front->UnlockRect();
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
}

TEST_F(LostDevice, AdapterAnswersComeFromTheDriver)
{
    D3DADAPTER_IDENTIFIER8 id;
    ASSERT_EQ(d3d->GetAdapterIdentifier(0, D3DENUM_NO_WHQL_LEVEL, &id), D3D_OK);
    EXPECT_GT(std::strlen(id.Description), 0u);
    EXPECT_GT(std::strlen(id.Driver), 0u);
    EXPECT_NE(id.DriverVersion.HighPart, 0);

    D3DDISPLAYMODE desktop;
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &desktop), D3D_OK);
    EXPECT_GT(desktop.Width, 0u);
    EXPECT_TRUE(desktop.Format == D3DFMT_X8R8G8B8 || desktop.Format == D3DFMT_R5G6B5);
    const std::uint32_t n = d3d->GetAdapterModeCount(0);
    ASSERT_GE(n, 1u);
    bool sawDesktop = false;
    for (std::uint32_t i = 0; i < n; ++i) {
        D3DDISPLAYMODE m;
        ASSERT_EQ(d3d->EnumAdapterModes(0, i, &m), D3D_OK);
        EXPECT_GT(m.Width * m.Height, 0u);
        EXPECT_NE(m.Format, D3DFMT_UNKNOWN);
        sawDesktop = sawDesktop || (m.Width == desktop.Width && m.Height == desktop.Height);
    }
    EXPECT_TRUE(sawDesktop);
    D3DDISPLAYMODE m;
    EXPECT_EQ(d3d->EnumAdapterModes(0, n, &m), D3DERR_INVALIDCALL);

    for (D3DDEVTYPE type : {D3DDEVTYPE_HAL, D3DDEVTYPE_REF}) {
        D3DCAPS8 caps;
        ASSERT_EQ(d3d->GetDeviceCaps(0, type, &caps), D3D_OK);
        EXPECT_EQ(caps.DeviceType, type);
        EXPECT_GE(caps.MaxTextureWidth, 2048u);
        EXPECT_TRUE(caps.Caps2 & D3DCAPS2_CANRENDERWINDOWED);
        EXPECT_TRUE(caps.SrcBlendCaps & D3DPBLENDCAPS_SRCALPHA);
        EXPECT_TRUE(caps.DestBlendCaps & D3DPBLENDCAPS_INVSRCALPHA);
        EXPECT_TRUE(caps.DestBlendCaps & D3DPBLENDCAPS_ONE);
        EXPECT_FALSE(caps.TextureCaps & D3DPTEXTURECAPS_POW2);
    }
    dev->setPowerOfTwoTextures(true);
    D3DCAPS8 caps;
    dev->GetDeviceCaps(&caps);
    EXPECT_TRUE(caps.TextureCaps & D3DPTEXTURECAPS_POW2);

    GfxRef<GfxDirectDraw> dd;
    ASSERT_EQ(DirectDrawCreateEx(dd.out()), DD_OK);
    DDCAPS ddcaps;
    EXPECT_EQ(dd->GetCaps(&ddcaps, nullptr), DD_OK);  // llvmpipe has no figure: 0
    EXPECT_EQ(dd->SetCooperativeLevel(window.get(), DDSCL_NORMAL | DDSCL_FPUSETUP), DD_OK);
}

TEST_F(LostDevice, BadPresentParametersAreRefused)
{
    D3DPRESENT_PARAMETERS p = params;
    GfxRef<GfxDevice> other;
    p.BackBufferWidth = 0;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window.get(), 0, &p, other.out()), D3DERR_INVALIDCALL);
    p.BackBufferWidth = 1u << 20;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window.get(), 0, &p, other.out()), D3DERR_INVALIDCALL);
    p = params;
    p.hDeviceWindow = nullptr;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &p, other.out()), D3DERR_INVALIDCALL);
    EXPECT_FALSE(other);
    p = params;
    p.BackBufferHeight = 0;
    EXPECT_EQ(dev->Reset(&p), D3DERR_INVALIDCALL);
    EXPECT_EQ(window->backBufferWidth(), kWidth);
}

// One device a window: a second one would draw into the targets whose
// frames the first one's frame skip keeps track of. It is refused, saying
// why, and leaves the window and the first device as they were; another
// window takes a device of its own, and once the first device is released
// its window takes a new one.
TEST_F(LostDevice, ASecondDeviceOnAWindowIsRefused)
{
    ASSERT_EQ(dev->EndScene(), D3D_OK);
    ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    dev->setSkipUnchangedFrames(true);
    D3DPRESENT_PARAMETERS p = params;
    p.BackBufferWidth = kWidth / 2;
    GfxRef<GfxDevice> second;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window.get(), 0, &p, second.out()), D3DERR_NOTAVAILABLE);
    EXPECT_FALSE(second);
    EXPECT_EQ(window->backBufferWidth(), kWidth);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& line) {
                                return line.find("refused, the window already has a device") != std::string::npos;
                            }),
              1);
    // The first device's frames, the same one twice, then another.
    dev->SetTexture(0, nullptr);
    for (D3DCOLOR c : {0xFFFF0000u, 0xFFFF0000u, 0xFF0000FFu}) {
        ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
        ASSERT_EQ(dev->BeginScene(), D3D_OK);
        ASSERT_EQ(quad(4, 4, 8, 8, c), D3D_OK);
        ASSERT_EQ(dev->EndScene(), D3D_OK);
        ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }
    EXPECT_EQ(dev->stats().framesSkipped, 1u);
    EXPECT_TRUE(d3dtest::near(pixel(6, 6), 0x0000FF, 0));

    platform::WindowDesc desc;
    desc.width = desc.backBufferWidth = kWidth;
    desc.height = desc.backBufferHeight = kHeight;
    std::unique_ptr<platform::Window> other = platform::Window::create(desc);
    ASSERT_TRUE(other);
    p = params;
    p.hDeviceWindow = other.get();
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, other.get(), 0, &p, second.out()), D3D_OK);
    second.reset();

    dev.reset();
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window.get(), 0, &params, dev.out()), D3D_OK);
}

// The recording double.
class Double : public ::testing::Test {
protected:
    void SetUp() override
    {
        rec = std::make_shared<Recorder>();
        d3d.reset(createRecordingDirect3D(rec));
        params.BackBufferWidth = 32;
        params.BackBufferHeight = 16;
        params.Windowed = 1;
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &params, dev.out()), D3D_OK);
        rec->clear();
    }
    std::shared_ptr<Recorder> rec;
    GfxRef<GfxDirect3D> d3d;
    GfxRef<GfxDevice> dev;
    D3DPRESENT_PARAMETERS params;
};

TEST_F(Double, InjectedFailuresAndAnswersReachTheCaller)
{
    GfxRef<GfxTexture> t;
    rec->fail("CreateTexture", D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(D3DXCreateTexture(dev.get(), 8, 8, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, t.out()),
              D3DERR_OUTOFVIDEOMEMORY);
    ASSERT_EQ(D3DXCreateTexture(dev.get(), 8, 8, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, t.out()), D3D_OK);
    rec->fail("Texture.LockRect", D3DERR_INVALIDCALL, -1);
    D3DLOCKED_RECT l;
    EXPECT_EQ(t->LockRect(0, &l, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(t->LockRect(0, &l, nullptr, 0), D3DERR_INVALIDCALL);
    rec->clearFailures();
    EXPECT_EQ(t->LockRect(0, &l, nullptr, 0), D3D_OK);
    t->UnlockRect(0);

    rec->fail("Reset", D3DERR_DEVICELOST);
    EXPECT_EQ(dev->Reset(&params), D3DERR_DEVICELOST);
    EXPECT_EQ(dev->Reset(&params), D3D_OK);

    rec->cooperativeLevels = {D3DERR_DEVICELOST, D3DERR_DEVICENOTRESET, D3DERR_DRIVERINTERNALERROR};
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(dev->TestCooperativeLevel(), D3D_OK);

    rec->fail("GetDeviceCaps", D3DERR_NOTAVAILABLE);
    D3DCAPS8 caps;
    EXPECT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3DERR_NOTAVAILABLE);
    rec->refCaps.MaxTextureWidth = 77;
    EXPECT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps), D3D_OK);
    EXPECT_EQ(caps.MaxTextureWidth, 77u);

    rec->modes = {D3DDISPLAYMODE{800, 600, 60, D3DFMT_R5G6B5}, D3DDISPLAYMODE{800, 600, 75, D3DFMT_R5G6B5}};
    ASSERT_EQ(d3d->GetAdapterModeCount(0), 2u);
    D3DDISPLAYMODE m;
    ASSERT_EQ(d3d->EnumAdapterModes(0, 1, &m), D3D_OK);
    EXPECT_EQ(m.RefreshRate, 75u);

    rec->fail("CreateDevice", D3DERR_DRIVERINTERNALERROR);
    GfxRef<GfxDevice> other;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &params, other.out()), D3DERR_DRIVERINTERNALERROR);
    EXPECT_FALSE(other);

    std::shared_ptr<Recorder> ddrec = std::make_shared<Recorder>();
    ddrec->videoMemoryBytes = 128u << 20;
    GfxRef<GfxDirectDraw> dd(createRecordingDirectDraw(ddrec));
    DDCAPS dc;
    ASSERT_EQ(dd->GetCaps(&dc, nullptr), DD_OK);
    EXPECT_EQ(dc.dwVidMemTotal >> 20, 128u);
    ddrec->fail("DirectDraw.SetCooperativeLevel", E_FAIL);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), E_FAIL);
}

TEST_F(Double, LogKeepsSubmissionOrderWithArguments)
{
    GfxRef<GfxTexture> t;
    ASSERT_EQ(dev->CreateTexture(4, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.out()), D3D_OK);
    GfxRef<GfxSprite> sprite;
    ASSERT_EQ(D3DXCreateSprite(dev.get(), sprite.out()), D3D_OK);
    dev->BeginScene();
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    sprite->Begin();
    const D3DXVECTOR2 scale{2, 1}, t10{10, 20};
    sprite->Draw(t.get(), nullptr, &scale, nullptr, 0.0f, &t10, 0xFF00FF00);
    dev->SetVertexShader(kFvfTLVertex);
    dev->SetTexture(0, nullptr);
    const TLVertex line[2] = {{1, 2, 0, 1, 0xFFFFFFFF, 0, 0}, {3, 4, 0, 1, 0xFFFFFFFF, 0, 0}};
    dev->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(TLVertex));
    sprite->End();
    dev->EndScene();
    dev->Present(nullptr, nullptr, nullptr, nullptr);
    const std::vector<std::string> want = {
        "CreateTexture(4, 2, 1, 0, 21, 1)", "D3DXCreateSprite()", "BeginScene()", "SetRenderState(27, 1)",
        "Sprite.Begin()", "Sprite.Draw(-1, -1, -1, -1, 4278255360)", "SetVertexShader(324)", "SetTexture(0)",
        "DrawPrimitiveUP(2, 1, 28)", "Sprite.End()", "EndScene()", "Present()"};
    EXPECT_EQ(rec->strings(), want);

    const RecordedCall& draw = *rec->named("Sprite.Draw").at(0);
    EXPECT_EQ(draw.object, t.get());
    ASSERT_EQ(draw.floats.size(), 7u);
    EXPECT_EQ(draw.floats[0], 2.0f);
    ASSERT_EQ(draw.vertices.size(), 4u);
    // A 4 x 2 texture scaled by 2 at (10, 20): corners half a pixel up-left.
    EXPECT_FLOAT_EQ(draw.vertices[0].x, 9.5f);
    EXPECT_FLOAT_EQ(draw.vertices[3].x, 17.5f);
    EXPECT_FLOAT_EQ(draw.vertices[3].y, 21.5f);
    EXPECT_FLOAT_EQ(draw.vertices[3].u, 1.0f);
    const RecordedCall& prim = *rec->named("DrawPrimitiveUP").at(0);
    ASSERT_EQ(prim.vertices.size(), 2u);
    EXPECT_EQ(prim.vertices[1].y, 4.0f);
}

TEST_F(Double, ARunOfSpritesLogsEachSpriteAndReachesTheBackendAsOneDraw)
{
    GfxRef<GfxTexture> t;
    ASSERT_EQ(dev->CreateTexture(8, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.out()), D3D_OK);
    GfxRef<GfxSprite> sprite;
    ASSERT_EQ(D3DXCreateSprite(dev.get(), sprite.out()), D3D_OK);
    dev->BeginScene();
    // The second part is empty: drawn alone it is neither logged nor drawn.
    const SpritePart parts[] = {{RECT{0, 0, 3, 4}, D3DXVECTOR2{2, -1}, D3DXVECTOR2{1, 2}, D3DXVECTOR2{10, 3}},
                                {RECT{3, 0, 3, 4}, D3DXVECTOR2{1, 1}, D3DXVECTOR2{0, 0}, D3DXVECTOR2{12, 3}},
                                {RECT{3, 1, 8, 4}, D3DXVECTOR2{1.5f, 3}, D3DXVECTOR2{0, 0}, D3DXVECTOR2{14.5f, 3}}};
    auto calls = [&] {
        std::vector<std::pair<std::string, std::vector<TLVertex>>> out;
        for (const RecordedCall& c : rec->calls)
            out.emplace_back(c.name, c.vertices);
        return out;
    };
    rec->clear();
    dev->resetStats();
    for (const SpritePart& p : parts)
        sprite->Draw(t.get(), &p.source, &p.scale, &p.center, 0.4f, &p.translation, 0xFF00FF00);
    const auto alone = calls();
    EXPECT_EQ(dev->stats().drawCalls, 2u);
    ASSERT_EQ(alone.size(), 2u);

    rec->clear();
    dev->resetStats();
    EXPECT_EQ(sprite->DrawRun(t.get(), parts, 3, 0.4f, 0xFF00FF00), D3D_OK);
    const auto expectAlone = [&](const char* what) {
        const auto run = calls();
        ASSERT_EQ(run.size(), alone.size()) << what;
        for (std::size_t i = 0; i < run.size(); ++i) {
            EXPECT_EQ(run[i].first, alone[i].first) << what;
            EXPECT_EQ(std::memcmp(run[i].second.data(), alone[i].second.data(), sizeof(TLVertex) * 4), 0)
                << what << " " << i;
        }
    };
    expectAlone("run");
    EXPECT_EQ(dev->stats().drawCalls, 1u);
    // Kept, the same: the log has each sprite's call.
    rec->clear();
    KeptRun kept;
    EXPECT_EQ(sprite->DrawRunKept(t.get(), parts, 3, 0.4f, 0xFF00FF00, kept), D3D_OK);
    expectAlone("kept");

    // A sprite that fails is left out; the rest are drawn and the failure returned.
    rec->fail("Sprite.Draw", D3DERR_INVALIDCALL);
    dev->resetStats();
    EXPECT_EQ(sprite->DrawRun(t.get(), parts, 3, 0.4f, 0xFF00FF00), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->stats().drawCalls, 1u);
    EXPECT_EQ(sprite->DrawRun(nullptr, parts, 3, 0.0f, 0xFF00FF00), D3DERR_INVALIDCALL);
    dev->EndScene();
}

TEST_F(Double, BadInputIsAnInvalidCallThatChangesNothing)
{
    GfxRef<GfxTexture> t;
    EXPECT_EQ(dev->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.out()), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->CreateTexture(8192, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.out()), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->CreateTexture(4, 4, 1, 0, D3DFORMAT(77), D3DPOOL_MANAGED, t.out()), D3DERR_INVALIDCALL);
    dev->setPowerOfTwoTextures(true);
    EXPECT_EQ(dev->CreateTexture(6, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.out()), D3DERR_INVALIDCALL);
    dev->setPowerOfTwoTextures(false);
    ASSERT_EQ(dev->CreateTexture(6, 4, 1, 0, D3DFMT_R8G8B8, D3DPOOL_MANAGED, t.out()), D3D_OK);
    D3DSURFACE_DESC desc;
    t->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);

    D3DLOCKED_RECT l;
    const RECT outside{4, 0, 7, 2}, empty{2, 2, 2, 3}, inside{1, 1, 3, 3};
    EXPECT_EQ(t->LockRect(0, &l, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(t->LockRect(0, &l, &empty, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(t->LockRect(1, &l, nullptr, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(t->LockRect(0, &l, &inside, 0), D3D_OK);
    EXPECT_EQ(l.Pitch, 24);
    EXPECT_EQ(t->LockRect(0, &l, nullptr, 0), D3DERR_INVALIDCALL);  // a second lock
    EXPECT_EQ(t->UnlockRect(0), D3D_OK);
    EXPECT_EQ(t->UnlockRect(0), D3DERR_INVALIDCALL);

    GfxRef<GfxVertexBuffer> vb;
    ASSERT_EQ(dev->CreateVertexBuffer(4 * 28, 0, kFvfTLVertex, D3DPOOL_MANAGED, vb.out()), D3D_OK);
    std::uint8_t* p = nullptr;
    EXPECT_EQ(vb->Lock(100, 20, &p, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Lock(112, 0, &p, 0), D3DERR_INVALIDCALL);
    GfxRef<GfxIndexBuffer> ib;
    ASSERT_EQ(dev->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, ib.out()), D3D_OK);
    ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
    const std::uint16_t idx[6] = {0, 1, 2, 1, 2, 4};  // 4 is past the four vertices
    std::memcpy(p, idx, sizeof idx);
    ib->Unlock();
    dev->BeginScene();
    dev->SetVertexShader(kFvfTLVertex);
    dev->SetStreamSource(0, vb.get(), 28);
    dev->SetIndices(ib.get(), 0);
    dev->resetStats();
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 3, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 1), D3D_OK);
    EXPECT_EQ(dev->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->stats().drawCalls, 1u);

    EXPECT_EQ(dev->SetVertexShader(0x142), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetStreamSource(0, vb.get(), 32), D3DERR_INVALIDCALL);
    std::uint32_t v = 0;
    EXPECT_EQ(dev->SetRenderState(D3DRS_SRCBLEND, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetRenderState(D3DRS_SRCBLEND, 99), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetRenderState(D3DRENDERSTATETYPE(7), 0), D3DERR_INVALIDCALL);
    dev->GetRenderState(D3DRS_SRCBLEND, &v);
    EXPECT_EQ(v, std::uint32_t(D3DBLEND_ONE));
    EXPECT_EQ(dev->SetTextureStageState(0, D3DTSS_COLOROP, 5), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    dev->GetTextureStageState(0, D3DTSS_COLOROP, &v);
    EXPECT_EQ(v, std::uint32_t(D3DTOP_MODULATE));
    D3DVIEWPORT8 vp;
    vp.Width = 0;
    EXPECT_EQ(dev->SetViewport(&vp), D3DERR_INVALIDCALL);
    dev->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 32u);
    const TLVertex one{};
    EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, &one, 24), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->DrawPrimitiveUP(D3DPRIMITIVETYPE(9), 1, &one, 28), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

TEST_F(Double, TextLeavesAnUnsetVertexShaderUnset)
{
    LOGFONTA lf;
    lf.lfHeight = -12;
    std::strncpy(lf.lfFaceName, "Arial", sizeof lf.lfFaceName - 1);
    GfxRef<GfxFont> font;
    ASSERT_EQ(D3DXCreateFontIndirect(dev.get(), &lf, font.out()), D3D_OK);
    ASSERT_EQ(dev->BeginScene(), D3D_OK);
    RECT r{0, 0, 32, 16};
    EXPECT_GT(font->DrawTextA("Hi", -1, &r, 0, 0xFFFFFFFF), 0);
    EXPECT_EQ(rec->count("DrawPrimitiveUP"), 1u);
    std::uint32_t fvf = 1;
    dev->GetVertexShader(&fvf);
    EXPECT_EQ(fvf, 0u);
}

TEST_F(Double, ClearFillsTheBackBufferInsideTheViewport)
{
    D3DVIEWPORT8 vp;
    vp.X = 4;
    vp.Y = 2;
    vp.Width = 8;
    vp.Height = 100;  // clipped at the bottom
    ASSERT_EQ(dev->SetViewport(&vp), D3D_OK);
    ASSERT_EQ(dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0), D3D_OK);
    GfxRef<GfxSurface> bb;
    ASSERT_EQ(dev->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, bb.out()), D3D_OK);
    D3DLOCKED_RECT l;
    ASSERT_EQ(bb->LockRect(&l, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto at = [&](int x, int y) {
        return decodePixel(D3DFMT_X8R8G8B8, static_cast<std::uint8_t*>(l.pBits) + y * l.Pitch + 4 * x) & 0xFFFFFF;
    };
    EXPECT_EQ(at(4, 2), 0x102030u);
    EXPECT_EQ(at(11, 15), 0x102030u);
    EXPECT_EQ(at(3, 2), 0u);
    EXPECT_EQ(at(12, 5), 0u);
    EXPECT_EQ(at(4, 1), 0u);
    bb->UnlockRect();
}

} // namespace
