#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include <signal.h>

#include "platform/system/events.h"
#include "platform/system/window.h"

using namespace platform;

namespace {

class MessageQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        messageQueue().reset();
        messageQueue().setSource(&script);
    }
    void TearDown() override
    {
        messageQueue().setSource(nullptr);
        messageQueue().reset();
    }

    std::unique_ptr<Window> makeWindow()
    {
        WindowDesc d;
        d.width = d.backBufferWidth = 32;
        d.height = d.backBufferHeight = 32;
        std::string error;
        auto w = Window::create(d, &error);
        EXPECT_TRUE(w) << error;
        return w;
    }

    ScriptedEventSource script;
};

TEST_F(MessageQueueTest, PostedComeFirstThenSourceThenStickyQuit)
{
    auto& q = messageQueue();
    script.push(nullptr, WM_PAINT);
    q.post(Message{nullptr, WM_SIZE, SIZE_MAXIMIZED, 7});
    q.postQuit(3);

    Message m;
    ASSERT_TRUE(q.peek(m));
    EXPECT_EQ(m.message, WM_SIZE);
    EXPECT_EQ(m.lParam, 7);
    ASSERT_TRUE(q.peek(m));
    EXPECT_EQ(m.message, WM_PAINT);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(q.peek(m));
        EXPECT_EQ(m.message, WM_QUIT);
        EXPECT_EQ(m.wParam, 3u);
    }
    EXPECT_FALSE(q.get(m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(script.waits, 0);

    q.reset();
    EXPECT_FALSE(q.quitPosted());
    EXPECT_FALSE(q.peek(m));
}

TEST_F(MessageQueueTest, GetWaitsOnSourceUntilScriptCloses)
{
    auto window = makeWindow();
    ASSERT_TRUE(window);
    Message m;
    ASSERT_TRUE(messageQueue().get(m));
    EXPECT_EQ(m.message, WM_CLOSE);
    EXPECT_EQ(m.window, window.get());
    EXPECT_EQ(script.waits, 1);
}

TEST_F(MessageQueueTest, DispatchAndSendReachTheWindowProc)
{
    auto window = makeWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(sendMessage(window.get(), WM_PAINT, 0, 0), 0);  // no proc yet

    std::vector<Message> seen;
    window->setProc([&](HWND h, std::uint32_t msg, WPARAM wp, LPARAM lp) -> LRESULT {
        seen.push_back(Message{h, msg, wp, lp});
        return 40 + static_cast<LRESULT>(seen.size());
    });
    EXPECT_EQ(sendMessage(window.get(), WM_ACTIVATEAPP, 1, 2), 41);
    EXPECT_EQ(dispatchMessage(Message{window.get(), WM_CLOSE, 0, 0}), 42);
    EXPECT_EQ(dispatchMessage(Message{nullptr, WM_CLOSE, 0, 0}), 0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].window, window.get());
    EXPECT_EQ(seen[0].message, WM_ACTIVATEAPP);
    EXPECT_EQ(seen[0].wParam, 1u);
    EXPECT_EQ(seen[0].lParam, 2);
    EXPECT_EQ(seen[1].message, WM_CLOSE);
}

TEST_F(MessageQueueTest, PostedToDestroyedWindowIsDropped)
{
    auto window = makeWindow();
    ASSERT_TRUE(window);
    messageQueue().post(Message{window.get(), WM_PAINT, 0, 0});
    messageQueue().post(Message{nullptr, WM_SIZE, 0, 0});
    window.reset();
    Message m;
    ASSERT_TRUE(messageQueue().peek(m));
    EXPECT_EQ(m.message, WM_SIZE);
    EXPECT_FALSE(messageQueue().peek(m));
}

TEST_F(MessageQueueTest, SdlEventsAreTranslatedForOurWindowsOnly)
{
    auto window = makeWindow();
    ASSERT_TRUE(window);
    messageQueue().setSource(nullptr);
    Message m;
    while (messageQueue().peek(m)) {
    }

    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = window->sdlId() + 1000;  // not ours
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    e.window.windowID = window->sdlId();
    e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);

    // wait() must not lose the event it wakes up on.
    sdlEventSource().wait();
    ASSERT_TRUE(messageQueue().peek(m));
    EXPECT_EQ(m.window, window.get());
    EXPECT_EQ(m.message, WM_ACTIVATEAPP);
    EXPECT_EQ(m.wParam, 0u);
    // The window's close may be refused by the game, a quit request never:
    // the two are told apart.
    ASSERT_TRUE(messageQueue().peek(m));
    EXPECT_EQ(m.message, WM_CLOSE);
    EXPECT_EQ(m.window, window.get());
    EXPECT_EQ(m.wParam, kCloseFromWindow);
    ASSERT_TRUE(messageQueue().peek(m));
    EXPECT_EQ(m.message, WM_CLOSE);
    EXPECT_EQ(m.window, window.get());
    EXPECT_EQ(m.wParam, kCloseFromSignal);
    while (messageQueue().peek(m))
        EXPECT_NE(m.message, WM_CLOSE);
}

TEST_F(MessageQueueTest, SignalClosesAtTheNextLookForEventsOncePerDrain)
{
    auto window = makeWindow();
    ASSERT_TRUE(window);
    messageQueue().setSource(nullptr);
    Message m;
    while (messageQueue().peek(m)) {
    }
    // SDL notes SIGTERM in a handler of its own and queues the quit when it
    // next asks the window system for events.
    struct sigaction current{};
    ASSERT_EQ(::sigaction(SIGTERM, nullptr, &current), 0);
    if (current.sa_handler == SIG_DFL || current.sa_handler == SIG_IGN)
        GTEST_SKIP() << "SDL handles no SIGTERM here";

    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = window->sdlId();
    e.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    ASSERT_EQ(::raise(SIGTERM), 0);
    // What was queued comes first, then what asking brought.
    ASSERT_TRUE(messageQueue().peek(m));
    EXPECT_EQ(m.message, WM_ACTIVATEAPP);
    ASSERT_TRUE(messageQueue().peek(m));
    EXPECT_EQ(m.message, WM_CLOSE);
    EXPECT_EQ(m.wParam, kCloseFromSignal);
    EXPECT_EQ(m.window, window.get());

    // This drain has asked already: a signal now is told in the next one.
    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_FALSE(messageQueue().peek(m));
    ASSERT_TRUE(messageQueue().peek(m));
    EXPECT_EQ(m.message, WM_CLOSE);
    EXPECT_EQ(m.wParam, kCloseFromSignal);
    EXPECT_FALSE(messageQueue().peek(m));
}

} // namespace
