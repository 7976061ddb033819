// Fast typing: several keys and characters within one frame. Characters come
// as the keyboard's typed text and reach the focused edit box or memo in the
// order they came among the editing keys, live and from a recording; the
// keyboard types only while a shown, enabled edit field has the focus.
#include <cctype>

#include "engine/gfx/a_graph_server.h"
#include "engine/gui/gui_editbox.h"
#include "engine/gui/gui_memo.h"
#include "engine/util/a_application.h"
#include "platform/input/event_inject.h"
#include "platform/system/events.h"
#include "widgets2_fixture.h"

using namespace GUI;
using namespace platform;

namespace {

using Step = ScriptedKeyboard::Step;

class TypingTest : public guitest::Widgets2Bench {
protected:
    void SetUp() override
    {
        Widgets2Bench::SetUp();
        if (HasFatalFailure())
            return;
        load("editbox Name\n{\n AreaRect 0 0 300 20\n Font f\n}\n"
             "memo Notes\n{\n AreaRect 0 30 300 60\n Font f\n}\n");
        name = find<Editbox>("Name");
        notes = find<Memo>("Notes");
        ASSERT_TRUE(name && notes);
    }

    // One frame whose keys go down and up in the given order.
    void keyFrame(const std::vector<Step>& steps)
    {
        keys.pushEvents(steps);
        mouse.push(m_buttons, m_mouseX, m_mouseY, 0, 0, 0);
        frame(double(kDt) * 1000.0);
        gui->Update(kDt);
    }

    // The key and Shift that type c on a US keyboard.
    static std::pair<std::uint8_t, bool> keyOf(char c)
    {
        for (std::uint32_t k = 1; k < 256; ++k) {
            if (Server::KeyToChar(k, 0) == c)
                return {std::uint8_t(k), false};
            if (Server::KeyToChar(k, MOD_SHIFT) == c)
                return {std::uint8_t(k), true};
        }
        ADD_FAILURE() << "no key types '" << c << "'";
        return {0, false};
    }

    // Types the text as a quick typist does: two, three, four, two, ...
    // key-downs a frame, each followed by its character, Shift pressed just
    // before a capital and released just after it. With lateRelease the
    // letters of a frame come up in the next frame, among its key-downs;
    // otherwise within their own.
    void typeFast(const std::string& text, bool lateRelease)
    {
        std::vector<Step> pendingUps;
        std::size_t i = 0;
        for (int perFrame = 2; i < text.size(); perFrame = perFrame == 4 ? 2 : perFrame + 1) {
            std::vector<Step> steps;
            std::vector<Step> ups;
            for (int n = 0; n < perFrame && i < text.size(); ++n, ++i) {
                const auto [key, shift] = keyOf(text[i]);
                // The previous frame's letters come up after the first
                // key-down, or before it when it is one of them.
                const bool again = std::any_of(pendingUps.begin(), pendingUps.end(),
                                               [k = key](const Step& s) { return s.key == k; });
                if (n == 0 && again) {
                    steps.insert(steps.end(), pendingUps.begin(), pendingUps.end());
                    pendingUps.clear();
                }
                if (shift)
                    steps.push_back(ScriptedKeyboard::press(DIK_LSHIFT));
                steps.push_back(ScriptedKeyboard::press(key));
                steps.push_back(ScriptedKeyboard::type(char32_t(text[i])));
                if (lateRelease)
                    ups.push_back(ScriptedKeyboard::lift(key));
                else
                    steps.push_back(ScriptedKeyboard::lift(key));
                if (shift)
                    steps.push_back(ScriptedKeyboard::lift(DIK_LSHIFT));
                if (n == 0) {
                    steps.insert(steps.end(), pendingUps.begin(), pendingUps.end());
                    pendingUps.clear();
                }
            }
            pendingUps = ups;
            keyFrame(steps);
        }
        keyFrame(pendingUps);
        keyFrame({});
    }

    Editbox* name = nullptr;
    Memo* notes = nullptr;
};

} // namespace

TEST_F(TypingTest, KeysAndCharactersOfOneFrameActInTheirOrder)
{
    for (const bool late : {false, true}) {
        name->SetText(L"");
        notes->SetText(L"");
        gui->SetFocus(name);
        typeFast("Detective Jo", late);
        gui->SetFocus(notes);
        typeFast("The Quick Brown Fox", late);
        EXPECT_EQ(name->GetText(), L"Detective Jo") << late;
        EXPECT_EQ(notes->GetText(), L"The Quick Brown Fox") << late;
    }
    // The per-frame states stay what they were: every key of the last frame
    // was released.
    for (std::uint32_t k = 0; k < 256; ++k)
        EXPECT_EQ(input->keyState(std::uint8_t(k)), std::uint32_t(KEY_UP)) << k;

    // A Backspace between characters of one frame takes the one before it.
    gui->SetFocus(name);
    name->SetText(L"");
    keyFrame({ScriptedKeyboard::type('a'), ScriptedKeyboard::type('b'), ScriptedKeyboard::press(DIK_BACK),
              ScriptedKeyboard::type('c'), ScriptedKeyboard::lift(DIK_BACK)});
    keyFrame({});
    EXPECT_EQ(name->GetText(), L"ac");
    // Key-downs without characters (a recording made before typed text was
    // kept) still edit, but type nothing.
    keys.pushKeys({DIK_LSHIFT, DIK_E});
    keys.pushKeys({DIK_BACK});
    keys.pushKeys({});
    step(3);
    EXPECT_EQ(name->GetText(), L"a");
}

TEST_F(TypingTest, TheKeyboardTypesOnlyForAShownEnabledField)
{
    // Nothing focused at first: no text input.
    step();
    EXPECT_FALSE(keys.textInput());
    gui->SetFocus(name);
    EXPECT_TRUE(keys.textInput());
    keyFrame({ScriptedKeyboard::type('x')});
    EXPECT_EQ(name->GetText(), L"x");

    // Hidden, the field loses the focus; disabled while focused, it keeps
    // the focus but takes no text from that frame on. What the keyboard
    // would type meanwhile is dropped.
    name->SetVisible(false);
    EXPECT_FALSE(keys.textInput());
    keyFrame({ScriptedKeyboard::type('y')});
    name->SetVisible(true);
    keyFrame({});
    EXPECT_FALSE(keys.textInput());
    gui->SetFocus(name);
    name->SetEnabled(false);
    keyFrame({ScriptedKeyboard::type('z')});
    EXPECT_FALSE(keys.textInput());
    name->SetEnabled(true);
    EXPECT_EQ(name->GetText(), L"x");

    // The focus on a widget that takes no text, or on none, turns it off.
    load("button B\n{\n AreaRect 0 0 10 10\n}\n");
    EXPECT_FALSE(keys.textInput());
}

TEST_F(TypingTest, ARecordingReplaysWhatWasTyped)
{
    app.m_appPath = test_env::home() + "/";
    gui->SetFocus(name);
    input->startRecording();
    typeFast("Detective Jo", false);
    gui->SetFocus(notes);
    typeFast("The Quick Brown Fox", true);
    input->saveInputLog("typing");
    ASSERT_EQ(name->GetText(), L"Detective Jo");
    const std::string path = test_env::home() + "/typing000.input";
    ASSERT_TRUE(test_env::exists(path));

    // Played back with nothing on the keyboard: the same text again. The
    // focus moves where it moved while typing (after "Detective Jo").
    name->SetText(L"");
    notes->SetText(L"");
    gui->SetFocus(name);
    ASSERT_TRUE(input->startPlayback(path, nullptr));
    int frames = 0;
    for (; input->m_logMode == INPUT_LOG_PLAYING && frames < 1000; ++frames) {
        if (name->GetText() == L"Detective Jo" && gui->focus == name)
            gui->SetFocus(notes);
        keys.push(KeyFrame{});
        mouse.push(0, 0, 0, 0, 0, 0);
        frame(double(kDt) * 1000.0);
        gui->Update(kDt);
    }
    EXPECT_EQ(name->GetText(), L"Detective Jo");
    EXPECT_EQ(notes->GetText(), L"The Quick Brown Fox");
}

// The real event path: SDL key and text events pushed into SDL's queue, as
// a window system delivers them, typed into an edit box through the
// platform's keyboard, the input server and the GUI server. The keys alone
// could not tell these texts: Shift is held over the space, and a whole
// name comes within one frame.
TEST(TypingThroughSdl, TextEventsTypeWhateverTheKeysDo)
{
    messageQueue().reset();
    aApplication app;
    ASSERT_EQ(app.init("SdlTyping", nullptr, "", ""), 0);
    auto* graph = new aGraphServer(320, 240, false, true, nullptr, 0, false, false);
    auto* input = new aInputServer();
    {
        aImageManager images;
        Server gui(&images, nullptr);
        gui.fonts["f"] = std::make_unique<aFont>(guitest::writeSyntheticFont(test_env::home()));
        const std::string script = test_env::home() + "/typing.agui";
        test_env::writeFile(script, "editbox Name\n{\n AreaRect 0 0 300 20\n Font f\n MaxLength 24\n}\n");
        gui.load(script);
        gui.InitWidgets();
        auto* name = dynamic_cast<Editbox*>(gui.GetRoot()->FindChild("Name", true));
        ASSERT_TRUE(name);
        HWND w = app.m_window;
        const auto frame = [&] {
            Message m;
            while (messageQueue().peek(m) && m.message != WM_QUIT)
                dispatchMessage(m);
            input->update();
            gui.Update(0.01f);
        };
        // One key: down with the modifiers held, its text, up.
        const auto typeKey = [&](std::uint8_t key, bool shift, const std::string& text) {
            ASSERT_TRUE(injectKey(w, key, true, shift));
            if (!text.empty()) {
                ASSERT_TRUE(injectText(w, text));
            }
            ASSERT_TRUE(injectKey(w, key, false, shift));
        };
        frame();  // starts watching SDL's events
        ASSERT_TRUE(injectFocus(w, true));

        // Nothing takes text yet: what comes is dropped.
        typeKey(DIK_X, false, "x");
        frame();
        gui.SetFocus(name);
        frame();
        EXPECT_EQ(name->GetText(), L"");

        // "mary ann" with Shift held, a key a frame.
        ASSERT_TRUE(injectKey(w, DIK_LSHIFT, true));
        frame();
        const std::uint8_t mary[] = {DIK_M, DIK_A, DIK_R, DIK_Y, DIK_SPACE, DIK_A, DIK_N, DIK_N};
        const char* upper = "MARY ANN";
        for (int i = 0; i < 8; ++i) {
            typeKey(mary[i], true, std::string(1, upper[i]));
            frame();
        }
        ASSERT_TRUE(injectKey(w, DIK_LSHIFT, false));
        frame();
        EXPECT_EQ(name->GetText(), L"MARY ANN");

        // Backspace, a key a frame, empties it; then "Detective Jo" in one
        // frame, Shift going down and up around the capitals.
        for (int i = 0; i < 8; ++i) {
            typeKey(DIK_BACK, false, "");
            frame();
        }
        EXPECT_EQ(name->GetText(), L"");
        const std::string text = "Detective Jo";
        for (char c : text) {
            std::uint8_t key = 0;
            for (std::uint32_t k = 1; k < 256 && !key; ++k)
                if (Server::KeyToChar(k, 0) == std::tolower(c))
                    key = std::uint8_t(k);
            const bool capital = std::isupper(static_cast<unsigned char>(c)) != 0;
            if (capital) {
                ASSERT_TRUE(injectKey(w, DIK_LSHIFT, true));
            }
            typeKey(key, capital, std::string(1, c));
            if (capital) {
                ASSERT_TRUE(injectKey(w, DIK_LSHIFT, false, true));
            }
        }
        frame();
        frame();
        EXPECT_EQ(name->GetText(), L"Detective Jo");

        // What the box cannot hold is dropped from the text (outside
        // Windows-1251: e acute, an emoji), the rest kept.
        ASSERT_TRUE(injectText(w, "\xC3\xA9\xE2\x84\x96\xF0\x9F\x98\x80!"));
        frame();
        EXPECT_EQ(name->GetText(), L"Detective Jo\u2116!");
    }
    delete input;
    delete graph;
    app.shutdown();
}
