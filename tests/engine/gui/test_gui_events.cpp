// Property sets, events, event sets and connections.
#include <gtest/gtest.h>

#include <functional>

#include "engine/gui/gui_widget.h"
#include "engine/util/text_test_log.h"

using namespace GUI;
using Names = std::vector<std::string>;

namespace {

struct Props : PropertySet {
    Props()
    {
        AddProperty("AreaRect", &rect);
        AddProperty("Value", &value);
        AddProperty("areaRect", &value);
        AddProperty("Null", nullptr);
    }
    std::string GetLogName() const override { return "props"; }
    Property rect, value;
};

struct Handler : Subscriber {
    explicit Handler(std::function<bool()> f) : body(std::move(f)) {}
    bool operator()(const EventArgs&) override { return body(); }
    std::function<bool()> body;
};

} // namespace

TEST(GuiProperties, NamesReadersAndFills)
{
    TestLog log;
    Props p;
    p.Set("areaRECT", "1 2 3 4");
    p.Set("AREARECT", "10 20");
    p.Set("Missing", "x");
    EXPECT_EQ(p.rect.AsRect(), aRect(10, 20, 0, 0));
    EXPECT_EQ(log.count("PropertySet::AddProperty - property 'areaRect' already exists"), 1u);
    EXPECT_EQ(log.count("PropertySet::Set - property 'Missing' not found"), 1u);
    // A fill clears isSet; template and own lines of one fill both count.
    p.BeginFillProperties();
    EXPECT_FALSE(p.rect.isSet);
    p.Set("value", "v");
    p.Set("arearect", "0 0 5 5");
    EXPECT_TRUE(p.rect.isSet && p.value.isSet);

    struct Case {
        const char* text;
        std::int32_t asInt;
        std::uint32_t asHex;
    };
    for (const Case& c : {Case{"017", 15, 0x17}, Case{"0x1F", 31, 0x1F}, Case{"yes", 0, 0}, Case{"2", 2, 2},
                          Case{"0x1", 1, 1}, Case{" -3", -3, 0xFFFFFFFD}, Case{"4294967297", 1, 0x94967297},
                          Case{"", 0, 0}, Case{"ff00FF00", 0, 0xFF00FF00}}) {
        p.value.value = c.text;
        EXPECT_TRUE(p.value.AsInt() == c.asInt && p.value.AsHex() == c.asHex) << c.text;
        EXPECT_EQ(p.value.AsBool(), c.asInt != 0) << c.text;
    }
    p.value.value = "1.5e0 junk";
    EXPECT_EQ(p.value.AsFloat(), 1.5f);
    p.value.value = "nan";
    EXPECT_EQ(p.value.AsFloat(), 0.0f);
    float a = 7, b = 8;
    p.value.value = "2.5";
    p.value.AsFloatPair(a, b);
    EXPECT_TRUE(a == 2.5f && b == 8.0f);
    std::uint32_t color[4] = {9, 9, 9, 9};
    p.value.value = "ff 0x10 zz";
    p.value.AsColor(color);
    EXPECT_EQ((std::vector<std::uint32_t>(color, color + 4)), (std::vector<std::uint32_t>{0xFF, 0x10, 0, 0}));
    // Negative sizes become 0, with a line naming object and property.
    p.rect.value = "-1 -2 -3 40";
    EXPECT_EQ(p.rect.AsRect(), aRect(-1, -2, 0, 40));
    EXPECT_EQ(log.count("'props' property 'AreaRect': negative size"), 1u);
}

TEST(GuiEvents, FiringOrderResultsAndMissingNames)
{
    TestLog log;
    EventSet set;
    set.AddEvent("Click");
    set.AddEvent("CLICK");
    EXPECT_EQ(log.count("EventSet::AddEvent - event CLICK already exists"), 1u);
    EventArgs args;
    set.LaunchEvent("click", args);
    EXPECT_FALSE(args.handled);

    Names order;
    Handler t([&] { order.push_back("t"); return true; });
    Handler f([&] { order.push_back("f"); return false; });
    set.SubscribeEvent("Click", &t);
    set.SubscribeEvent("click", &f);
    set.LaunchEvent("CLICK", args);
    EXPECT_TRUE(args.handled);
    EXPECT_EQ(order, (Names{"t", "f"}));
    set.SubscribeEvent("Click", &t);  // replaces its first subscription
    EXPECT_EQ(set.GetEvent("Click")->GetSubscriberCount(), 2u);

    Handler never([] { ADD_FAILURE() << "called"; return true; });
    const Connection missing = set.SubscribeEvent("Nope", &never);
    EXPECT_EQ(log.count("EventSet::SubscribeEvent - event Nope not found"), 1u);
    EXPECT_TRUE(!missing.IsConnected() && missing.GetSubscriber() != &never);
    EXPECT_FALSE((*missing.GetSubscriber())(args));
    missing.Unsubscribe();
    set.LaunchEvent("Nope", args);
    EXPECT_EQ(log.count("EventSet::LaunchEvent - event 'Nope' not found"), 1u);
    const Widget w("w");
    for (const char* name : kWidgetEventNames)
        EXPECT_NE(w.GetEvent(name), nullptr) << name;
}

TEST(GuiEvents, SubscriptionsChangingWhileFiring)
{
    EventSet set;
    set.AddEvent("E");
    Names calls;
    Connection selfConn, otherConn;
    Handler late([&] { calls.push_back("late"); return false; });
    Handler self([&] { calls.push_back("self"); selfConn.Unsubscribe(); return false; });
    Handler killer([&] {
        calls.push_back("killer");
        otherConn.Unsubscribe();
        if (calls.size() == 2)
            set.SubscribeEvent("E", &late);
        return false;
    });
    Handler other([&] { calls.push_back("other"); return false; });
    selfConn = set.SubscribeEvent("E", &self);
    set.SubscribeEvent("E", &killer);
    otherConn = set.SubscribeEvent("E", &other);
    set.LaunchEvent("E", EventArgs());
    set.LaunchEvent("E", EventArgs());
    EXPECT_EQ(calls, (Names{"self", "killer", "killer", "late"}));
    EXPECT_FALSE(selfConn.IsConnected());

    // A handler deleting the widget whose event fires: later subscribers
    // are not called, and the connections outlive the widget detached.
    auto* w = new Widget("doomed");
    Handler del([&] { delete w; return true; });
    Handler after([&] { calls.push_back("after"); return true; });
    const Connection c1 = w->SubscribeEvent("Click", &del);
    const Connection c2 = w->SubscribeEvent("Click", &after);
    w->OnClick(MouseEventArgs(w));
    EXPECT_EQ(calls.size(), 4u);
    EXPECT_TRUE(!c1.IsConnected() && !c2.GetEvent());
    c2.Unsubscribe();
}
