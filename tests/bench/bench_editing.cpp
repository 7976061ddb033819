// Text widgets against their own baselines, in one run on the recording
// device with the demo's 16-pixel font:
// - a keystroke in the middle of a 5,000-character memo (the key and the
//   next update) against one aFont::getStringSize of a text of the memo's
//   length and words that the font has not measured: at most 8 times;
// - pasting 20,000 characters into an empty memo against one layout of the
//   pasted text: at most 20 times;
// - Render of a list box of 10,000 text items against one of 100, scrolled
//   to the same place: at most 1.2 times.
// Each figure takes its two sides in turns of equal length, timed by the
// thread's CPU time, and is the median of the turns' ratios. "--small" runs
// each side once and checks only what the widgets hold and draw (exit 1 when
// that is wrong).
#include <algorithm>
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
    // Turns of 0.1 s per side; one step each when small.
    const int turns = small ? 1 : 15;
    const double seconds = small ? 0.0 : 0.1;
    const auto timed = [&](const std::function<void()>& a, const std::function<void()>& b) {
        return benchTurns(turns, seconds, CLOCK_THREAD_CPUTIME_ID, {a, b});
    };
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
        BenchFreshTexts measured(memo.GetText());
        const BenchTurns keys = timed(
            [&] {
                memo.OnTextInput(a);
                memo.Update(0.02f);
                memo.OnKeyDown(back);
                memo.Update(0.02f);
            },
            [&] { font.getStringSize(measured.next()); });
        // A step of the first side is two keystrokes.
        const double key = keys.median(0) / 2, measure = keys.median(1), keyRatio = keys.ratio(0, 1) / 2;
        check(memo.GetText().size() == 5000 && memo.lines.size() > 100, "the keystrokes changed the memo's text");

        // 20,000 characters pasted into an empty memo.
        const std::wstring pasted = words(20000);
        clipboard.text = str_wideToUtf8(pasted);
        const BenchTurns pastes = timed(
            [&] {
                memo.SetText(L"");
                memo.Update(0.02f);
                memo.Paste();
                memo.Update(0.02f);
            },
            [&] {
                memo.layoutDirty = true;
                memo.RebuildLayout();
            });
        check(memo.GetText() == pasted, "the paste gave another text");
        const double paste = pastes.median(0), layout = pastes.median(1), pasteRatio = pastes.ratio(0, 1);

        // The same view of 100 and of 10,000 items.
        const auto makeList = [&](int count) {
            auto list = std::make_unique<GUI::Listbox>("list");
            list->area = aRect(0, 0, 200, 300);
            list->font = &font;
            for (int i = 0; i < count; ++i)
                list->AddTextItem(L"item " + std::to_wstring(i));
            list->SetScrollPos(0, 1000);
            recorder->clear();
            list->Render();
            check(recorder->count("Sprite.Draw") > 10 * 5, "the list drew its visible items");
            return list;
        };
        const auto hundredList = makeList(100), manyList = makeList(10000);
        // The recorder's log is emptied after each draw, untimed.
        const BenchTurns lists = benchTurns(turns, seconds, CLOCK_THREAD_CPUTIME_ID,
                                            {[&] { manyList->Render(); }, [&] { hundredList->Render(); }},
                                            [&] { recorder->clear(); });
        const double many = lists.median(0), hundred = lists.median(1), listRatio = lists.ratio(0, 1);

        std::printf("memo of 5,000 characters: keystroke %.3f ms, getStringSize %.3f ms (x%.2f, limit 8)\n",
                    key * 1e3, measure * 1e3, keyRatio);
        std::printf("paste of 20,000 characters %.3f ms, one layout %.3f ms (x%.2f, limit 20)\n", paste * 1e3,
                    layout * 1e3, pasteRatio);
        std::printf("list box Render: 100 items %.4f ms, 10,000 items %.4f ms (x%.2f, limit 1.2)\n",
                    hundred * 1e3, many * 1e3, listRatio);
        slow = !benchFigure("memo keystroke / getStringSize", keyRatio, 8);
        slow = !benchFigure("paste / one layout", pasteRatio, 20) || slow;
        slow = !benchFigure("list box Render 10,000 / 100 items", listRatio, 1.2) || slow;
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
