// The graphics server on the recording double: construction, the frame, the
// state caches, fonts, display modes, the frame counter and limit, window
// placement and screenshots.
#include <cmath>
#include <cstdio>

#include "engine/gfx/a_image.h"
#include "engine/util/a_input_server.h"
#include "platform/input/mouse.h"
#include "platform/system/window.h"
#include "support/jng_writer.h"
#include "test_graph_server_fixture.h"

using gstest::RecordingServerTest;

namespace {

D3DDISPLAYMODE mode(std::uint32_t w, std::uint32_t h, std::uint32_t hz, D3DFORMAT f) { return {w, h, hz, f}; }

} // namespace

// --- construction -----------------------------------------------------------

TEST_F(RecordingServerTest, ConstructionLogsAdapterModesAndCaps)
{
    rec->identifier.DriverVersion.HighPart = (6 << 16) | 14;
    rec->identifier.DriverVersion.LowPart = (10 << 16) | 9;
    make();
    EXPECT_EQ(app.m_graphServer, server.get());
    EXPECT_EQ(app.m_window, server->m_window);
    EXPECT_EQ(app.m_windowClass.className, "GsRec");

    const int adapter = logIndex("Adapter: Recording adapter 64 MB");
    ASSERT_GE(adapter, 1);
    const auto lines = log();
    EXPECT_EQ(lines[std::size_t(adapter) - 1], std::string(65, '-'));
    EXPECT_EQ(lines[std::size_t(adapter) + 1], "Driver:  recording, version 6.14.10.9");
    EXPECT_EQ(lines[std::size_t(adapter) + 2], std::string(65, '-'));
    EXPECT_EQ(logged("aGraphServer. Detected  windowed  mode: 1024x 768  60Hz 22"), 1u);
    EXPECT_EQ(logged("aGraphServer. Selected fullscreen 32 bit mode: 1024x 768  60Hz 22"), 1u);
    EXPECT_EQ(logged("aGraphServer. 16 bit fullscreen mode not found"), 1u);

    const int caps = logIndex("----------------- Adapter capabilities --------------------------");
    ASSERT_GT(caps, logIndex("aGraphServer. Getting HAL device capabilities"));
    EXPECT_EQ(lines[std::size_t(caps) - 1], "");
    EXPECT_EQ(lines[std::size_t(caps) + 1], "        Can render windowed: yes");
    EXPECT_EQ(lines[std::size_t(caps) + 4], "      No 2D During 3D Scene: no");
    EXPECT_EQ(lines[std::size_t(caps) + 5], "     Presentation intervals: imm 1 ");
    EXPECT_EQ(lines[std::size_t(caps) + 13], "           Max texture size: 4096x4096");
    EXPECT_EQ(lines[std::size_t(caps) + 18], "        Max primitive count: 1048575");
    EXPECT_EQ(lines[std::size_t(caps) + 19], std::string(65, '-'));
    EXPECT_EQ(logged("aGraphServer: SOFTWARE_VERTEXPROCESSING"), 1u);

    // The system font and the cooperative level.
    const auto fonts = rec->named("D3DXCreateFontIndirect");
    ASSERT_EQ(fonts.size(), 1u);
    EXPECT_EQ(fonts[0]->str(), "D3DXCreateFontIndirect(-15, 700, 0, 1)");
    EXPECT_EQ(fonts[0]->text, "Arial");
    EXPECT_NE(server->m_systemFont, nullptr);
    EXPECT_EQ(calls("DirectDraw.SetCooperativeLevel"), (std::vector<std::string>{"DirectDraw.SetCooperativeLevel(2056)"}));
    EXPECT_EQ(calls("D3DXCreateSprite").size(), 1u);
    EXPECT_NE(server->m_sprite, nullptr);
}

TEST_F(RecordingServerTest, AMissingIconIsLoggedAndTheWindowGoesWithout)
{
    server = std::make_unique<aGraphServer>(320, 240, false, true, "Title", 7, true, false);
    EXPECT_EQ(app.m_windowClass.iconId, 7);
    EXPECT_EQ(logged("aGraphServer. Icon not found: " + getApplicationPath() + "icon7.png"), 1u);
    server.reset();
    make(320, 240);  // id 0: no icon, nothing logged
    EXPECT_EQ(logged("Icon not"), 1u);
}

TEST_F(RecordingServerTest, VertexProcessingFollowsTheCaps)
{
    rec->halCaps.DevCaps |= D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE;
    make();
    auto created = rec->named("CreateDevice");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0]->args[1], D3DDEVTYPE_HAL);
    EXPECT_EQ(created[0]->args[2], D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE);
    EXPECT_EQ(logged("aGraphServer: HARDWARE_VERTEXPROCESSING, PUREDEVICE"), 1u);
    server.reset();

    rec->clear();
    rec->halCaps.DevCaps &= ~D3DDEVCAPS_PUREDEVICE;
    server = std::make_unique<aGraphServer>(1024, 768, false, true, nullptr, 0, true, true);
    created = rec->named("CreateDevice");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0]->args[2], D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED);
}

TEST_F(RecordingServerTest, HighestRefreshWinsAndTheLaterOfEqualRates)
{
    rec->modes = {mode(800, 600, 85, D3DFMT_R5G6B5),    mode(1024, 768, 60, D3DFMT_R5G6B5),
                  mode(1024, 768, 75, D3DFMT_R5G6B5),   mode(1024, 768, 60, D3DFMT_R5G6B5),
                  mode(1024, 768, 60, D3DFMT_X8R8G8B8), mode(1024, 768, 60, D3DFMT_X8R8G8B8),
                  mode(1024, 768, 100, D3DFMT_A8R8G8B8), mode(1024, 768, 90, D3DFMT_X1R5G5B5)};
    make();
    EXPECT_EQ(server->m_mode16Index, 2);
    EXPECT_EQ(server->m_mode32Index, 5);
    EXPECT_EQ(logged("aGraphServer. Detected fullscreen mode:"), 7u);
    EXPECT_EQ(logged("aGraphServer. Selected fullscreen 16 bit mode: 1024x 768  75Hz 23"), 1u);
    EXPECT_EQ(logged("aGraphServer. Selected fullscreen 32 bit mode: 1024x 768  60Hz 22"), 1u);
    EXPECT_EQ(logged("not found"), 0u);
}

TEST_F(RecordingServerTest, MissingModesFallBackToTheOtherDepthThenTheDesktopFormat)
{
    // Only 16-bit: full screen at 32 bits uses it.
    rec->modes = {mode(1024, 768, 60, D3DFMT_R5G6B5)};
    make(1024, 768, true, true);
    EXPECT_EQ(server->m_mode32Index, -1);
    EXPECT_GE(logIndex("aGraphServer. Fullscreen uses the 16 bit mode"),
              logIndex("aGraphServer. 32 bit fullscreen mode not found"));
    auto created = rec->named("CreateDevice");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0]->args[3], 1024);
    EXPECT_EQ(created[0]->args[5], D3DFMT_R5G6B5);
    EXPECT_EQ(created[0]->args[6], 0);  // full screen
    EXPECT_EQ(created[0]->args[7], D3DSWAPEFFECT_FLIP);
    EXPECT_EQ(created[0]->args[8], D3DPRESENT_INTERVAL_ONE);
    EXPECT_EQ(server->m_presentParams.hDeviceWindow, server->m_window);
    server.reset();

    // None of the size: the back-buffer size in the desktop's format.
    rec->clear();
    rec->modes = {mode(800, 600, 60, D3DFMT_X8R8G8B8)};
    make(1024, 768, true, true, false);
    EXPECT_EQ(server->m_mode16Index, -1);
    EXPECT_EQ(server->m_mode32Index, -1);
    const int found16 = logIndex("aGraphServer. 16 bit fullscreen mode not found");
    const int found32 = logIndex("aGraphServer. 32 bit fullscreen mode not found", found16);
    const int fallback = logIndex("aGraphServer. Fullscreen uses 1024x768 in the desktop format 22", found32);
    EXPECT_GT(found32, found16);
    EXPECT_GT(fallback, found32);
    created = rec->named("CreateDevice");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0]->args[3], 1024);
    EXPECT_EQ(created[0]->args[4], 768);
    EXPECT_EQ(created[0]->args[5], D3DFMT_X8R8G8B8);
    EXPECT_EQ(created[0]->args[8], std::int64_t(D3DPRESENT_INTERVAL_IMMEDIATE));
}

TEST_F(RecordingServerTest, RefIsTriedAfterAHalFailure)
{
    rec->fail("GetDeviceCaps", D3DERR_NOTAVAILABLE);
    make();
    EXPECT_EQ(logged("Failed (D3DERR_NOTAVAILABLE)"), 1u);
    EXPECT_GT(logIndex("aGraphServer. Getting REF device capabilities"),
              logIndex("aGraphServer. Getting HAL device capabilities"));
    EXPECT_EQ(logged("----------------- Adapter capabilities"), 1u);
    EXPECT_EQ(rec->named("CreateDevice")[0]->args[1], D3DDEVTYPE_REF);
    server.reset();

    // Both fail: REF all the same.
    rec->clear();
    rec->fail("GetDeviceCaps", D3DERR_NOTAVAILABLE, 2);
    make();
    EXPECT_EQ(rec->named("CreateDevice")[0]->args[1], D3DDEVTYPE_REF);
}

TEST_F(RecordingServerTest, ConstructionFailuresFreeEverythingAndClearThePointer)
{
    // No Direct3D.
    aGraphServer::setDirect3DFactory([] { return static_cast<platform::GfxDirect3D*>(nullptr); });
    EXPECT_EQ(makeFails(), A2D_E_D3DINIT);
    EXPECT_EQ(logged("aGraphServer. Error create D3D object"), 1u);
    EXPECT_EQ(app.m_graphServer, nullptr);
    EXPECT_EQ(app.m_window, nullptr);
    EXPECT_TRUE(platform::windows().empty());

    // The device fails: the Direct3D object made for it is released.
    platform::GfxDirect3D* d3d = platform::createRecordingDirect3D(rec);
    aGraphServer::setDirect3DFactory([d3d] {
        d3d->AddRef();
        return d3d;
    });
    rec->fail("CreateDevice", E_FAIL);
    EXPECT_EQ(makeFails(), A2D_E_D3DDEVICE);
    EXPECT_EQ(logged("aGraphServer. Error create device object (E_FAIL)"), 1u);
    EXPECT_EQ(app.m_graphServer, nullptr);
    EXPECT_EQ(app.m_window, nullptr);
    EXPECT_EQ(d3d->Release(), 0u);

    auto r = rec;
    aGraphServer::setDirect3DFactory([r] { return platform::createRecordingDirect3D(r); });
    rec->fail("CreateDevice", D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(makeFails(), A2D_E_DRIVERINTERNAL);

    // Sizes the device refuses.
    EXPECT_EQ(makeFails(0, 768), A2D_E_D3DDEVICE);
    EXPECT_EQ(makeFails(5000, 100), A2D_E_D3DDEVICE);
    EXPECT_EQ(logged("aGraphServer. Error create device object (D3DERR_INVALIDCALL)"), 2u);
    EXPECT_EQ(app.m_graphServer, nullptr);

    // And a good one afterwards.
    EXPECT_EQ(makeFails(), 0);
    EXPECT_EQ(app.m_graphServer, server.get());
}

TEST_F(RecordingServerTest, FailedSideCallsAreLoggedAndConstructionGoesOn)
{
    rec->fail("GetAdapterIdentifier", E_FAIL);
    rec->fail("GetAdapterDisplayMode", D3DERR_NOTAVAILABLE);
    rec->fail("D3DXCreateSprite", E_OUTOFMEMORY);
    rec->fail("DirectDraw.SetCooperativeLevel", E_FAIL);
    make();
    EXPECT_EQ(logged("aGraphServer. Error get default adapter identifier"), 1u);
    EXPECT_EQ(logged("aGraphServer. Get adapter mode failed (D3DERR_NOTAVAILABLE)"), 1u);
    EXPECT_EQ(logged("aGraphServer. Sprite creation failed (E_OUTOFMEMORY)"), 1u);
    EXPECT_EQ(logged("aGraphServer. directDraw->SetCooperativeLevel"), 1u);
    EXPECT_EQ(server->m_sprite, nullptr);
    // A frame without a sprite still runs.
    ASSERT_TRUE(server->beginScene());
    server->endScene();
}

TEST_F(RecordingServerTest, VideoMemoryComesFromDirectDraw)
{
    rec->videoMemoryBytes = 256u << 20;
    EXPECT_EQ(aGraphServer::getVideoMemoryMB(), 256u);
    rec->fail("DirectDraw.GetCaps", E_FAIL);
    EXPECT_EQ(aGraphServer::getVideoMemoryMB(), 0u);
    aGraphServer::releaseDirectDraw();
    aGraphServer::setDirectDrawFactory([](platform::GfxDirectDraw** out) {
        *out = nullptr;
        return E_FAIL;
    });
    EXPECT_EQ(aGraphServer::getVideoMemoryMB(), 0u);
    EXPECT_EQ(logged("aGraphServer. Error create DirectDraw interface (E_FAIL)"), 1u);
}

// --- the frame ----------------------------------------------------------------

TEST_F(RecordingServerTest, AFrameSetsItsStatesOnceAndPresents)
{
    make();
    server->m_clearColor = 0xFF112233;
    rec->clear();
    ASSERT_TRUE(server->beginScene());
    EXPECT_TRUE(server->m_inScene);
    std::vector<std::string> want = {
        "TestCooperativeLevel()",
        "SetViewport(0, 0, 1024, 768)",
        "Clear(0, 1, 4279312947, 0)",
        "BeginScene()",
        "Sprite.Begin()",
        "SetViewport(0, 0, 1024, 768)",
        "SetRenderState(27, 1)",
        "SetRenderState(137, 0)",
        "SetTransform(3)",
        // Both halves of mode 0 are written whatever the last frame left.
        "SetTextureStageState(0, 2, 0)",
        "SetTextureStageState(0, 3, 2)",
        "SetTextureStageState(0, 1, 4)",
        "SetRenderState(19, 5)",
        "SetRenderState(20, 6)",
        "SetTextureStageState(0, 17, 2)",
        "SetTextureStageState(0, 16, 2)",
    };
    EXPECT_EQ(rec->strings(), want);
    const auto& projection = rec->named("SetTransform")[0]->floats;
    ASSERT_EQ(projection.size(), 16u);
    EXPECT_FLOAT_EQ(projection[0], 2.0f / 1024.0f);
    EXPECT_FLOAT_EQ(projection[5], -2.0f / 768.0f);
    EXPECT_FLOAT_EQ(projection[12], -1.0f);
    EXPECT_FLOAT_EQ(projection[13], 1.0f);

    rec->clear();
    server->endScene();
    EXPECT_FALSE(server->m_inScene);
    want = {"SetViewport(0, 0, 1024, 768)", "Sprite.End()", "EndScene()", "Present()"};
    EXPECT_EQ(rec->strings(), want);

    // Clear colour 0: no clear.
    server->m_clearColor = 0;
    rec->clear();
    ASSERT_TRUE(server->beginScene());
    server->endScene();
    EXPECT_EQ(rec->count("Clear"), 0u);
}

TEST_F(RecordingServerTest, SceneOrderMistakesAreLoggedAndChangeNothing)
{
    make();
    rec->clear();
    server->endScene();
    EXPECT_EQ(logged("aGraphServer::endScene() - scene not started"), 1u);
    EXPECT_TRUE(rec->calls.empty());

    ASSERT_TRUE(server->beginScene());
    server->setColor(0.5f, 0.5f, 0.5f, 0.5f);
    server->setBlendMode(1);
    rec->clear();
    EXPECT_FALSE(server->beginScene());
    EXPECT_EQ(logged("aGraphServer::beginScene() - previous scene not finished"), 1u);
    EXPECT_TRUE(rec->calls.empty());
    EXPECT_TRUE(server->m_inScene);
    EXPECT_EQ(server->m_blendMode, 1);
    EXPECT_EQ(server->m_drawColor[0], 127);
    server->endScene();
}

TEST_F(RecordingServerTest, LostNotResetAndInternalErrorPaths)
{
    make();
    rec->cooperativeLevels = {D3DERR_DEVICELOST, D3DERR_DEVICENOTRESET, D3DERR_DRIVERINTERNALERROR};
    rec->clear();
    EXPECT_FALSE(server->beginScene());
    EXPECT_EQ(logged("aGraphServer::beginScene() - D3DERR_DEVICELOST"), 1u);
    EXPECT_EQ(rec->count("BeginScene"), 0u);
    EXPECT_EQ(rec->count("Reset"), 0u);

    EXPECT_FALSE(server->beginScene());
    EXPECT_EQ(logged("aGraphServer::beginScene() - D3DERR_DEVICENOTRESET"), 1u);
    EXPECT_EQ(rec->count("Reset"), 1u);
    EXPECT_EQ(rec->count("GetAdapterDisplayMode"), 2u);  // the mode, then the refresh rate
    EXPECT_EQ(rec->count("BeginScene"), 0u);
    EXPECT_FALSE(server->m_inScene);

    try {
        server->beginScene();
        ADD_FAILURE() << "no exception";
    } catch (const aResultError& e) {
        EXPECT_EQ(e.code(), A2D_E_DRIVERINTERNAL);
    }
    EXPECT_EQ(logged("aGraphServer::beginScene() - D3DERR_DRIVERINTERNALERROR"), 1u);
    EXPECT_FALSE(server->m_inScene);

    ASSERT_TRUE(server->beginScene());
    server->endScene();
}

TEST_F(RecordingServerTest, FailingFrameCallsAreLoggedOnly)
{
    make();
    rec->fail("Clear", E_FAIL);
    rec->fail("BeginScene", E_FAIL);
    ASSERT_TRUE(server->beginScene());
    rec->fail("EndScene", E_FAIL);
    rec->fail("Present", D3DERR_DEVICELOST);
    server->endScene();
    for (const char* line : {"aGraphServer. Clear failed (E_FAIL)", "aGraphServer. BeginScene failed (E_FAIL)",
                             "aGraphServer. EndScene failed (E_FAIL)",
                             "aGraphServer. Present failed (D3DERR_DEVICELOST)"})
        EXPECT_EQ(logged(line), 1u) << line;
    EXPECT_FALSE(server->m_inScene);
}

TEST_F(RecordingServerTest, TheViewportIsKeptAcrossFramesAndClipped)
{
    make(320, 240);
    server->setViewport(aRect(10, 20, 30, 40));
    rec->clear();
    ASSERT_TRUE(server->beginScene());
    EXPECT_EQ(calls("SetViewport"),
              (std::vector<std::string>{"SetViewport(0, 0, 320, 240)", "SetViewport(10, 20, 30, 40)"}));
    const auto& depths = rec->named("SetViewport")[1]->floats;
    EXPECT_EQ(depths, (std::vector<float>{0.0f, 1.0f}));
    rec->clear();
    server->endScene();
    EXPECT_EQ(calls("SetViewport"), (std::vector<std::string>{"SetViewport(0, 0, 320, 240)"}));
    rec->clear();
    ASSERT_TRUE(server->beginScene());
    EXPECT_EQ(calls("SetViewport").back(), "SetViewport(10, 20, 30, 40)");

    // Partly outside: the inside part; wholly outside: nothing drawable.
    rec->clear();
    server->setViewport(aRect(-10, 200, 100, 100));
    server->setViewport(aRect(400, 0, 10, 10));
    EXPECT_EQ(calls("SetViewport"),
              (std::vector<std::string>{"SetViewport(0, 200, 90, 40)", "SetViewport(320, 240, 1, 1)"}));
    EXPECT_EQ(server->m_viewport, aRect(400, 0, 10, 10));
    server->endScene();
}

TEST_F(RecordingServerTest, TheDrawColourIsWhiteAtBothEndsOfAFrame)
{
    make();
    server->setColor(0.0f, 0.0f, 0.0f, 0.0f);
    ASSERT_TRUE(server->beginScene());
    EXPECT_EQ(server->m_drawColor[0], 255);
    EXPECT_EQ(server->m_drawColor[3], 255);
    server->setColor(0.2f, 0.4f, 0.6f, 0.8f);
    server->endScene();
    for (int c : server->m_drawColor)
        EXPECT_EQ(c, 255);
}

TEST_F(RecordingServerTest, FlushEachFrameLocksOnePixel)
{
    make();
    server->m_flushEachFrame = true;
    ASSERT_TRUE(server->beginScene());
    rec->clear();
    server->endScene();
    const auto names = rec->strings();
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names[1], "GetBackBuffer(0, 0)");
    EXPECT_EQ(rec->count("Present"), 1u);

    // A failing back-buffer request skips the lock and the frame goes on.
    rec->fail("GetBackBuffer", E_FAIL);
    ASSERT_TRUE(server->beginScene());
    server->endScene();
    EXPECT_FALSE(server->m_inScene);
}

TEST_F(RecordingServerTest, TheFpsLineIsDrawnWithTheSystemFont)
{
    make();
    server->m_showFps = true;
    server->m_fpsX = 5;
    server->m_fpsY = 7;
    ASSERT_TRUE(server->beginScene());
    rec->clear();
    server->endScene();
    const auto draws = rec->named("Font.DrawTextA");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->str(), "Font.DrawTextA(5, 7, 125, 27, 0, 4294967295)");
    EXPECT_EQ(draws[0]->text, "fps:  0.0");
    EXPECT_EQ(rec->count("Font.Begin"), 1u);
    EXPECT_EQ(rec->count("Font.End"), 1u);
}

// --- caches -------------------------------------------------------------------

TEST_F(RecordingServerTest, BlendModeTable)
{
    make();
    ASSERT_TRUE(server->beginScene());  // cache: 0
    struct Case {
        int mode;
        std::vector<std::string> want;
    } cases[] = {
        {0x100, {"SetTextureStageState(0, 2, 2)", "SetTextureStageState(0, 3, 0)", "SetTextureStageState(0, 1, 7)"}},
        {0x201,
         {"SetTextureStageState(0, 2, 2)", "SetTextureStageState(0, 3, 0)", "SetTextureStageState(0, 1, 10)",
          "SetRenderState(19, 5)", "SetRenderState(20, 2)"}},
        {0x300,
         {"SetTextureStageState(0, 2, 0)", "SetTextureStageState(0, 3, 2)", "SetTextureStageState(0, 1, 10)",
          "SetRenderState(19, 5)", "SetRenderState(20, 6)"}},
        {0x400, {"SetTextureStageState(0, 2, 0)", "SetTextureStageState(0, 3, 2)", "SetTextureStageState(0, 1, 2)"}},
        // Other operation bits and other nibbles change nothing.
        {0x502, {}},
        {0x000, {"SetTextureStageState(0, 2, 0)", "SetTextureStageState(0, 3, 2)", "SetTextureStageState(0, 1, 4)",
                 "SetRenderState(19, 5)", "SetRenderState(20, 6)"}},
        // Bits outside 0xF0F are stored only.
        {0x7000, {}},
        {0x7001, {"SetRenderState(19, 5)", "SetRenderState(20, 2)"}},
    };
    for (const Case& c : cases) {
        rec->clear();
        server->setBlendMode(c.mode);
        EXPECT_EQ(rec->strings(), c.want) << std::hex << c.mode;
        EXPECT_EQ(server->m_blendMode, c.mode);
    }

    rec->clear();
    for (int i = 0; i < 100; ++i)
        server->setBlendMode(0x7001);
    EXPECT_TRUE(rec->calls.empty());
    server->endScene();
}

TEST_F(RecordingServerTest, TextureFilterSetsMinThenMagOnlyOnChange)
{
    make();
    rec->clear();
    server->setTextureFilter(true);  // already linear
    EXPECT_TRUE(rec->calls.empty());
    server->setTextureFilter(false);
    EXPECT_EQ(rec->strings(),
              (std::vector<std::string>{"SetTextureStageState(0, 17, 1)", "SetTextureStageState(0, 16, 1)"}));
    rec->clear();
    server->setTextureFilter(false);
    EXPECT_TRUE(rec->calls.empty());
    EXPECT_FALSE(server->m_linearFilter);
}

TEST_F(RecordingServerTest, SetColorTruncatesAndClamps)
{
    make();
    server->setColor(0.5f, 0.5f, 0.5f, 1.0f);
    EXPECT_EQ(std::vector<int>(server->m_drawColor, server->m_drawColor + 4), (std::vector<int>{255, 127, 127, 127}));
    server->setColor(1.5f, -0.2f, 0.999f, std::nanf(""));
    EXPECT_EQ(std::vector<int>(server->m_drawColor, server->m_drawColor + 4), (std::vector<int>{0, 255, 0, 254}));
}

// --- display modes ------------------------------------------------------------

TEST_F(RecordingServerTest, SetVideoMode)
{
    make(1024, 768, false, true, true);
    rec->clear();
    server->setVideoMode(false, true, true);
    EXPECT_TRUE(rec->calls.empty());

    // Vsync alone: new parameters and a reset, the textures kept.
    server->setVideoMode(false, true, false);
    EXPECT_FALSE(server->m_vsync);
    EXPECT_FALSE(server->m_fullscreen);
    EXPECT_FALSE(server->m_texturesLost);
    const auto resets = rec->named("Reset");
    ASSERT_EQ(resets.size(), 1u);
    EXPECT_EQ(resets[0]->args[3], 1);                      // windowed
    EXPECT_EQ(resets[0]->args[4], D3DSWAPEFFECT_COPY);     // no vsync
    EXPECT_EQ(rec->count("D3DXCreateSprite"), 1u);
    EXPECT_EQ(rec->count("D3DXCreateFontIndirect"), 1u);  // the system font again
    EXPECT_NE(server->m_systemFont, nullptr);
    EXPECT_EQ(calls("Clear"), (std::vector<std::string>{"Clear(0, 1, 4278190080, 0)"}));

    // Full screen through the mode switch, then back.
    rec->clear();
    server->setVideoMode(true, false, false);
    EXPECT_TRUE(server->m_fullscreen);
    EXPECT_FALSE(server->m_use32Bit);
    EXPECT_TRUE(server->m_window->isFullscreen());
    ASSERT_EQ(rec->count("Reset"), 1u);
    EXPECT_EQ(rec->named("Reset")[0]->args[3], 0);
    EXPECT_EQ(server->m_clientWidth, 1024);
    rec->clear();
    server->setFullscreen(true);
    EXPECT_TRUE(rec->calls.empty());
    server->setFullscreen(false);
    EXPECT_FALSE(server->m_window->isFullscreen());
    EXPECT_EQ(rec->named("Reset")[0]->args[3], 1);
}

TEST_F(RecordingServerTest, OnlyADepthChangeReloadsTextures)
{
    make(64, 48);
    const std::string file = test_env::home() + "/a.png";
    test_env::writeFile(file, jng_writer::buildPng(2, 2, std::vector<std::uint32_t>(4, 0xFF102030)));
    aImage image(file, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8);
    platform::GfxTexture* before = image.getTexture();
    ASSERT_NE(before, nullptr);
    before->AddRef();  // keeps the address from being reused

    server->setVideoMode(false, true, false);  // vsync only
    EXPECT_EQ(image.getTexture(), before);
    server->setVideoMode(false, false, false);  // depth
    EXPECT_FALSE(server->m_texturesLost);
    EXPECT_NE(image.getTexture(), nullptr);
    EXPECT_NE(image.getTexture(), before);
    before->Release();
}

TEST_F(RecordingServerTest, ResetFailureIsLoggedAndTheFrameRecovers)
{
    make();
    rec->fail("Reset", D3DERR_DEVICELOST);
    server->reset();
    EXPECT_EQ(logged("aGraphServer. Device reset failed (D3DERR_DEVICELOST)"), 1u);
    EXPECT_NE(server->m_sprite, nullptr);
    ASSERT_TRUE(server->beginScene());
    server->endScene();
}

// --- fonts --------------------------------------------------------------------

TEST_F(RecordingServerTest, FontRegistry)
{
    make();
    LOGFONTA lf;
    lf.lfHeight = -20;
    std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", "Arial");
    platform::GfxFont* a = nullptr;
    platform::GfxFont* b = nullptr;
    server->createFont("a", lf, &a);
    ASSERT_NE(a, nullptr);

    // A registered name: the first font stays, the second pointer stays null.
    rec->clear();
    server->createFont("a", lf, &b);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(logged("aGraphServer. Font with name 'a' already exists"), 1u);
    EXPECT_TRUE(rec->calls.empty());

    // A failed creation keeps its record and is made at the next reset.
    rec->fail("D3DXCreateFontIndirect", E_FAIL);
    server->createFont("b", lf, &b);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(logged("aGraphServer. Font 'b' creation failed (E_FAIL)"), 1u);
    EXPECT_EQ(server->m_fonts.count("b"), 1u);

    // After a reset every registered pointer holds a new font.
    platform::GfxFont* oldA = a;
    oldA->AddRef();
    platform::GfxFont* oldSystem = server->m_systemFont;
    oldSystem->AddRef();
    server->reset();
    EXPECT_NE(a, nullptr);
    EXPECT_NE(a, oldA);
    EXPECT_NE(b, nullptr);
    EXPECT_NE(server->m_systemFont, oldSystem);
    EXPECT_NE(server->m_systemFont, nullptr);
    oldA->Release();
    oldSystem->Release();

    server->deleteFont("a");
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(server->m_fonts.count("a"), 0u);
    server->deleteFont("a");
    EXPECT_EQ(logged("aGraphServer::deleteFont. Font 'a' not exists"), 1u);

    // Release leaves the owner's pointer null.
    server->releaseFonts();
    EXPECT_EQ(b, nullptr);
    server->deleteFont("b");
}

// --- frame counter and limit ---------------------------------------------------

TEST_F(RecordingServerTest, FrameRateLimitWaitsTheRestOfTheFrame)
{
    make();
    std::vector<std::uint32_t> waits;
    server->m_limitWait = [&](std::uint32_t ms) {
        waits.push_back(ms);
        clock.advanceMs(ms);
    };
    auto frame = [&](double ms) {
        clock.advanceMs(ms);
        ASSERT_TRUE(server->beginScene());
        server->endScene();
    };
    frame(0);  // the first frame starts the clock
    server->m_frameRateLimit = 50;
    frame(5);
    frame(25);  // longer than 20 ms: no wait
    frame(19.5);
    EXPECT_EQ(waits, (std::vector<std::uint32_t>{15, 0}));


    // 0 or less: no limit.
    waits.clear();
    server->m_frameRateLimit = 0;
    frame(1);
    server->m_frameRateLimit = -5;
    frame(1);
    EXPECT_TRUE(waits.empty());
}

TEST_F(RecordingServerTest, FrameRateLimitWaitIsTruncatedWithNothingAdded)
{
    make();
    std::vector<std::uint32_t> waits;
    server->m_limitWait = [&](std::uint32_t ms) { waits.push_back(ms); };
    ASSERT_TRUE(server->beginScene());
    server->endScene();  // the first frame starts the clock
    // 1 - 0.067 in floats times 1000 is a hair under 933.
    server->m_frameRateLimit = 1;
    clock.advanceMs(67);
    ASSERT_TRUE(server->beginScene());
    server->endScene();
    EXPECT_EQ(waits, (std::vector<std::uint32_t>{932}));
}

TEST_F(RecordingServerTest, FpsIsMeasuredOverPeriodsAndAveragedAtTheEnd)
{
    make();
    for (int i = 0; i < 40; ++i) {
        clock.advanceMs(10);
        ASSERT_TRUE(server->beginScene());
        server->endScene();
    }
    // The first frame starts the clock; the 32nd frame after it passes 0.3 s.
    EXPECT_EQ(server->m_fpsSamples, 1);
    EXPECT_NEAR(server->m_fps, 100.0f, 0.5f);
    server.reset();
    EXPECT_EQ(logged("aGraphServer. Average fps 100.0"), 1u);

    make();
    server.reset();
    EXPECT_EQ(logged("aGraphServer. Average fps  0.0"), 1u);
}

// --- window placement -----------------------------------------------------------

TEST_F(RecordingServerTest, CalcWindowRectFitsScalesAndCentres)
{
    make(320, 240);
    const RECT insets = platform::frameInsets();
    const int fw = insets.left + insets.right, fh = insets.top + insets.bottom;
    const RECT saved = g_desktopWorkArea;

    g_desktopWorkArea = RECT{100, 50, 100 + 1280 + fw, 50 + 1024 + fh};
    RECT r = server->calcWindowRect(1024, 768);
    EXPECT_EQ(server->m_clientWidth, 1024);
    EXPECT_EQ(server->m_clientHeight, 768);
    EXPECT_EQ(r.left, 100 + 128 + insets.left);
    EXPECT_EQ(r.top, 50 + 128 + insets.top);
    EXPECT_EQ(r.right - r.left + 1, 1024);
    EXPECT_EQ(r.bottom - r.top + 1, 768);

    // Too big: scaled by the smaller ratio, truncated, centred.
    g_desktopWorkArea = RECT{0, 0, 512 + fw, 481 + fh};
    r = server->calcWindowRect(1024, 768);
    EXPECT_EQ(server->m_clientWidth, 512);
    EXPECT_EQ(server->m_clientHeight, 384);
    EXPECT_EQ(r.left, insets.left);
    EXPECT_EQ(r.top, 48 + insets.top);  // (481 - 384) / 2, toward zero
    g_desktopWorkArea = RECT{0, 0, 700 + fw, 1000 + fh};
    server->calcWindowRect(1000, 1000);
    EXPECT_EQ(server->m_clientWidth, 700);
    EXPECT_EQ(server->m_clientHeight, 700);
    // In floats 53 / 100 is a hair below 0.53, so 100 x 100 becomes 52 x 52.
    g_desktopWorkArea = RECT{0, 0, 53 + fw, 1000 + fh};
    server->calcWindowRect(100, 100);
    EXPECT_EQ(server->m_clientWidth, 52);
    EXPECT_EQ(server->m_clientHeight, 52);

    // No room at all: the client area stays 1 x 1.
    g_desktopWorkArea = RECT{0, 0, 1, 1};
    r = server->calcWindowRect(1024, 768);
    EXPECT_EQ(server->m_clientWidth, 1);
    EXPECT_EQ(server->m_clientHeight, 1);
    EXPECT_EQ(r.right, r.left);
    g_desktopWorkArea = saved;
}

TEST_F(RecordingServerTest, WindowMappingStretchesWindowedAndLetterboxesFullScreen)
{
    make(1024, 768);
    platform::PresentMapping m = server->windowMapping(512, 384);
    EXPECT_FLOAT_EQ(m.scaleX, 0.5f);
    EXPECT_FLOAT_EQ(m.offsetX, 0.0f);
    m = server->windowMapping(1024, 384);  // windowed stretches
    EXPECT_FLOAT_EQ(m.scaleX, 1.0f);
    EXPECT_FLOAT_EQ(m.scaleY, 0.5f);

    server->setFullscreen(true);
    m = server->windowMapping(1280, 1024);
    EXPECT_FLOAT_EQ(m.scaleX, 1.25f);
    EXPECT_FLOAT_EQ(m.scaleY, 1.25f);
    EXPECT_FLOAT_EQ(m.offsetX, 0.0f);
    EXPECT_FLOAT_EQ(m.offsetY, 32.0f);
    m = server->windowMapping(0, 0);
    EXPECT_FLOAT_EQ(m.scaleX, 1.0f);

    // The input server maps the cursor through it both ways.
    platform::ScriptedMouse mouse;
    platform::setMouse(&mouse);
    mouse.clientWidth = 1280;
    mouse.clientHeight = 1024;
    {
        aInputServer input;
        mouse.push(0, 640, 32 + 480);
        input.update();
        std::int32_t x = 0, y = 0;
        input.getMousePos(x, y);
        EXPECT_EQ(x, 512);
        EXPECT_EQ(y, 384);
        mouse.push(0, 10, 5);  // on the bar above the frame
        input.update();
        input.getMousePos(x, y);
        EXPECT_EQ(x, 8);
        EXPECT_EQ(y, -22);
        input.setMousePos(1023, 0);
        EXPECT_EQ(mouse.cursorX, 1278);
        EXPECT_EQ(mouse.cursorY, 32);
    }
    platform::setMouse(nullptr);
}

// --- screenshots ------------------------------------------------------------------

TEST_F(RecordingServerTest, ScreenshotsTakeTheNextFreeNumber)
{
    make(64, 48);
    const std::string folder = test_env::home() + "/shots/";
    server->saveScreenshot(folder, "Shot");  // the folder is made
    EXPECT_TRUE(test_env::exists(folder + "Shot000.bmp"));
    test_env::writeFile(folder + "Shot001.bmp", "x");
    server->saveScreenshot(folder, "Shot");
    EXPECT_EQ(logged("Screenshot saved: " + folder + "Shot002.bmp"), 1u);
    EXPECT_EQ(test_env::readFile(folder + "Shot002.bmp").substr(0, 2), "BM");
    EXPECT_FALSE(test_env::exists(folder + "Shot002.bmp.part"));

    for (int n = 3; n < 1000; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "Shot%03d.bmp", n);
        test_env::writeFile(folder + name, "");
    }
    server->saveScreenshot(folder, "Shot");
    EXPECT_TRUE(test_env::exists(folder + "Shot1000.bmp"));
}

TEST_F(RecordingServerTest, AnUnwritableScreenshotFolderIsLogged)
{
    make(64, 48);
    test_env::writeFile(test_env::home() + "/file", "");
    const std::string folder = test_env::home() + "/file/shots/";
    server->saveScreenshot(folder, "Shot");
    EXPECT_EQ(logged("Screenshot save failed: " + folder + "Shot000.bmp"), 1u);
    EXPECT_FALSE(test_env::exists(folder + "Shot000.bmp"));

    // A failing read of the front buffer leaves no file either.
    const std::string good = test_env::home() + "/good/";
    rec->fail("GetFrontBuffer", E_FAIL);
    server->saveScreenshot(good, "Shot");
    EXPECT_EQ(logged("Screenshot save failed: " + good + "Shot000.bmp"), 1u);
    EXPECT_FALSE(test_env::exists(good + "Shot000.bmp"));
    EXPECT_FALSE(test_env::exists(good + "Shot000.bmp.part"));
}
