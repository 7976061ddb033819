// A static text of a 5,000-character tagged paragraph (colour, size and
// font tags every few words) against its font in the same run, on the
// recording device with the demo's 16-pixel font: its layout against one
// aFont::getStringSize of a text of the paragraph's length and words that
// the font has not measured (target: at most 5 x), its
// drawing against one aFont::drawString of it (target: at most 2 x). Each
// figure takes its sides in turns of equal length (thread CPU time) and is
// the median of the turns' ratios; a miss exits 1. It also checks that an
// unchanged frame runs no layout.
// "--smoke" runs each once and checks the results only (lines laid out,
// one glyph drawn per character other than a space, no layout when
// nothing changed), never the time.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_graph_server.h"
#include "engine/gui/gui_server.h"
#include "engine/gui/gui_static_text.h"
#include "engine/util/a_application.h"
#include "engine/util/a_log.h"
#include "platform/gfx/d3d8_recording.h"
#include "support/test_env.h"
#include "bench_report.h"

namespace {

// Turns of 0.1 s per side, timed by the thread's CPU time.
constexpr int kTurns = 15;
constexpr double kTurn = 0.1;
constexpr double kLayoutLimit = 5.0;
constexpr double kDrawLimit = 2.0;

// Words of 2 to 9 letters; a tag before every seventh word.
std::wstring paragraph(std::size_t length)
{
    const wchar_t* tags[] = {L"<#color=FFFF8080#>", L"<#size=1.25#>", L"<#font=Large#>", L"<#color=default#>",
                             L"<#size=#>", L"<#font=default#>"};
    std::wstring out;
    std::size_t plain = 0;
    for (unsigned word = 0; plain < length; ++word) {
        if (word % 7 == 3)
            out += tags[(word / 7) % 6];
        const unsigned letters = 2 + (word * 5) % 8;
        for (unsigned i = 0; i < letters && plain < length; ++i, ++plain)
            out.push_back(wchar_t(L'a' + (word + i) % 26));
        if (plain < length) {
            out.push_back(L' ');
            ++plain;
        }
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
    test_env::makeFreshHome();
    g_logFile = std::fopen("/dev/null", "w");
    auto recorder = std::make_shared<platform::Recorder>();
    aGraphServer::setDirect3DFactory([recorder] { return platform::createRecordingDirect3D(recorder); });
    aGraphServer::setDirectDrawFactory([recorder](platform::GfxDirectDraw** out) {
        *out = platform::createRecordingDirectDraw(recorder);
        return D3D_OK;
    });
    int status = 0;
    {
        aApplication app;
        auto graph = std::make_unique<aGraphServer>(1024, 768, false, true, nullptr, 0, false, false);
        GUI::Server gui(nullptr, nullptr);
        const std::string fonts = std::string(A2D_SOURCE_DIR) + "/data/GameData/Fonts/";
        gui.fonts["Small"] = std::make_unique<aFont>(fonts + "DejaVuSans16.ini");
        gui.fonts["Large"] = std::make_unique<aFont>(fonts + "DejaVuSans28.ini");
        aFont* font = gui.GetFont("Small");

        GUI::StaticText text("Paragraph");
        text.SetSize(600, 30000);  // tall enough to draw every line
        text.SetFont(font);
        text.SetHorzFormatting(GUI::StaticText::FORMAT_WIDTH);
        text.SetText(paragraph(5000));
        const std::wstring plain = text.GetText();
        const auto nonSpace = std::size_t(std::count_if(plain.begin(), plain.end(), [](wchar_t c) { return c != L' '; }));
        text.UpdateSelf(0.0f);

        // An unchanged frame lays nothing out: a spacing written past the
        // setter would show in the height of a new layout.
        const float height = text.textHeight;
        text.lineSpacing = 100.0f;
        text.UpdateSelf(0.02f);
        const bool unchangedIdle = text.textHeight == height;
        text.lineSpacing = 0.0f;

        const auto timed = [&](const std::function<void()>& a, const std::function<void()>& b) {
            // The recorder's log is emptied after each step, untimed.
            return benchTurns(smoke ? 1 : kTurns, smoke ? 0.0 : kTurn, CLOCK_THREAD_CPUTIME_ID, {a, b},
                              [&] { recorder->clear(); });
        };
        BenchFreshTexts measured(plain);
        const BenchTurns layouts = timed(
            [&] {
                text.layoutDirty = true;
                text.UpdateSelf(0.0f);
            },
            [&] { (void)font->getStringSize(measured.next()); });
        graph->beginScene();
        const BenchTurns draws = timed([&] { text.DrawSelf(); },
                                       [&] {
                                           font->setScale(1.0f);
                                           font->drawString(0.0f, 0.0f, plain, 16);
                                       });
        recorder->clear();
        const double layout = layouts.median(0) * 1e3, measure = layouts.median(1) * 1e3;
        const double drawText = draws.median(0) * 1e3, drawString = draws.median(1) * 1e3;
        const double layoutRatio = layouts.ratio(0, 1), drawRatio = draws.ratio(0, 1);
        text.DrawSelf();
        const std::size_t glyphs = recorder->named("Sprite.Draw").size();
        recorder->clear();
        graph->endScene();

        std::printf("Paragraph of %zu characters in %u lines\n", plain.size(), text.lineCount);
        std::printf("layout %.3f ms against getStringSize %.3f ms: x%.2f (target %.0f)\n", layout, measure,
                    layoutRatio, kLayoutLimit);
        std::printf("drawing %.3f ms against drawString %.3f ms: x%.2f (target %.0f)\n", drawText, drawString,
                    drawRatio, kDrawLimit);
        if (text.lineCount < 10 || glyphs != nonSpace || !unchangedIdle) {
            std::printf("bench_static_text: %u lines, %zu glyphs drawn of %zu, idle frame %s\n", text.lineCount,
                        glyphs, nonSpace, unchangedIdle ? "quiet" : "laid out");
            status = 1;
        }
        const bool layoutMet = smoke || benchFigure("layout / getStringSize", layoutRatio, kLayoutLimit);
        const bool drawMet = smoke || benchFigure("drawing / drawString", drawRatio, kDrawLimit);
        if (!layoutMet || !drawMet) {
            std::printf("bench_static_text: a target missed\n");
            status = 1;
        }
    }
    aGraphServer::setDirect3DFactory(nullptr);
    aGraphServer::setDirectDrawFactory(nullptr);
    test_env::removeHome();
    return status;
}
