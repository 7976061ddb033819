#pragma once
// The dialog bench: the resource manager with its managers, the demo data's
// lists and string table (or nothing, for an in-test script), a GUI server
// on the resource manager's images and sounds with the demo scripts or a
// script text of the test, the manual sound output, scripted mouse and
// keyboard, and frames of a fixed dt that poll input, update the GUI, run
// the test's per-frame work and draw the GUI. Base is the recording device
// (RecordingDialogBench) or offscreen GL with back-buffer reads (GlDialogBench).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/gui/gui_test_bench.h"
#include "engine/util/a_locale_server.h"
#include "game/shell/c_game_ini.h"
#include "game/shell/c_res_manager.h"

namespace dialogtest {

template <class Base>
class DialogBench : public guitest::GuiBench<Base> {
protected:
    void SetUp() override;
    void TearDown() override;

    // The assigns the game sets, on the repository's demo data.
    void useDemoData();
    // The demo's image, particle and sound lists and Main.txt, loaded at once.
    void loadDemoResources();
    // A GUI server on the resource manager's managers with "gui:index.agui".
    void loadDemoGui() { loadGui("gui:index.agui"); }
    // A GUI server with a script text of the test (written under the home).
    void loadGuiText(const std::string& script);
    void loadGui(const std::string& path);
    // Game.ini with the given [Other] TimeForRestoreHint, as CGameIni reads it.
    void setRestoreTime(float seconds);
    // Strings of a table under a group, from text ("key = \"text\"" lines).
    void addStrings(const std::string& text, const std::string& group = std::string());

    // One frame: input, the GUI's update, onFrame, then the GUI drawn.
    void tick(int frames = 1);
    void press(int x, int y);
    void release();
    void click(int x, int y)
    {
        press(x, y);
        release();
    }
    void moveTo(int x, int y)
    {
        this->m_mouseX = x;
        this->m_mouseY = y;
    }
    void draw();

    // What was logged since the last call.
    std::string takeLog();

    std::function<void(float)> onFrame;
    std::unique_ptr<CResManager> res;
    std::unique_ptr<CGameIni> ini;
    bool drawFrames = true;

private:
    std::size_t m_logMark = 0;
    int m_strings = 0;
};

class RecordingBase : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "DialogTest"; }
    std::uint16_t screenWidth() const override { return 1024; }
    std::uint16_t screenHeight() const override { return 768; }
};

class GlBase : public guitest::SizedGlServerTest<1024, 768> {
protected:
    GUI::Server* gui_() override { return nullptr; }
};

using RecordingDialogBench = DialogBench<RecordingBase>;
using GlDialogBench = DialogBench<GlBase>;

extern template class DialogBench<RecordingBase>;
extern template class DialogBench<GlBase>;

} // namespace dialogtest
