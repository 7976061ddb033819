#pragma once
// The dialog bench: the resource manager with its managers, the demo data's
// lists and string table, a GUI server on the resource manager's images and
// sounds with the demo scripts or a script text of the test, the manual
// sound output, scripted mouse and keyboard, and frames of a fixed dt that
// poll input, update the GUI (unless onFrame does), run onFrame and draw the
// GUI. Base is the recording device (RecordingDialogBench) or offscreen GL
// (GlDialogBench).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/gui/gui_test_bench.h"
#include "engine/util/a_locale_server.h"
#include "game/shell/c_game_ini.h"
#include "game/shell/c_res_manager.h"

class SaveLoadEntity;

namespace dialogtest {

using Bytes = std::vector<std::uint8_t>;

// Appends n raw bytes of v (little-endian here).
void put(Bytes& b, const void* v, std::size_t n);
// The first `length` bytes of the record loaded as the entity's block;
// what LoadEntity answered.
bool loadRecord(SaveLoadEntity& entity, const Bytes& record, std::size_t length);
// The entity's record as a save file holds it.
Bytes savedRecord(SaveLoadEntity& entity);

template <class Base>
class DialogBench : public guitest::GuiBench<Base> {
protected:
    void SetUp() override;
    void TearDown() override;

    // The demo's assigns, image, particle and sound lists and Main.txt.
    void loadDemoResources();
    // A new GUI server with "gui:index.agui", or with a script text of the test.
    void loadGui(const std::string& path = "gui:index.agui");
    void loadGuiText(const std::string& script);
    // Game.ini with [Other] TimeForRestoreHint, read by a new CGameIni.
    void setRestoreTime(float seconds);

    void tick(int frames = 1);
    void click(int x, int y);
    void draw();
    // What was logged since the last call.
    std::string takeLog();

    std::function<void(float)> onFrame;
    std::unique_ptr<CResManager> res;
    std::unique_ptr<CGameIni> ini;
    bool drawFrames = true;
    // Off when onFrame updates the GUI itself.
    bool updateGui = true;

private:
    std::size_t m_logMark = 0;
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
