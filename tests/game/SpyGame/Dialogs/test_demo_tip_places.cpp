// The demo's tips at their own points: each balloon lies on the screen, and
// its body clear of what it talks about, so the player can see and click
// that; only the tail reaches towards it.
#include <utility>

#include "tips_fixture.h"

using namespace dialogtest;

namespace {

struct Pointing {
    const char* tip;
    // What it points at: a window and, unless null, a widget inside it.
    std::vector<std::pair<const char*, const char*>> widgets;
};

const std::vector<Pointing>& pointings()
{
    using W = std::vector<std::pair<const char*, const char*>>;
    const W notebook = {{"SpyGameInterface", "notebook_ispy"}};
    const W glass = {{"SpyGameInterface", "btn_hint"}, {"SpyGameInterface", "hint_glass"}};
    const W hunt = {{"SpyGameInterface", "btn_murderhunt"}};
    static const std::vector<Pointing> table = {
        {"profile_change", {{"ProfileSelect", "List"}, {"ProfileSelect", "_auto_vscroll"}}},
        {"profile_open", {{"MainMenu", "ChangeProfile"}}},
        {"mh_first_ribbon_appear", {{"MainMenu", "AwardMH"}}},
        {"fa_first_ribbon_appear", {{"MainMenu", "AwardFA"}}},
        {"first_find_all_btn_appear", {{"MainMenu", "FindAll"}}},
        {"fa_btn_block", {{"MainMenu", "FindAll"}}},
        {"notepad", notebook},
        {"notepad_first_ispy_found", notebook},
        {"first_use_hint_on_list", notebook},
        {"idle_spy_room_2", notebook},
        {"use_hints", glass},
        {"click_disabled_hints", glass},
        {"click_hints_on_map", glass},
        {"hint_first_restore", glass},
        {"idle_spy_room_1", glass},
        {"time_less_two_minutes", {{"SpyGameInterface", "clock"}}},
        {"mh_first_sticker", hunt},
        {"mh_encrypted", hunt},
        {"mh_first_decrypted", hunt},
        {"map_tab", {{"SpyGameInterface", "btn_map"}, {"SpyGameInterface", "btn_cardroom"}}},
        {"skip",
         {{"SpyGameInterface", "skip_bonus_round_with_back"},
          {"SpyGameInterface", "skip_bonus_round_center"},
          {"SpyGameInterface", "Back"}}},
    };
    return table;
}

bool overlap(const aRect& a, const aRect& b)
{
    return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

std::string text(const aRect& r)
{
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

} // namespace

TEST_F(TipTest, DemoTipsStandClearOfWhatTheyPointAt)
{
    GUI::Widget* root = gui->GetRoot();
    for (const Pointing& p : pointings()) {
        tips->ResetCounters(true);
        ASSERT_TRUE(tips->ShowTip(p.tip)) << p.tip;
        aRect balloon = balloonRect();
        EXPECT_TRUE(balloon.x >= 0 && balloon.y >= 0 && balloon.right() <= 1024 && balloon.bottom() <= 768)
            << p.tip << " at " << text(balloon);
        // The body, without the strip of the tail that reaches to the point.
        const std::int32_t tail = tips->GetMetrics().arrowHeight;
        if (!(tips->GetQuarter() & 2))
            balloon.y = std::int16_t(balloon.y + tail);
        balloon.height = std::uint16_t(balloon.height - tail);
        for (const auto& [windowName, name] : p.widgets) {
            GUI::Widget* window = root->FindChild(windowName, true);
            ASSERT_NE(window, nullptr) << windowName;
            GUI::Widget* target = name ? window->FindChild(name, true) : window;
            ASSERT_NE(target, nullptr) << windowName << "/" << name;
            const aRect covered = target->GetAbsoluteRect();
            EXPECT_FALSE(overlap(balloon, covered))
                << p.tip << " at " << text(balloon) << " covers " << name << " at " << text(covered);
        }
        tips->HideTip();
    }
}
