// The splash and credits files: the input is "splash.ini", then a line
// "====", then "credits.ini". Both load against a few pictures, strings, a
// font and a curve, run for some frames with a skip and a stop, and draw on
// the recording device; items must stay inside their times and the fade
// alphas inside 0..1.
#include <cmath>
#include <memory>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gfx/a_trajectory.h"
#include "engine/util/a_application.h"
#include "engine/util/a_locale_server.h"
#include "fuzz/fuzz_support.h"
#include "game/shell/c_credits.h"
#include "game/shell/c_res_manager.h"
#include "game/shell/c_splash.h"
#include "fuzz/fuzz_graphics.h"

namespace {

struct World {
    World()
    {
        fuzz::recordingGraphics();
        const std::string folder = fuzz::tempDir();
        for (const char* name : {"logo", "backdrop"}) {
            fuzz::writeTemp(std::string(name) + ".bmp", fuzz::bmp(8, 4));
            images.LoadFile(folder, std::string(name) + ".bmp 8888 8888", "");
        }
        strings.loadFile(fuzz::writeTemp("Main.txt", std::string("thanks = \"Thank you\"\nrole = \"Art\"\n")));
        aTrajectory path;
        path.setType(TRAJECTORY_SPLINE);
        for (float v : {0.0f, 40.0f, 90.0f})
            path.addPoint(v, 100.0f - v);
        std::string bytes(path.serialize(nullptr), '\0');
        path.serialize(reinterpret_cast<std::uint8_t*>(bytes.data()));
        fuzz::writeTemp("Curves/path.data", bytes);
    }
    aImageManager images;
    aLocaleServer strings;
    aFont font{"none.fnt"};
    CResManager res{false};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static World world;
    const std::vector<std::string> parts = fuzz::splitParts(data, size, "\n====\n");
    aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    fuzz::recordingGraphics();

    CSplash splash;
    splash.Load(fuzz::writeTemp("splash.ini", parts[0]), &world.images);
    for (int i = 0; i < 40 && !splash.IsDone(); ++i) {
        splash.Update(0.1f, i % 7 == 3, false);
        const float a = splash.GetAlpha();
        if (!(a >= 0.0f && a <= 1.0f))
            __builtin_trap();
        if (gs && gs->beginScene()) {
            splash.Render(world.res, 64.0f, 48.0f);
            gs->endScene();
        }
    }

    CCredits credits;
    CCredits::Sources sources;
    sources.images = &world.images;
    sources.strings = &world.strings;
    sources.font = [&](const std::string& name) { return name.empty() ? nullptr : &world.font; };
    sources.curvesFolder = fuzz::tempDir() + "Curves/";
    credits.Load(fuzz::writeTemp("credits.ini", parts.size() > 1 ? parts[1] : std::string()), sources);
    credits.Start();
    for (int i = 0; i < 60 && !credits.IsDone(); ++i) {
        credits.Update(0.25f, i == 50);
        for (const CCredits::Item& item : credits.GetItems()) {
            const float a = item.fade.GetAlpha(credits.GetTime());
            float x = 0.0f, y = 0.0f;
            credits.GetItemPos(item, 64.0f, 48.0f, x, y);
            if (!(a >= 0.0f && a <= 1.0f) || !std::isfinite(x) || !std::isfinite(y))
                __builtin_trap();
        }
        if (gs && gs->beginScene()) {
            credits.Render(64.0f, 48.0f);
            gs->endScene();
        }
    }
    return 0;
}
