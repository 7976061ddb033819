#pragma once
// The GUI test bench: an application with a graphics server (recording
// double or offscreen GL), a real input server fed by scripted devices and
// a manual clock, an image manager and a GUI server; a synthetic bitmap
// font (every glyph 10 x 20) and a widget that fills its rectangle.
#include <gtest/gtest.h>

#include <cctype>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_gdi.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_server.h"
#include "engine/gui/gui_widget.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_input_server.h"
#include "platform/input/keyboard.h"
#include "platform/input/mouse.h"
#include "platform/system/clock.h"
#include "platform/system/events.h"
#include "support/jng_writer.h"
#include "support/test_env.h"
#include "test_graph_server_fixture.h"
#include "test_image_fixture.h"

namespace guitest {

constexpr int kGlyphWidth = 10;
constexpr int kGlyphHeight = 20;

// A font description for printable ASCII and Cyrillic U+0410..U+044F, 10 x 20
// each, beside its white texture; returns the description's path.
inline std::string writeSyntheticFont(const std::string& folder)
{
    std::vector<unsigned> codes;
    for (unsigned c = 0x20; c < 0x7F; ++c)
        codes.push_back(c);
    for (unsigned c = 0x410; c < 0x450; ++c)
        codes.push_back(c);
    const int perRow = 16, rows = int(codes.size() + perRow - 1) / perRow;
    const int w = perRow * kGlyphWidth, h = rows * kGlyphHeight;
    test_env::writeFile(folder + "/synthetic.png", jng_writer::buildPng(w, h, imgtest::solid(w, h, 0xFFFFFFFF)));
    std::string ini = "[General]\nTexture = synthetic.png\nFormat16 = 4444\nFormat32 = 8888\nCharSpacing = 0\n"
                      "[Charlist]\n";
    for (std::size_t i = 0; i < codes.size(); ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%X = %d %d %d %d 0 0\n", codes[i], int(i % perRow) * kGlyphWidth,
                      int(i / perRow) * kGlyphHeight, kGlyphWidth, kGlyphHeight);
        ini += line;
    }
    const std::string path = folder + "/synthetic.ini";
    test_env::writeFile(path, ini);
    return path;
}

// Fills its absolute rectangle with `color`, its alpha times GetAlpha().
class FillWidget : public GUI::Widget {
public:
    FillWidget(const std::string& name, std::uint32_t argb, const aRect& rect = aRect(0, 0, 1, 1))
        : Widget(name), color(argb)
    {
        area = rect;
    }
    void DrawSelf() override
    {
        const float a = float(color >> 24) * GetAlpha();
        m_gdi.m_color = (std::uint32_t(a + 0.5f) << 24) | (color & 0xFFFFFF);
        m_gdi.drawRect(float(GetAbsoluteX()), float(GetAbsoluteY()), float(area.width), float(area.height), true);
    }
    std::uint32_t color;

private:
    aGDI m_gdi;
};

// Records events of widgets as "<widget>.<event>" in the order they fire.
class EventTrace {
public:
    void watch(GUI::Widget* w)
    {
        for (const char* e : GUI::kWidgetEventNames)
            watch(w, {e});
    }
    // Only the events named.
    void watch(GUI::Widget* w, std::initializer_list<const char*> events)
    {
        for (const char* e : events) {
            m_handlers.push_back(std::make_unique<Handler>(this, w->name + "." + e));
            w->SubscribeEvent(e, m_handlers.back().get());
        }
    }
    // What fired since the last call.
    std::vector<std::string> take()
    {
        std::vector<std::string> out;
        out.swap(m_fired);
        return out;
    }

private:
    struct Handler : GUI::Subscriber {
        Handler(EventTrace* t, std::string s) : trace(t), text(std::move(s)) {}
        bool operator()(const GUI::EventArgs&) override
        {
            trace->m_fired.push_back(text);
            return false;
        }
        EventTrace* trace;
        std::string text;
    };
    std::vector<std::unique_ptr<Handler>> m_handlers;
    std::vector<std::string> m_fired;
};

template <class Base>
class GuiBench : public Base {
protected:
    void SetUp() override
    {
        platform::setClock(&clock);
        platform::setKeyboard(&keys);
        platform::setMouse(&mouse);
        platform::messageQueue().reset();
        Base::SetUp();
        if (this->HasFatalFailure())
            return;
        mouse.clientWidth = Base::kWidth;
        mouse.clientHeight = Base::kHeight;
        input = new aInputServer();
        images = std::make_unique<aImageManager>();
        gui = std::make_unique<GUI::Server>(images.get(), nullptr);
    }

    void TearDown() override
    {
        gui.reset();
        images.reset();
        delete this->app.m_inputServer;
        Base::TearDown();
        platform::setMouse(nullptr);
        platform::setKeyboard(nullptr);
        platform::setClock(nullptr);
    }

    // One input poll after ms milliseconds.
    void frame(double ms = 20.0)
    {
        clock.advanceMs(ms);
        input->update();
    }

    // Injected input held over frames: the keys and buttons held and the
    // mouse position stay until changed; step() runs frames of kDt (exact in
    // binary), each an input poll and a GUI update.
    static constexpr float kDt = 1.0f / 64.0f;
    void hold(std::uint8_t key) { m_held.insert(key); }
    void release(std::uint8_t key) { m_held.erase(key); }
    // Button bits: 1 left, 2 right, 4 middle.
    void buttons(unsigned bits) { m_buttons = bits; }
    void moveTo(int x, int y)
    {
        m_mouseX = x;
        m_mouseY = y;
    }
    // Notches for the next frame only.
    void wheel(int notches) { m_wheel = notches * 120; }
    // Text the keyboard hands out in the next frame (while text input is on).
    void typeText(const std::u32string& text) { m_typed += text; }
    void step(int frames = 1)
    {
        for (int i = 0; i < frames; ++i) {
            platform::KeyFrame f{};
            for (std::uint8_t k : m_held)
                f[k] = 0x80;
            keys.push(f);
            for (char32_t c : m_typed) {
                platform::KeyEvent typed;
                typed.character = c;
                keys.frames.back().events.push_back(typed);
            }
            m_typed.clear();
            mouse.push(m_buttons, m_mouseX, m_mouseY, 0, 0, m_wheel);
            m_wheel = 0;
            frame(double(kDt) * 1000.0);
            gui->Update(kDt);
        }
    }

    // A frame with the mouse at (x, y), then one with the buttons pressed.
    void press(int x, int y, unsigned bits = 1)
    {
        moveTo(x, y);
        step();
        buttons(bits);
        step();
    }
    void release()
    {
        buttons(0);
        step();
    }
    void click(int x, int y, unsigned bits = 1)
    {
        press(x, y, bits);
        release();
    }
    // A left drag from (x, y) through the points, one frame each.
    void drag(int x, int y, std::initializer_list<std::pair<int, int>> path)
    {
        press(x, y);
        for (const auto& [px, py] : path) {
            moveTo(px, py);
            step();
        }
        release();
    }

    // The synthetic font, registered with the server under the name.
    aFont* addFont(const std::string& name)
    {
        auto f = std::make_unique<aFont>(writeSyntheticFont(test_env::home()));
        aFont* out = f.get();
        gui->fonts[name] = std::move(f);
        return out;
    }

    // An image of the image manager (no group), from ARGB pixels.
    aImage* addImage(const std::string& name, int w, int h, const std::vector<std::uint32_t>& argb)
    {
        const std::string folder = test_env::home() + "/images/";
        test_env::writeFile(folder + name + ".png", jng_writer::buildPng(w, h, argb));
        images->LoadFile(folder, name + ".png 8888 8888", "");
        return images->GetImage(name);
    }

    std::set<std::uint8_t> m_held;
    unsigned m_buttons = 0;
    int m_mouseX = 0, m_mouseY = 0, m_wheel = 0;
    std::u32string m_typed;

    platform::ManualClock clock;
    platform::ScriptedKeyboard keys;
    platform::ScriptedMouse mouse;
    aInputServer* input = nullptr;
    std::unique_ptr<aImageManager> images;
    std::unique_ptr<GUI::Server> gui;
};

// The recording device: draws and viewports are read from its call log.
class RecordingBench : public GuiBench<imgtest::RecordingTest> {
protected:
    const char* appName() const override { return "GuiTest"; }

    // Recorded viewports as "x,y,w,h".
    std::vector<std::string> viewports() const
    {
        std::vector<std::string> out;
        for (const platform::RecordedCall* c : rec->named("SetViewport"))
            out.push_back(std::to_string(c->args[0]) + "," + std::to_string(c->args[1]) + "," +
                          std::to_string(c->args[2]) + "," + std::to_string(c->args[3]));
        return out;
    }
};

// Offscreen GL with back-buffer reads.
using GlBench = GuiBench<gstest::GlServerTest>;

// Offscreen GL of another size; pixelAt() reads it.
template <int W, int H>
class SizedGlServerTest : public gstest::GlServerTest {
protected:
    static constexpr int kWidth = W;
    static constexpr int kHeight = H;

    void SetUp() override
    {
        ASSERT_EQ(app.init(m_name, nullptr, "", ""), 0);
        server = std::make_unique<aGraphServer>(W, H, false, true, nullptr, 0, false, false);
        server->m_clearColor = 0xFF000000;
    }
    std::uint32_t pixelAt(int x, int y) { return backBuffer()[std::size_t(y) * W + std::size_t(x)]; }
    Pixels litAt()
    {
        Pixels out;
        const auto px = backBuffer();
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (px[std::size_t(y) * W + std::size_t(x)] != 0)
                    out.emplace(x, y);
        return out;
    }
    void draw()
    {
        ASSERT_TRUE(server->beginScene());
        gui_()->Render();
        server->endScene();
    }
    virtual GUI::Server* gui_() = 0;
};

// The demo data of data/GameData at the game's screen size: the assigns as
// the game sets them, the image and sound lists, the widget galleries of
// tests/data/gui ("gallery:") with their own pictures, the widgets
// initialised and the image cursor on.
class DemoBench : public GuiBench<SizedGlServerTest<1024, 768>> {
protected:
    GUI::Server* gui_() override { return gui.get(); }

    void loadDemo()
    {
        app.m_fileServer.setAssign("gamedata", test_env::sourceDir() + "/data/GameData/");
        for (const char* folder : {"Images", "Sounds", "Fonts", "Gui"}) {
            std::string assign = folder;
            for (char& c : assign)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            app.m_fileServer.setAssign(assign, std::string("gamedata:") + folder + "/");
        }
        app.m_fileServer.setAssign("gallery", test_env::sourceDir() + "/tests/data/gui/");
        images->LoadList("images:_images.list", "");
        images->LoadList("gallery:Images/_images.list", "");
        sounds = std::make_unique<aSoundManager>();
        sounds->LoadList("sounds:_sounds.list", "");
        gui.reset();
        gui = std::make_unique<GUI::Server>(images.get(), sounds.get());
        gui->load("gallery:gallery.agui");
        gui->InitWidgets();
        gui->ShowMouseCursor(true);
    }

    void TearDown() override
    {
        gui.reset();
        sounds.reset();
        GuiBench::TearDown();
    }

    std::unique_ptr<aSoundManager> sounds;
};

} // namespace guitest
