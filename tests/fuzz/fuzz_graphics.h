#pragma once
// For fuzz targets that load and draw images: an application object and a
// graphics server on the recording device (no window system, no crash
// handler), made once and kept until exit, and small BMP files to load.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "fuzz/fuzz_support.h"
#include "platform/gfx/d3d8_recording.h"

// The graphics server's system font goes through fontconfig, whose caches
// hold memory that leak checking cannot trace (as in the test build's
// suppressions). Include this header from one file per target.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace fuzz {

// The recorder of the one graphics server; clear it after each input.
inline platform::Recorder& recordingServer()
{
    static platform::Recorder* recorder = [] {
        tempDir();
        auto r = std::make_shared<platform::Recorder>();
        aGraphServer::setDirect3DFactory([r] { return platform::createRecordingDirect3D(r); });
        aGraphServer::setDirectDrawFactory([r](platform::GfxDirectDraw** out) {
            *out = platform::createRecordingDirectDraw(r);
            return D3D_OK;
        });
        // Never destroyed: window-system state must not be torn down by
        // static destructors in arbitrary order.
        static aApplication* app = new aApplication;
        static aGraphServer* server = new aGraphServer(64, 48, false, true, nullptr, 0, false, false);
        static auto* keep = new std::shared_ptr<platform::Recorder>(r);
        (void)app;
        (void)server;
        return keep->get();
    }();
    return *recorder;
}

// A 24-bit BMP of w x h pixels whose colour changes with x and y.
inline std::string bmp(int w, int h)
{
    const std::uint32_t row = (std::uint32_t(w) * 3 + 3) & ~3u, size = 54 + row * std::uint32_t(h);
    std::string out(size, '\0');
    auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out[at + std::size_t(i)] = char(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put(2, size, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, std::uint32_t(w), 4);
    put(22, std::uint32_t(h), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            put(54 + std::size_t(y) * row + std::size_t(x) * 3, std::uint32_t(x * 16) << 8 | std::uint32_t(y * 32), 3);
    return out;
}

} // namespace fuzz
