// Text widgets against their own baselines, in one run on the recording
// device with the demo's 16-pixel font:
// - a keystroke in the middle of a 5,000-character memo (the key and the
//   next update) against one aFont::getStringSize of the memo's text: at
//   most 8 times;
// - pasting 20,000 characters into an empty memo against one layout of the
//   pasted text: at most 20 times;
// - Render of a list box of 10,000 text items against one of 100, scrolled
//   to the same place: at most 1.2 times.
// Each figure is the best of several rounds. "--small" runs each once and
// checks only what the widgets hold and draw (exit 1 when that is wrong).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_listbox.h"
#include "engine/gui/gui_memo.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "platform/gfx/d3d8_recording.h"
#include "platform/input/dinput_keys.h"
#include "platform/system/clipboard.h"
#include "support/test_env.h"
#include "bench_report.h"

namespace {

using Clock = std::chrono::steady_clock;

// The best time of one call of f over the rounds, each timing `calls` calls.
double best(int rounds, int calls, const std::function<void()>& f)
{
    double out = 1e9;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = Clock::now();
        for (int i = 0; i < calls; ++i)
            f();
        out = std::min(out, std::chrono::duration<double>(Clock::now() - t0).count() / calls);
    }
    return out;
}

// Words of three to eight letters, separated by blanks.
std::wstring words(std::size_t length)
{
    std::wstring out;
    for (unsigned i = 0; out.size() < length; ++i) {
        out.append(3 + i * 7 % 6, wchar_t(L'a' + i * 11 % 26));
        out.push_back(L' ');
    }
    out.resize(length);
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    const bool small = argc > 1 && std::strcmp(argv[1], "--small") == 0;
    const int rounds = small ? 1 : 9;
    test_env::makeFreshHome();
    g_logFile = std::fopen("/dev/null", "w");
    auto recorder = std::make_shared<platform::Recorder>();
    aGraphServer::setDirect3DFactory([recorder] { return platform::createRecordingDirect3D(recorder); });
    aGraphServer::setDirectDrawFactory([recorder](platform::GfxDirectDraw** out) {
        *out = platform::createRecordingDirectDraw(recorder);
        return D3D_OK;
    });
    platform::MemoryClipboard clipboard;
    platform::setClipboard(&clipboard);
    bool ok = true, slow = false;
    const auto check = [&ok](bool condition, const char* what) {
        if (!condition)
            std::fprintf(stderr, "bench_editing: %s\n", what);
        ok = ok && condition;
    };
    {
        aApplication app;
        auto graph = std::make_unique<aGraphServer>(1024, 768, false, true, nullptr, 0, false, false);
        auto input = std::make_unique<aInputServer>();
        aImageManager images;
        auto gui = std::make_unique<GUI::Server>(&images, nullptr);
        aFont font(std::string(A2D_SOURCE_DIR) + "/data/GameData/Fonts/DejaVuSans16.ini");

        // A keystroke in the middle of 5,000 characters, typed and taken back.
        GUI::Memo memo("memo");
        memo.area = aRect(0, 0, 400, 300);
        memo.font = &font;
        memo.SetText(words(5000));
        memo.Update(0.02f);
        GUI::KeybEventArgs a(&memo), back(&memo);
        a.text = U'a';  // typed text, as the keyboard hands it over
        back.key = platform::DIK_BACK;
        memo.SetCaretPos(2500);
        const double key = best(rounds, 20, [&] {
            memo.OnTextInput(a);
            memo.Update(0.02f);
            memo.OnKeyDown(back);
            memo.Update(0.02f);
        }) / 2;
        const double measure = best(rounds, 20, [&] { font.getStringSize(memo.GetText()); });
        check(memo.GetText().size() == 5000 && memo.lines.size() > 100, "the keystrokes changed the memo's text");

        // 20,000 characters pasted into an empty memo.
        const std::wstring pasted = words(20000);
        clipboard.text = str_wideToUtf8(pasted);
        const double paste = best(rounds, 1, [&] {
            memo.SetText(L"");
            memo.Update(0.02f);
            memo.Paste();
            memo.Update(0.02f);
        });
        check(memo.GetText() == pasted, "the paste gave another text");
        const double layout = best(rounds, 1, [&] {
            memo.layoutDirty = true;
            memo.RebuildLayout();
        });

        // The same view of 100 and of 10,000 items.
        const auto listRender = [&](int count) {
            GUI::Listbox list("list");
            list.area = aRect(0, 0, 200, 300);
            list.font = &font;
            for (int i = 0; i < count; ++i)
                list.AddTextItem(L"item " + std::to_wstring(i));
            list.SetScrollPos(0, 1000);
            recorder->clear();
            list.Render();
            check(recorder->count("Sprite.Draw") > 10 * 5, "the list drew its visible items");
            // The recorder's log is emptied after each draw, alike for both lists.
            return best(rounds, 200, [&] {
                list.Render();
                recorder->clear();
            });
        };
        const double hundred = listRender(100), many = listRender(10000);

        std::printf("memo of 5,000 characters: keystroke %.3f ms, getStringSize %.3f ms (x%.2f, limit 8)\n",
                    key * 1e3, measure * 1e3, key / measure);
        std::printf("paste of 20,000 characters %.3f ms, one layout %.3f ms (x%.2f, limit 20)\n", paste * 1e3,
                    layout * 1e3, paste / layout);
        std::printf("list box Render: 100 items %.4f ms, 10,000 items %.4f ms (x%.2f, limit 1.2)\n",
                    hundred * 1e3, many * 1e3, many / hundred);
        slow = !benchFigure("memo keystroke / getStringSize", key / measure, 8);
        slow = !benchFigure("paste / one layout", paste / layout, 20) || slow;
        slow = !benchFigure("list box Render 10,000 / 100 items", many / hundred, 1.2) || slow;
        gui.reset();
        input.reset();
        graph.reset();
    }
    platform::setClipboard(nullptr);
    aGraphServer::setDirect3DFactory(nullptr);
    aGraphServer::setDirectDrawFactory(nullptr);
    test_env::removeHome();
    if (!ok)
        return 1;
    if (slow && !small) {
        std::printf("bench_editing: over a limit\n");
        return 1;
    }
    return 0;
}
