#include <cmath>
#include <cstring>

#include "game/shell/save_load_system.h"
#include "panel_fixture.h"

using namespace dialogtest;

namespace {

struct Bytes {
    std::vector<std::uint8_t> b;
    Bytes& u8(std::uint8_t v) { return b.push_back(v), *this; }
    Bytes& u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            b.push_back(std::uint8_t(v >> (8 * i)));
        return *this;
    }
    Bytes& f32(float v)
    {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        return u32(u);
    }
    Bytes& str(const std::string& s)
    {
        b.insert(b.end(), s.begin(), s.end());
        return u8(0);
    }
};

// A record: hints 2, the window shown, the blocker hidden, the map and card
// buttons enabled, the i-spy information and the folder shown, 90.5 s left
// and low, mode 1, two found names, the continue button shown, the
// recharge at 3 s.
Bytes golden(float pulse = 0.5f, float seconds = 90.5f, float timer = 3.0f)
{
    Bytes r;
    r.f32(pulse).u32(2).u8(1).u8(0).u8(1).u8(1).u8(1);
    r.u8(0).u8(0).u8(0).u8(1).u8(1).u8(0).u8(1).u8(1);
    r.f32(-2.0f).u8(0).u8(0).f32(0.25f).u8(1).f32(seconds).u32(1);
    r.u32(2).str("coin_1").str("");
    r.u8(1).u8(1).u8(1).f32(timer);
    return r;
}

std::vector<std::uint8_t> block(const std::vector<std::uint8_t>& record, std::uint32_t length)
{
    Bytes out;
    out.str(Panel::kEntityKey).u32(length);
    out.b.insert(out.b.end(), record.begin(), record.begin() + length);
    return out.b;
}

class PanelRecordTest : public PanelTest {
protected:
    bool load(const std::vector<std::uint8_t>& record, std::uint32_t length)
    {
        SaveLoadSystem system;
        if (!system.BeginLoadPayload(block(record, length), 1, "test"))
            return false;
        const bool ok = system.LoadEntity(panel.get());
        system.Finish();
        return ok;
    }
    // The panel's record as a save writes it.
    std::vector<std::uint8_t> saved()
    {
        const std::string path = test_env::home() + "/panel.save";
        SaveLoadSystem system;
        system.BeginSave(path, 4374);
        system.SaveEntity(panel.get());
        EXPECT_TRUE(system.Finish());
        std::string file = test_env::readFile(path);
        std::vector<std::uint8_t> payload(file.begin() + SaveLoadSystem::kHeaderSize, file.end());
        SaveLoadSystem::Scramble(payload.data(), std::uint32_t(payload.size()));
        const std::size_t start = std::strlen(Panel::kEntityKey) + 1 + 4;
        return std::vector<std::uint8_t>(payload.begin() + std::ptrdiff_t(start), payload.end());
    }
    // What a damaged load must leave as it was.
    std::string snapshot()
    {
        std::string s = std::to_string(panel->GetHintsCount()) + "/" + std::to_string(panel->GetClockTime()) + "/" +
                        std::to_string(panel->GetMode()) + "/" + std::to_string(panel->GetFoundNames().size()) +
                        "/" + std::to_string(panel->IsVisible()) + std::to_string(panel->IsBlockPause());
        for (std::size_t p = 0; p < Panel::PartCount; ++p)
            s += char('0' + part(Panel::Part(p))->IsVisible(true) + 2 * part(Panel::Part(p))->IsEnabled(true));
        return s;
    }
};

} // namespace

TEST_F(PanelRecordTest, GoldenRecordLoadsAndSavesByteForByte)
{
    const Bytes g = golden();
    EXPECT_EQ(g.b.size(), 44u + 7u + 1u + 7u);  // the names, then the last seven bytes
    panel->Hide();
    ASSERT_TRUE(load(g.b, std::uint32_t(g.b.size())));
    EXPECT_EQ(panel->GetHintsCount(), 2u);
    EXPECT_TRUE(panel->IsVisible());
    EXPECT_EQ(panel->GetClockTime(), 90.5f);
    EXPECT_TRUE(panel->IsLowTime());
    EXPECT_EQ(panel->GetMode(), 1);
    EXPECT_EQ(panel->GetFoundNames(), (std::vector<std::string>{"coin_1", ""}));
    EXPECT_EQ(panel->GetRechargeTimer(), 3.0f);
    // The quirks: block pause after every load, the notebooks and the continue holder switched.
    EXPECT_TRUE(panel->IsBlockPause());
    EXPECT_TRUE(part(Panel::NotebookISpy)->IsVisible(true));
    EXPECT_FALSE(part(Panel::NotebookNoISpy)->IsVisible(true));
    EXPECT_TRUE(part(Panel::ContinueBtnPanel)->IsVisible(true));
    EXPECT_EQ(saved(), g.b);

    // No found names: the count and then only the last seven bytes.
    panel->Clear();
    EXPECT_EQ(saved().size(), 44u + 7u);

    // Saved hidden: every byte that needs the window reads hidden, and loads so.
    ASSERT_TRUE(load(g.b, std::uint32_t(g.b.size())));
    panel->Hide();
    const auto hidden = saved();
    for (std::size_t at : {11, 13, 14, 15, 18, 19, 20})
        EXPECT_EQ(hidden.at(at), 0) << at;
    EXPECT_EQ(hidden.at(12), 1);
    EXPECT_EQ(hidden.at(16), 1);  // enabled, not visible
    panel->Show();
    ASSERT_TRUE(load(hidden, std::uint32_t(hidden.size())));
    EXPECT_FALSE(panel->IsVisible());
    EXPECT_FALSE(part(Panel::BtnMurderHunt)->IsVisible(true));
    EXPECT_FALSE(part(Panel::ContinueBtnPanel)->IsVisible(true));
}

TEST_F(PanelRecordTest, DamagedRecordsChangeNothing)
{
    const Bytes g = golden();
    panel->SetHintsCount(1);
    panel->SetClockTime(700.0f);
    panel->AddFoundItem("pipe");
    const std::string before = snapshot();
    for (std::uint32_t n = 0; n < g.b.size(); ++n) {
        EXPECT_FALSE(load(g.b, n)) << n;
        ASSERT_EQ(snapshot(), before) << n;
    }
    // A count above the bytes left.
    Bytes huge = golden();
    huge.b[42] = 0xFF;
    huge.b[43] = 0x7F;
    EXPECT_FALSE(load(huge.b, std::uint32_t(huge.b.size())));
    EXPECT_EQ(snapshot(), before);
    EXPECT_NE(takeLog().find("overran"), std::string::npos);

    // Floats that cannot be: logged, then 0 or clamped.
    const Bytes bad = golden(std::nanf(""), std::numeric_limits<float>::infinity(), -5.0f);
    ASSERT_TRUE(load(bad.b, std::uint32_t(bad.b.size())));
    EXPECT_EQ(panel->GetPulsePhase(), 0.0f);
    EXPECT_EQ(panel->GetClockTime(), 0.0f);
    EXPECT_EQ(panel->GetRechargeTimer(), 0.0f);
    const std::string log = takeLog();
    EXPECT_NE(log.find("Pulse phase nan is out of range, read as 0"), std::string::npos) << log;
    EXPECT_NE(log.find("Clock inf is out of range"), std::string::npos) << log;
    EXPECT_NE(log.find("Hint recharge timer -5 is out of range"), std::string::npos) << log;
    tick(3);
}
