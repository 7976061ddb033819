// The input-script compiler: what a compiled script does to the input
// server frame by frame, the text form of a recording, and script errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "platform/input/dinput_keys.h"
#include "platform/input/keyboard.h"
#include "platform/input/mouse.h"
#include "platform/system/clock.h"
#include "platform/system/events.h"
#include "engine/gui/gui_editbox.h"
#include "engine/gui/widgets2_fixture.h"
#include "tools/recording/input_recording.h"

namespace {

int g_ends = 0;
void onEnd() { ++g_ends; }

struct Expected {
    std::int32_t x, y;
    std::uint32_t left, right, escape, printScreen;
};

} // namespace

TEST(InputRecording, CompiledScriptDrivesTheInputServerFrameByFrame)
{
    const std::string script = "# every command once\n"
                               "move 100 50\n"
                               "click 200 100\n"
                               "\n"
                               "wait 0.02   # two frames\n"
                               "rclick 10 20\n"
                               "drag 10 20 40 50 0.03\n"
                               "key DIK_ESCAPE\n"
                               "shot\n"
                               "move 0 0 0.04\n";
    recording::Frames frames;
    std::string error;
    ASSERT_TRUE(recording::compile(script, "road.txt", frames, error)) << error;

    const std::vector<Expected> expected = {
        {100, 50, 0, 0, 0, 0},  {200, 100, 0, 0, 0, 0}, {200, 100, 2, 0, 0, 0}, {200, 100, 1, 0, 0, 0},
        {200, 100, 0, 0, 0, 0}, {200, 100, 0, 0, 0, 0}, {10, 20, 0, 0, 0, 0},   {10, 20, 0, 2, 0, 0},
        {10, 20, 0, 1, 0, 0},   {10, 20, 0, 0, 0, 0},   {10, 20, 2, 0, 0, 0},   {20, 30, 3, 0, 0, 0},
        {30, 40, 3, 0, 0, 0},   {40, 50, 3, 0, 0, 0},   {40, 50, 1, 0, 0, 0},   {40, 50, 0, 0, 2, 0},
        {40, 50, 0, 0, 1, 0},   {40, 50, 0, 0, 0, 2},   {40, 50, 0, 0, 0, 1},   {30, 38, 0, 0, 0, 0},
        {20, 25, 0, 0, 0, 0},   {10, 13, 0, 0, 0, 0},   {0, 0, 0, 0, 0, 0},
    };
    ASSERT_EQ(frames.size(), expected.size());

    platform::ManualClock clock;
    platform::ScriptedKeyboard keys;
    platform::ScriptedMouse mouse;
    platform::setClock(&clock);
    platform::setKeyboard(&keys);
    platform::setMouse(&mouse);
    platform::messageQueue().reset();
    {
        aApplication app;
        ASSERT_EQ(app.init("RecordingTest", nullptr, "", ""), 0);
        auto* graph = new aGraphServer(1024, 768, false, true, nullptr, 0, false, false);
        mouse.clientWidth = 1024;
        mouse.clientHeight = 768;
        auto* input = new aInputServer();
        g_ends = 0;
        input->startPlayback(recording::encode(frames), &onEnd);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            clock.advanceMs(recording::kFrameMs);
            input->update();
            const Expected& e = expected[i];
            const Expected got{input->m_cursorX,
                               input->m_cursorY,
                               input->m_mouseButtons[0],
                               input->m_mouseButtons[1],
                               input->keyState(platform::DIK_ESCAPE),
                               input->keyState(platform::DIK_SYSRQ)};
            EXPECT_TRUE(got.x == e.x && got.y == e.y && got.left == e.left && got.right == e.right &&
                        got.escape == e.escape && got.printScreen == e.printScreen)
                << "frame " << i << ": " << got.x << "," << got.y << " L" << got.left << " R" << got.right << " Esc"
                << got.escape << " PrtSc" << got.printScreen;
            // The relative motion is the cursor's step.
            if (i == 12) {
                EXPECT_TRUE(input->m_lX == 10 && input->m_lY == 10);
            }
            EXPECT_EQ(g_ends, i + 1 == expected.size() ? 1 : 0) << i;
        }
        EXPECT_EQ(input->m_logMode, INPUT_LOG_OFF);
        EXPECT_EQ(mouse.cursorX, 0);  // the system cursor followed
        delete input;
        delete graph;
        app.shutdown();
    }
    platform::setMouse(nullptr);
    platform::setKeyboard(nullptr);
    platform::setClock(nullptr);
}

TEST(InputRecording, TextFormRoundTripsAndDamageIsNamed)
{
    std::string error;
    recording::Frames compiled;
    ASSERT_TRUE(recording::compile("click 5 6\ndrag 1 2 -3 4 0.05\nkey DIK_F12\nwait 0.1\n", "a.txt", compiled,
                                   error));
    // Beyond what scripts make: a wheel turn, a key without a name, a byte
    // other than 0x80, two changes of one key in a frame, extreme values.
    recording::Frame odd;
    odd.dz = -120;
    odd.dx = -2147483647 - 1;
    odd.y = 2147483647;
    odd.keys = {{0x00, 0x80}, {0x55, 0x01}, {platform::DIK_A, 0x80}, {platform::DIK_A, 0x00}};
    odd.buttons = {{2, 0x80}, {0, 0xFF}};
    compiled.push_back(odd);
    compiled.push_back(recording::Frame{});

    const std::vector<std::uint8_t> bytes = recording::encode(compiled);
    recording::Frames decoded;
    std::vector<std::size_t> ends;
    ASSERT_TRUE(recording::decode(bytes.data(), bytes.size(), decoded, error, &ends)) << error;
    EXPECT_EQ(decoded, compiled);
    ASSERT_EQ(ends.size(), compiled.size());
    EXPECT_EQ(ends.back(), bytes.size());
    EXPECT_EQ(ends.front(), 28u);  // an empty frame: two end marks, five values

    const std::string text = recording::dump(decoded);
    EXPECT_NE(text.find("\n1 0.01s cursor 5 6 button 0=80\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" key 0=80 key 85=01 key DIK_A=80 key DIK_A=00"), std::string::npos) << text;
    recording::Frames back;
    ASSERT_TRUE(recording::undump(text, "dump.txt", back, error)) << error;
    EXPECT_EQ(recording::encode(back), bytes);

    // A cut anywhere keeps the whole frames before it and says where.
    for (std::size_t cut : {std::size_t(1), ends[0] + 3, ends[3] - 1}) {
        recording::Frames part;
        EXPECT_FALSE(recording::decode(bytes.data(), cut, part, error));
        EXPECT_EQ(part.size(), cut == 1 ? 0u : (cut < ends[1] ? 1u : 3u)) << cut;
        EXPECT_NE(error.find("frame " + std::to_string(part.size()) + ": cut short"), std::string::npos) << error;
    }
    // A key record past the end mark, as the input server also refuses.
    std::vector<std::uint8_t> bad = {0x2C, 0x01, 0, 0, 0x80};
    recording::Frames part;
    EXPECT_FALSE(recording::decode(bad.data(), bad.size(), part, error));
    EXPECT_EQ(error, "frame 0: key record 300 out of range");

    // Edited text is read strictly, with its line.
    const std::pair<const char*, const char*> badDumps[] = {
        {"0 0.00s cursor 1 2\n1 0.01s cursor 1\n", "dump.txt:2: expected '<frame> <time> cursor <x> <y>'"},
        {"# head\n0 0.00s cursor 1 2\n2 0.01s cursor 1 2\n", "dump.txt:3: expected frame 1"},
        {"0 0.00s cursor 1 2 button 3=80\n", "dump.txt:1: bad button change '3=80'"},
        {"0 0.00s cursor 1 2 key DIK_NOPE=80\n", "dump.txt:1: bad key change 'DIK_NOPE=80'"},
        {"0 0.00s cursor 1 2 key 7=800\n", "dump.txt:1: bad key change '7=800'"},
        {"0 0.00s cursor 1 2 motion 1 2\n", "dump.txt:1: unexpected 'motion'"},
    };
    for (const auto& [dumpText, message] : badDumps) {
        EXPECT_FALSE(recording::undump(dumpText, "dump.txt", back, error));
        EXPECT_EQ(error, message);
    }
}

TEST(InputRecording, BadScriptLinesAreReportedWithTheirNumber)
{
    const std::pair<const char*, const char*> cases[] = {
        {"wait 1\n\n# comment\njump 1 2\n", "s.txt:4: unknown command 'jump'"},
        {"move 1\n", "s.txt:1: usage: move <x> <y> [<s>]"},
        {"move 1 2 3 4\n", "s.txt:1: usage: move <x> <y> [<s>]"},
        {"click 10 x\n", "s.txt:1: bad coordinate 'x'"},
        {"click 10 40000\n", "s.txt:1: bad coordinate '40000'"},
        {"rclick 1.5 2\n", "s.txt:1: bad coordinate '1.5'"},
        {"wait 1\nwait -1\n", "s.txt:2: bad time '-1' (seconds, 0 to 3600)"},
        {"wait nan\n", "s.txt:1: bad time 'nan' (seconds, 0 to 3600)"},
        {"wait 1e9\n", "s.txt:1: bad time '1e9' (seconds, 0 to 3600)"},
        {"drag 1 2 3 4\n", "s.txt:1: usage: drag <x1> <y1> <x2> <y2> <s>"},
        {"key ESCAPE\n", "s.txt:1: unknown key 'ESCAPE' (a DIK name such as DIK_ESCAPE)"},
        {"key\n", "s.txt:1: usage: key <DIK name>"},
        {"shot 1\n", "s.txt:1: usage: shot"},
        {"keys\n", "s.txt:1: usage: keys <+NAME|-NAME|NAME> ..."},
        {"keys DIK_A +DIK_NOPE\n", "s.txt:1: unknown key 'DIK_NOPE' (a DIK name such as DIK_ESCAPE)"},
        {"keys +\n", "s.txt:1: unknown key '' (a DIK name such as DIK_ESCAPE)"},
        {"wait 3000\nwait 600\nwait 0.01\n", "s.txt:3: the recording passes an hour"},
    };
    for (const auto& [text, message] : cases) {
        recording::Frames frames;
        std::string error;
        EXPECT_FALSE(recording::compile(text, "s.txt", frames, error)) << text;
        EXPECT_EQ(error, message);
    }
    // Times round to whole frames; a zero wait adds none.
    recording::Frames frames;
    std::string error;
    ASSERT_TRUE(recording::compile("wait 0\nwait 0.014\nwait 0.016\nmove 3 4 0\n", "s.txt", frames, error));
    EXPECT_EQ(frames.size(), 4u);
}

TEST(InputRecording, AScriptIsCutBeforeItsMarkedLine)
{
    // Only a line's start counts, and the first such line.
    std::string text = "wait 1\n# ---- 10. b\nclick 1 2\n  # ---- 2. a\n# ---- 2. a\nshot\n# ---- 2. a\n";
    ASSERT_TRUE(recording::cutBefore(text, "# ---- 2."));
    EXPECT_EQ(text, "wait 1\n# ---- 10. b\nclick 1 2\n  # ---- 2. a\n");
    // The marker on the first line leaves nothing; a last line without its
    // newline is still found.
    std::string first = "# ---- 1.\nwait 1\n";
    ASSERT_TRUE(recording::cutBefore(first, "# ---- 1."));
    EXPECT_EQ(first, "");
    std::string last = "wait 1\nshot";
    ASSERT_TRUE(recording::cutBefore(last, "shot"));
    EXPECT_EQ(last, "wait 1\n");
    // A missing or empty marker changes nothing.
    std::string none = "wait 1\nshot\n";
    EXPECT_FALSE(recording::cutBefore(none, "# ----"));
    EXPECT_FALSE(recording::cutBefore(none, ""));
    EXPECT_EQ(none, "wait 1\nshot\n");
}

// Typing scripted several keys a frame, Shift going down and up between
// them: the recording keeps each key-down in order with its modifiers and
// the character it types, its text form reads back, and played into an
// edit box it types the text.
namespace {

class ScriptTyping : public guitest::Widgets2Bench {};

} // namespace

TEST_F(ScriptTyping, KeysOfAFrameKeepTheirOrderAndModifiers)
{
    using recording::kCapsLock;
    using recording::kShift;
    const std::string script = "keys +DIK_LSHIFT DIK_D -DIK_LSHIFT DIK_E\n"
                               "keys DIK_T DIK_E DIK_C\n"
                               "keys DIK_T DIK_I DIK_V DIK_E\n"
                               "keys DIK_SPACE +DIK_LSHIFT DIK_J -DIK_LSHIFT +DIK_O\n"
                               "wait 0.02  # O held\n"
                               "keys -DIK_O DIK_CAPITAL DIK_A\n"
                               "key DIK_B\n";
    recording::Frames frames;
    std::string error;
    ASSERT_TRUE(recording::compile(script, "typing.txt", frames, error)) << error;
    ASSERT_EQ(frames.size(), 9u);
    using P = std::vector<recording::Change>;
    namespace k = platform;
    const auto typed = [](char c) { return recording::Change{recording::kTyped + std::uint32_t(c), 0}; };
    EXPECT_EQ(frames[0].presses, (P{{k::DIK_LSHIFT, 0}, {k::DIK_D, kShift}, typed('D'), {k::DIK_E, 0}, typed('e')}));
    // Keys pressed within a frame read down in it, and up in the next unless pressed again.
    EXPECT_EQ(frames[0].keys, (P{{k::DIK_E, 0x80}, {k::DIK_D, 0x80}, {k::DIK_LSHIFT, 0x80}}));
    EXPECT_EQ(frames[1].keys, (P{{k::DIK_T, 0x80}, {k::DIK_D, 0}, {k::DIK_LSHIFT, 0}, {k::DIK_C, 0x80}}));
    EXPECT_EQ(frames[3].presses, (P{{k::DIK_SPACE, 0}, typed(' '), {k::DIK_LSHIFT, 0}, {k::DIK_J, kShift}, typed('J'),
                                    {k::DIK_O, 0}, typed('o')}));
    EXPECT_TRUE(frames[4].presses.empty() && frames[5].presses.empty());
    EXPECT_EQ(frames[6].presses, (P{{k::DIK_CAPITAL, 0}, {k::DIK_A, kCapsLock}, typed('A')}));
    EXPECT_EQ(frames[7].presses, (P{{k::DIK_B, kCapsLock}, typed('B')}));
    // Shift held over the space bar types a blank; Ctrl or Alt held, a key
    // types nothing. "type" hands text over without keys, 32 characters a
    // frame.
    recording::Frames words;
    ASSERT_TRUE(recording::compile("keys +DIK_LSHIFT DIK_M DIK_SPACE DIK_A -DIK_LSHIFT\n"
                                   "keys +DIK_LCONTROL DIK_V -DIK_LCONTROL +DIK_LMENU DIK_F -DIK_LMENU\n"
                                   "type Jo \xC3\xA9\xD0\xB6  and  more words to make forty\n",
                                   "t.txt", words, error))
        << error;
    ASSERT_EQ(words.size(), 4u);
    EXPECT_EQ(words[0].presses, (P{{k::DIK_LSHIFT, 0}, {k::DIK_M, kShift}, typed('M'), {k::DIK_SPACE, kShift},
                                  typed(' '), {k::DIK_A, kShift}, typed('A')}));
    EXPECT_EQ(words[1].presses, (P{{k::DIK_LCONTROL, 0}, {k::DIK_V, recording::kCtrl}, {k::DIK_LMENU, 0},
                                  {k::DIK_F, recording::kAlt}}));
    EXPECT_EQ(words[2].presses.size(), 32u);
    EXPECT_EQ(words[2].presses[3], (recording::Change{recording::kTyped + 0xE9, 0}));
    EXPECT_EQ(words[2].presses[4], (recording::Change{recording::kTyped + 0x436, 0}));
    EXPECT_EQ(words[3].presses.size(), 2u);  // 34 characters
    // No key goes down for typed text (the keys of the frame before come up).
    for (const recording::Frame& f : {words[2], words[3]})
        for (const recording::Change& c : f.keys)
            EXPECT_EQ(c.value, 0) << c.index;
    for (const char* bad : {"type\n", "type \xC3\n", "type a\x01" "b\n"}) {
        EXPECT_FALSE(recording::compile(bad, "t.txt", words, error)) << bad;
        EXPECT_NE(error.find("t.txt:1: "), std::string::npos) << error;
    }

    // Bytes and text form round-trip; a damaged key-down is named.
    const std::vector<std::uint8_t> bytes = recording::encode(frames);
    recording::Frames back;
    ASSERT_TRUE(recording::decode(bytes.data(), bytes.size(), back, error)) << error;
    EXPECT_EQ(back, frames);
    const std::string text = recording::dump(frames);
    EXPECT_NE(text.find(" press DIK_SPACE type U+0020 press DIK_LSHIFT press DIK_J+shift type U+004A press DIK_O type "
                        "U+006F\n"),
              std::string::npos)
        << text;
    ASSERT_TRUE(recording::undump(text, "dump.txt", back, error)) << error;
    EXPECT_EQ(back, frames);
    ASSERT_TRUE(recording::undump("0 0.00s cursor 0 0 press 30+ctrl+alt+caps+shift\n", "d.txt", back, error));
    EXPECT_EQ(back[0].presses, (P{{30, 15}}));
    ASSERT_TRUE(recording::undump("0 0.00s cursor 0 0 type U+1F600 type U+E9\n", "d.txt", back, error)) << error;
    EXPECT_EQ(back[0].presses, (P{{recording::kTyped + 0x1F600, 0}, {recording::kTyped + 0xE9, 0}}));
    for (const char* bad : {"press DIK_A+shift+shift", "press DIK_A+big", "press 256", "press", "type U+D800",
                            "type U+0009", "type U+110000", "type e9", "type U+", "type"}) {
        EXPECT_FALSE(recording::undump(std::string("0 0.00s cursor 0 0 ") + bad + "\n", "d.txt", back, error));
        EXPECT_NE(error.find("d.txt:1: "), std::string::npos) << error;
    }
    std::vector<std::uint8_t> damaged = bytes;
    damaged[19] = 0x10;  // the first key-down's modifier byte, behind three changes
    EXPECT_FALSE(recording::decode(damaged.data(), damaged.size(), back, error));
    EXPECT_EQ(error, "frame 0: key-down record 554: unknown modifier bits 16") << error;
    // A typed character is one that can be typed, with a 0 byte.
    for (const std::vector<std::uint8_t>& odd :
         {std::vector<std::uint8_t>{0x7F, 0, 0, 0x01, 0}, std::vector<std::uint8_t>{0x41, 0, 0, 0x01, 1},
          std::vector<std::uint8_t>{0x00, 0xD8, 0, 0x01, 0}, std::vector<std::uint8_t>{0x00, 0, 0x11, 0x01, 0}}) {
        std::vector<std::uint8_t> frame = odd;
        for (std::uint32_t v : {256u, 3u, 0u, 0u, 0u, 0u, 0u})
            for (int b = 0; b < 4; ++b)
                frame.push_back(std::uint8_t(v >> (8 * b)));
        EXPECT_FALSE(recording::decode(frame.data(), frame.size(), back, error));
        EXPECT_NE(error.find("typed-character record"), std::string::npos) << error;
    }
    // Key-downs follow the frame's state changes, as they are written.
    const std::vector<std::uint8_t> swapped = {0x1E, 0x02, 0, 0, 0x01, 0x1E, 0, 0, 0, 0x80, 0, 0x01, 0, 0, 0};
    EXPECT_FALSE(recording::decode(swapped.data(), swapped.size(), back, error));
    EXPECT_EQ(error, "frame 0: key record 30 after the key-down records");

    // Played back into an edit box.
    load("editbox Name\n{\n AreaRect 0 0 300 20\n Font f\n}\n");
    auto* name = find<GUI::Editbox>("Name");
    gui->SetFocus(name);
    ASSERT_TRUE(recording::compile("keys +DIK_LSHIFT DIK_D -DIK_LSHIFT DIK_E\nkeys DIK_T DIK_E DIK_C\n"
                                   "keys DIK_T DIK_I DIK_V DIK_E\nkeys DIK_SPACE +DIK_LSHIFT DIK_J -DIK_LSHIFT\n"
                                   "keys DIK_O\nwait 0.01\n",
                                   "typing.txt", frames, error))
        << error;
    input->startPlayback(recording::encode(frames), nullptr);
    for (int i = 0; i < 10 && input->m_logMode == INPUT_LOG_PLAYING; ++i)
        step();
    EXPECT_EQ(name->GetText(), L"Detective Jo");
}
