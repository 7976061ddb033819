#include <cmath>
#include <cstring>
#include <limits>

#include "game/shell/save_load_system.h"
#include "panel_fixture.h"

using namespace dialogtest;

namespace {

// Hints 2, the window shown, the blocker hidden, map and cards enabled, the
// i-spy notebook and the folder shown, 90.5 s left and low, mode 1, two found
// names, the continue button shown, the recharge at 3 s.
Bytes golden(float pulse = 0.5f, float seconds = 90.5f, float timer = 3.0f)
{
    Bytes r;
    const float value = -2.0f, frame = 0.25f;
    const std::uint32_t hints = 2, mode = 1, names = 2;
    put(r, &pulse, 4);
    put(r, &hints, 4);
    for (int b : {1, 0, 1, 1, 1, 0, 0, 0, 1, 1, 0, 1, 1})
        r.push_back(std::uint8_t(b));
    put(r, &value, 4);
    r.insert(r.end(), {0, 0});
    put(r, &frame, 4);
    r.push_back(1);
    put(r, &seconds, 4);
    put(r, &mode, 4);
    put(r, &names, 4);
    put(r, "coin_1\0\0\1\1\1", 11);
    put(r, &timer, 4);
    return r;
}

class PanelRecordTest : public PanelTest {
protected:
    bool load(const Bytes& record, std::size_t length) { return loadRecord(*panel, record, length); }
    Bytes saved() { return savedRecord(*panel); }
    std::string snapshot()
    {
        std::string s = std::to_string(panel->GetHintsCount()) + std::to_string(panel->GetClockTime()) +
                        std::to_string(panel->GetFoundNames().size()) + std::to_string(panel->IsBlockPause());
        for (std::size_t p = 0; p < Panel::PartCount; ++p)
            s += char('0' + part(Panel::Part(p))->IsVisible(true) + 2 * part(Panel::Part(p))->IsEnabled(true));
        return s;
    }
};

} // namespace

TEST_F(PanelRecordTest, GoldenRecordLoadsAndSavesByteForByte)
{
    const Bytes g = golden();
    panel->Hide();
    ASSERT_TRUE(load(g, g.size()));
    EXPECT_TRUE(panel->IsVisible() && panel->GetHintsCount() == 2 && panel->GetMode() == 1);
    EXPECT_TRUE(panel->GetClockTime() == 90.5f && panel->IsLowTime() && panel->GetRechargeTimer() == 3.0f);
    EXPECT_EQ(panel->GetFoundNames(), (std::vector<std::string>{"coin_1", ""}));
    // The quirks: block pause after every load; the notebooks and the continue holder switched.
    EXPECT_TRUE(panel->IsBlockPause() && part(Panel::NotebookISpy)->IsVisible(true));
    EXPECT_FALSE(part(Panel::NotebookNoISpy)->IsVisible(true));
    EXPECT_TRUE(part(Panel::ContinueBtnPanel)->IsVisible(true));
    EXPECT_EQ(saved(), g);
    panel->Clear();
    EXPECT_EQ(saved().size(), 44u + 7u);  // no names: the count, then the last seven bytes

    // Saved hidden: the bytes that need the window read hidden, and load so.
    ASSERT_TRUE(load(g, g.size()));
    panel->Hide();
    const Bytes hidden = saved();
    for (std::size_t at : {11, 13, 14, 15, 18, 19, 20})
        EXPECT_EQ(hidden[at], 0) << at;
    EXPECT_TRUE(hidden[12] == 1 && hidden[16] == 1);
    panel->Show();
    ASSERT_TRUE(load(hidden, hidden.size()));
    EXPECT_FALSE(panel->IsVisible() || part(Panel::BtnMurderHunt)->IsVisible(true));
}

TEST_F(PanelRecordTest, DamagedRecordsChangeNothing)
{
    const Bytes g = golden();
    panel->SetHintsCount(1);
    panel->SetClockTime(700.0f);
    panel->AddFoundItem("pipe");
    const std::string before = snapshot();
    for (std::size_t n = 0; n < g.size(); ++n) {
        EXPECT_FALSE(load(g, n)) << n;
        ASSERT_EQ(snapshot(), before) << n;
    }
    Bytes huge = g;
    huge[43] = 0x7F;  // a name count far above the bytes left
    EXPECT_FALSE(load(huge, huge.size()));
    EXPECT_EQ(snapshot(), before);

    // Values the panel never saves: refused, each named.
    const Bytes bad = golden(std::nanf(""), std::numeric_limits<float>::infinity(), -5.0f);
    EXPECT_FALSE(load(bad, bad.size()));
    EXPECT_EQ(snapshot(), before);
    const std::string log = takeLog();
    for (const char* line : {"Pulse phase nan is out of range", "Clock inf is out", "recharge timer -5 is out"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    tick(3);
}
