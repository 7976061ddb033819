// Test entry point. Every test process runs headless (offscreen video, dummy
// audio) and every test gets its own HOME, XDG_DATA_HOME and TMPDIR under a
// fresh temporary folder, removed afterwards. Sanitizer options and leak
// suppressions are built in, so a test behaves the same however it is run.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "a2d_test_config.h"
#include "platform/gfx/d3d8.h"
#include "support/test_env.h"

extern "C" {
// Read by the sanitizer runtimes at start-up. The runtime's tracking of
// dynamic TLS guesses block bounds from a header old C libraries wrote; on
// ours, a block that lands 16 bytes into a page gives garbage bounds and the
// leak checker's tracer crashes at exit, depending only on memory layout.
const char* __asan_default_options()
{
    return "halt_on_error=1:abort_on_error=0:detect_leaks=1:intercept_tls_get_addr=0";
}
const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }
// Allocations the GL driver, the window system and font libraries keep until exit.
const char* __lsan_default_suppressions() { return A2D_LSAN_SUPPRESSIONS; }
}

namespace {

class TempHomeListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { test_env::makeFreshHome(); }
    void OnTestEnd(const ::testing::TestInfo&) override { test_env::removeHome(); }
};

// The frame check the run was started with: each frame drawn in part or left
// as it was compared with a whole redraw (A2D_CHECK_FRAMES), or drawn whole
// instead (A2D_WHOLE_FRAMES, which wins when both are set).
enum class FrameCheck { None, Compare, Whole };

FrameCheck frameCheckOfRun()
{
    if (test_env::switchedOn("A2D_WHOLE_FRAMES"))
        return FrameCheck::Whole;
    return test_env::switchedOn("A2D_CHECK_FRAMES") ? FrameCheck::Compare : FrameCheck::None;
}

// With a frame check on, a test that drew frames in part or left them as
// they were, and had none of them compared (or drawn whole), fails by
// itself: its devices were made with the check off. So does a test whose
// frames differ from a whole redraw.
class FrameCheckListener : public ::testing::EmptyTestEventListener {
public:
    explicit FrameCheckListener(FrameCheck check) : m_check(check) {}

    void OnTestStart(const ::testing::TestInfo&) override { m_start = platform::frameCheckTotals(); }

    void OnTestEnd(const ::testing::TestInfo&) override
    {
        const platform::FrameCheckTotals now = platform::frameCheckTotals();
        const std::uint64_t notWhole = now.notWhole - m_start.notWhole;
        const std::uint64_t checked = now.checked - m_start.checked;
        const std::uint64_t forcedWhole = now.forcedWhole - m_start.forcedWhole;
        if (m_check == FrameCheck::Compare) {
            EXPECT_EQ(now.mismatched - m_start.mismatched, 0u)
                << "frames drawn in part or left as they were differ from a whole redraw (A2D_CHECK_FRAMES)";
            if (notWhole > 0 && checked == 0)
                ADD_FAILURE() << notWhole << " frames drawn in part or left as they were, none of them compared "
                              << "with a whole redraw although A2D_CHECK_FRAMES is on";
        } else if (m_check == FrameCheck::Whole && notWhole > 0 && forcedWhole == 0) {
            ADD_FAILURE() << notWhole << " frames drawn in part or left as they were, none drawn whole "
                          << "although A2D_WHOLE_FRAMES is on";
        }
    }

private:
    FrameCheck m_check;
    platform::FrameCheckTotals m_start;
};

// A run with a frame check on fails unless it dealt with frames: a selection
// of tests that never draws a frame in part (or leaves one as it was) would
// pass such a run having checked nothing.
int frameChecksResult(FrameCheck check)
{
    const platform::FrameCheckTotals totals = platform::frameCheckTotals();
    int result = 0;
    if (check == FrameCheck::Compare) {
        std::printf("A2D_CHECK_FRAMES: %llu frames drawn in part or left as they were compared with a whole "
                    "redraw, %llu of them differing\n",
                    static_cast<unsigned long long>(totals.checked),
                    static_cast<unsigned long long>(totals.mismatched));
        if (totals.checked == 0 || totals.mismatched > 0)
            result = 1;
    }
    if (check == FrameCheck::Whole) {
        std::printf("A2D_WHOLE_FRAMES: %llu frames drawn whole that skipping would have drawn in part or left as "
                    "they were\n",
                    static_cast<unsigned long long>(totals.forcedWhole));
        if (totals.forcedWhole == 0)
            result = 1;
    }
    if (result)
        std::printf("FAILED: the frame checks of this run %s\n",
                    totals.mismatched > 0 ? "found frames that differ" : "checked no frame");
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    // Tests may choose other drivers themselves; these are the defaults.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("A2D_TEST_SOURCE_DIR", A2D_TEST_SOURCE_DIR, 0);
    setenv("A2D_GAME_BINARY", A2D_GAME_BINARY, 0);

    ::testing::InitGoogleTest(&argc, argv);
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
    ::testing::UnitTest::GetInstance()->listeners().Append(new TempHomeListener);
    const FrameCheck check = frameCheckOfRun();
    ::testing::UnitTest::GetInstance()->listeners().Append(new FrameCheckListener(check));
    const int result = RUN_ALL_TESTS();
    if (::testing::GTEST_FLAG(list_tests))
        return result;
    return frameChecksResult(check) ? 1 : result;
}
