// GUI scripts loaded into a GUI server: the input is split at "\n@@\n" into
// the main script and up to three files it may include as "f1.agui" ..
// "f3.agui". Beside them lie an image "img" (in the image manager), a font
// "font.ini" and a region bitmap "r.bmp". After the load every widget is
// initialised, the tree updated and drawn, every style drawn at a few sizes
// and every cursor activated.
#include <unistd.h>

#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_server.h"
#include "fuzz/fuzz_graphics.h"

namespace {

aImageManager& images()
{
    static aImageManager* manager = [] {
        auto* m = new aImageManager;
        m->LoadFile(fuzz::tempDir(), "img.bmp 8888 8888", "");
        return m;
    }();
    return *manager;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    platform::Recorder& recorder = fuzz::recordingGraphics();
    static const bool files = [] {
        fuzz::writeTemp("img.bmp", fuzz::bmp(12, 9));
        fuzz::writeTemp("t.bmp", fuzz::bmp(16, 16));
        fuzz::writeTemp("font.ini", "[General]\nTexture = t.bmp\nFormat16 = 4444\nFormat32 = 8888\n"
                                    "[Charlist]\n41 = 0 0 5 7 0 1\n");
        // A 2 x 2 one-bit bitmap with its palette.
        fuzz::writeTemp("r.bmp", std::string("BM\x46\0\0\0\0\0\0\0\x3E\0\0\0\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x01\0"
                                             "\0\0\0\0\x08\0\0\0\0\0\0\0\0\0\0\0\x02\0\0\0\0\0\0\0"
                                             "\0\0\0\0\xFF\xFF\xFF\0\x80\0\0\0\x40\0\0\0",
                                             70));
        return chdir(fuzz::tempDir().c_str()) == 0;
    }();
    (void)files;
    const std::vector<std::string> parts = fuzz::splitParts(data, size, "\n@@\n");
    for (std::size_t i = 1; i < 4; ++i)
        fuzz::writeTemp("f" + std::to_string(i) + ".agui", i < parts.size() ? parts[i] : std::string());
    const std::string main = fuzz::writeTemp("main.agui", parts[0]);

    GUI::Server gui(&images(), nullptr);
    gui.load(main);
    gui.InitWidgets();
    gui.Update(0.02f);
    gui.Render();
    for (const auto& [name, style] : gui.styles)
        for (const aRect& dest : {aRect(0, 0, 64, 48), aRect(-5, 3, 7, 2), aRect(1, 1, 0, 300)})
            style->Draw(dest, 0xFF808080);
    for (const auto& [name, cursor] : gui.cursors)
        gui.SetCursor(name);
    recorder.clear();
    return 0;
}
