// Fast typing: several keys, and Shift going down and up, within one frame.
// Characters reach the focused edit box or memo in the order the keys went
// down, each with its own Shift and Caps Lock, live and from a recording.
#include "engine/gui/gui_editbox.h"
#include "engine/gui/gui_memo.h"
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
    // key-downs a frame, Shift pressed just before a capital and released
    // just after it. With lateRelease the letters of a frame come up in the
    // next frame, among its key-downs; otherwise within their own.
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

TEST_F(TypingTest, KeysOfOneFrameTypeInTheirOrderWithTheirOwnShift)
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
}

TEST_F(TypingTest, CapsLockTogglesBetweenTheKeysOfAFrame)
{
    gui->SetFocus(name);
    // a, b, Caps Lock, c, Shift+d in one frame; then e with Caps Lock still on.
    keyFrame({ScriptedKeyboard::press(DIK_A), ScriptedKeyboard::press(DIK_B), ScriptedKeyboard::press(DIK_CAPITAL),
              ScriptedKeyboard::lift(DIK_CAPITAL), ScriptedKeyboard::press(DIK_C), ScriptedKeyboard::press(DIK_LSHIFT),
              ScriptedKeyboard::press(DIK_D), ScriptedKeyboard::lift(DIK_LSHIFT)});
    keyFrame({ScriptedKeyboard::lift(DIK_A), ScriptedKeyboard::lift(DIK_B), ScriptedKeyboard::lift(DIK_C),
              ScriptedKeyboard::lift(DIK_D), ScriptedKeyboard::press(DIK_E), ScriptedKeyboard::lift(DIK_E)});
    keyFrame({});
    EXPECT_EQ(name->GetText(), L"abCdE");
    // Without key-downs of their own (an older recording), keys go in
    // key-code order with the frame's modifiers, as before.
    keys.capsLock = false;
    name->SetText(L"");
    keys.pushKeys({DIK_LSHIFT, DIK_E, DIK_D});
    keys.pushKeys({});
    step(2);
    EXPECT_EQ(name->GetText(), L"ED");
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
