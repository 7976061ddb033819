// Property sets, events, event sets and connections.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "engine/gui/gui_event.h"
#include "engine/gui/gui_property_set.h"
#include "engine/gui/gui_widget.h"
#include "engine/util/text_test_log.h"

using namespace GUI;

namespace {

class Props : public PropertySet {
public:
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

// A subscriber running any code.
struct Handler : Subscriber {
    std::function<bool(const EventArgs&)> body;
    explicit Handler(std::function<bool(const EventArgs&)> f) : body(std::move(f)) {}
    bool operator()(const EventArgs& a) override { return body(a); }
};

} // namespace

TEST(GuiProperties, NamesReadersAndFills)
{
    TestLog log;
    Props p;
    EXPECT_EQ(log.count("PropertySet::AddProperty - property 'areaRect' already exists"), 1u);
    p.Set("areaRECT", "1 2 3 4");
    p.Set("AREARECT", "10 20");
    p.Set("Missing", "x");
    EXPECT_EQ(log.count("PropertySet::Set - property 'Missing' not found"), 1u);
    EXPECT_TRUE(p.rect.isSet);
    EXPECT_EQ(p.rect.AsRect(), aRect(10, 20, 0, 0));

    // isSet survives a second fill only for what it names again.
    p.BeginFillProperties();
    EXPECT_FALSE(p.rect.isSet);
    p.Set("value", "v");
    p.Set("arearect", "0 0 5 5");
    EXPECT_TRUE(p.rect.isSet && p.value.isSet);

    struct IntCase {
        const char* text;
        std::int32_t asInt;
        std::uint32_t asHex;
        bool asBool;
    };
    for (const IntCase& c : {IntCase{"017", 15, 0x17, true}, IntCase{"0x1F", 31, 0x1F, true},
                             IntCase{"yes", 0, 0, false}, IntCase{"2", 2, 2, true}, IntCase{"0x1", 1, 1, true},
                             IntCase{" -3", -3, 0xFFFFFFFD, true}, IntCase{"4294967297", 1, 0x94967297, true},
                             IntCase{"", 0, 0, false}, IntCase{"ff00FF00", 0, 0xFF00FF00, false}}) {
        p.value.value = c.text;
        EXPECT_EQ(p.value.AsInt(), c.asInt) << c.text;
        EXPECT_EQ(p.value.AsHex(), c.asHex) << c.text;
        EXPECT_EQ(p.value.AsBool(), c.asBool) << c.text;
    }
    p.value.value = "1.5e0 junk";
    EXPECT_EQ(p.value.AsFloat(), 1.5f);
    p.value.value = "nan";
    EXPECT_EQ(p.value.AsFloat(), 0.0f);
    float a = 7, b = 8;
    p.value.value = "2.5";
    p.value.AsFloatPair(a, b);
    EXPECT_EQ(a, 2.5f);
    EXPECT_EQ(b, 8.0f);
    std::uint32_t color[4] = {9, 9, 9, 9};
    p.value.value = "ff 0x10 zz";
    p.value.AsColor(color);
    EXPECT_EQ(color[0], 0xFFu);
    EXPECT_EQ(color[1], 0x10u);
    EXPECT_EQ(color[2], 0u);
    EXPECT_EQ(color[3], 0u);

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

    std::vector<int> order;
    Handler t([&](const EventArgs&) { order.push_back(1); return true; });
    Handler f([&](const EventArgs&) { order.push_back(2); return false; });
    set.SubscribeEvent("Click", &t);
    set.SubscribeEvent("click", &f);
    set.LaunchEvent("CLICK", args);
    EXPECT_TRUE(args.handled);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));

    // A second subscription of one subscriber replaces the first.
    set.SubscribeEvent("Click", &t);
    EXPECT_EQ(set.GetEvent("Click")->GetSubscriberCount(), 2u);

    Handler never([](const EventArgs&) -> bool { ADD_FAILURE() << "called"; return true; });
    const Connection missing = set.SubscribeEvent("Nope", &never);
    EXPECT_EQ(log.count("EventSet::SubscribeEvent - event Nope not found"), 1u);
    EXPECT_FALSE(missing.IsConnected());
    ASSERT_NE(missing.GetSubscriber(), nullptr);
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
    std::vector<std::string> calls;
    Connection selfConn, otherConn;
    bool lateAdded = false;
    Handler late([&](const EventArgs&) { calls.push_back("late"); return false; });
    Handler self([&](const EventArgs&) { calls.push_back("self"); selfConn.Unsubscribe(); return false; });
    Handler killer([&](const EventArgs&) {
        calls.push_back("killer");
        otherConn.Unsubscribe();
        if (!lateAdded)
            set.SubscribeEvent("E", &late);
        lateAdded = true;
        return false;
    });
    Handler other([&](const EventArgs&) { calls.push_back("other"); return false; });
    selfConn = set.SubscribeEvent("E", &self);
    set.SubscribeEvent("E", &killer);
    otherConn = set.SubscribeEvent("E", &other);

    set.LaunchEvent("E", EventArgs());
    EXPECT_EQ(calls, (std::vector<std::string>{"self", "killer"}));
    EXPECT_FALSE(selfConn.IsConnected());
    calls.clear();
    set.LaunchEvent("E", EventArgs());
    EXPECT_EQ(calls, (std::vector<std::string>{"killer", "late"}));

    // A handler deleting the widget whose event fires; later subscribers are
    // not called, and the connections outlive the widget as detached.
    auto* w = new Widget("doomed");
    Handler del([&](const EventArgs&) { delete w; return true; });
    Handler after([&](const EventArgs&) { calls.push_back("after"); return true; });
    const Connection c1 = w->SubscribeEvent("Click", &del);
    const Connection c2 = w->SubscribeEvent("Click", &after);
    calls.clear();
    w->OnClick(MouseEventArgs(w));
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(c1.IsConnected());
    EXPECT_EQ(c2.GetEvent(), nullptr);
    c2.Unsubscribe();
}
