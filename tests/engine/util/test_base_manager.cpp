// The resource-manager base: lists, the queue, load costs and time slices.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/util/a_base_manager.h"
#include "engine/util/a_log.h"
#include "platform/system/clock.h"
#include "support/test_env.h"

namespace {

class FakeManager : public aBaseManager {
public:
    explicit FakeManager(platform::ManualClock* clock = nullptr, double msPerFile = 0) : m_clock(clock), m_ms(msPerFile)
    {
    }

    std::string GetNameFromLine(const std::string& line) override { return line.substr(0, line.find(' ')); }
    bool UnloadFile(const std::string& line, const std::string& group) override
    {
        unloaded.push_back(line + "|" + group);
        return true;
    }
    void LoadFile(const std::string& directory, const std::string& line, const std::string& group) override
    {
        loaded.push_back(directory + line + "|" + group);
        const TaskFile* t = GetCurrentTask();
        tasks.push_back(t ? t->task : "<none>");
        if (m_clock)
            m_clock->advanceMs(m_ms);
        if (line.find("throw") != std::string::npos)
            throw std::runtime_error("broken entry");
    }

    std::vector<std::string> loaded;
    std::vector<std::string> tasks;
    std::vector<std::string> unloaded;

private:
    platform::ManualClock* m_clock;
    double m_ms;
};

class BaseManagerTest : public testing::Test {
protected:
    void SetUp() override
    {
        platform::setClock(&clock);
        dir = test_env::home() + "/data/";
        logPath = test_env::home() + "/test.log";
        g_logFile = std::fopen(logPath.c_str(), "w");
    }
    void TearDown() override
    {
        a_closeLog();
        platform::setClock(nullptr);
    }
    std::string log()
    {
        std::fflush(g_logFile);
        return test_env::readFile(logPath);
    }
    std::string list(const std::string& name, const std::string& text)
    {
        test_env::writeFile(dir + name, text);
        return dir + name;
    }
    // A file of the given size.
    void file(const std::string& name, std::size_t size) { test_env::writeFile(dir + name, std::string(size, 'x')); }

    platform::ManualClock clock;
    std::string dir;
    std::string logPath;
};

} // namespace

TEST_F(BaseManagerTest, OpenListKeepsTheOpenListAndLoadListLoadsEveryLine)
{
    FakeManager m;
    const std::string a = list("a.list", "one.png 16 32\r\ntwo.png\r\n\r\n");
    m.LoadList(a, "grp");
    EXPECT_EQ(m.loaded, (std::vector<std::string>{dir + "one.png 16 32|grp", dir + "two.png|grp"}));
    EXPECT_EQ(m.tasks, (std::vector<std::string>{"<none>", "<none>"}));
    EXPECT_EQ(m.GetListSize(a), 2u);

    list("a.list", "three.png\n");
    EXPECT_EQ(m.GetListSize(a), 2u);  // not read again while it is the open list
    const std::string b = list("b.list", "x\n");
    EXPECT_EQ(m.GetListSize(b), 1u);
    EXPECT_EQ(m.GetListSize(a), 1u);

    std::list<std::string> names;
    m.GetListNames(a, names);
    EXPECT_EQ(names, (std::list<std::string>{dir + "three.png"}));
    // Unloading takes what the list loaded, not what it holds now, and
    // reads nothing: the list may be gone.
    std::filesystem::remove(a);
    m.UnloadList(a, "grp");
    EXPECT_EQ(m.unloaded, (std::vector<std::string>{"one.png 16 32|grp", "two.png|grp"}));
    // Once only; a list never loaded is read.
    m.UnloadList(b, "grp");
    EXPECT_EQ(m.unloaded, (std::vector<std::string>{"one.png 16 32|grp", "two.png|grp", "x|grp"}));
}

TEST_F(BaseManagerTest, DuplicateEntryLogsOnceAndLoadsTwice)
{
    FakeManager m;
    m.AddListToTask(list("d.list", "a.png\nb.png\na.png\n"), "", "");
    EXPECT_TRUE(m.IsExist(dir + "a.png"));
    EXPECT_FALSE(m.IsExist(dir + "c.png"));
    const std::string text = log();
    const std::string message = "aBaseManager::AddFileToTask : Iterative adding file to task  \"" + dir + "a.png\"";
    ASSERT_NE(text.find(message), std::string::npos);
    EXPECT_EQ(text.find(message), text.rfind(message));
    m.LoadAll();
    EXPECT_EQ(m.loaded.size(), 3u);
    EXPECT_EQ(m.GetTaskCount(), 0u);
    EXPECT_FALSE(m.IsExist(dir + "a.png"));
}

TEST_F(BaseManagerTest, EmptyListAddsAndLogsNothing)
{
    FakeManager m;
    m.AddListToTask(list("e.list", ""), "", "");
    EXPECT_EQ(m.GetTaskCount(), 0u);
    EXPECT_EQ(log(), "");
}

TEST_F(BaseManagerTest, LoadCosts)
{
    FakeManager m;
    m.SetLoadCost("png", 15.230181f, 1024);
    file("small.png", 10);
    file("big.png", 4000);
    file("x.dat", 77);
    EXPECT_FLOAT_EQ(m.LoadCost(dir + "small.png"), 15.230181f * 1024.0f);
    EXPECT_FLOAT_EQ(m.LoadCost(dir + "big.png"), 15.230181f * 4000.0f);
    EXPECT_FLOAT_EQ(m.LoadCost(dir + "x.dat"), 77.0f);

    m.AddFileToTask(dir, "x.dat", "", "");
    m.AddFileToTask(dir, "small.png", "", "");
    std::list<float> costs;
    m.GetTaskCosts(costs);
    EXPECT_EQ(costs, (std::list<float>{77.0f, 15.230181f * 1024.0f}));
}

TEST_F(BaseManagerTest, TimeSlices)
{
    // A budget of 0 still loads one file per call.
    {
        FakeManager m(&clock, 30);
        for (int i = 0; i < 4; ++i) {
            file("f" + std::to_string(i) + ".dat", 100);
            m.AddFileToTask(dir, "f" + std::to_string(i) + ".dat", "", "task");
        }
        std::list<float> costs;
        m.GetTaskCosts(costs);
        for (std::size_t step = 1; step <= 4; ++step) {
            aBaseManager::Progress p{platform::getTickCount(), 0.0f, 0};
            m.ProcessTasks(costs, p);
            EXPECT_EQ(m.loaded.size(), step);
        }
        EXPECT_EQ(m.tasks[0], "task");
        EXPECT_TRUE(m.IsTasksDone());
    }
    // Files of 30 ms with equal costs: three fit into 100 ms.
    {
        FakeManager m(&clock, 30);
        for (int i = 0; i < 7; ++i)
            m.AddFileToTask(dir, "f0.dat", "", "");
        std::list<float> costs;
        m.GetTaskCosts(costs);
        std::vector<std::size_t> perStep;
        while (!m.IsTasksDone()) {
            const std::size_t before = m.loaded.size();
            aBaseManager::Progress p{platform::getTickCount(), 0.0f, 100};
            m.ProcessTasks(costs, p);
            perStep.push_back(m.loaded.size() - before);
        }
        EXPECT_EQ(perStep, (std::vector<std::size_t>{3, 3, 1}));
    }
}

TEST_F(BaseManagerTest, ProcessTasksOnNothingToDoIsHarmless)
{
    FakeManager m(&clock, 1);
    std::list<float> costs;
    aBaseManager::Progress p{0, 0.0f, 100};
    m.ProcessTasks(costs, p);  // empty
    EXPECT_TRUE(m.loaded.empty());

    m.AddFileToTask(dir, "a", "", "");
    m.ProcessTasks(costs, p);
    m.ProcessTasks(costs, p);  // finished
    EXPECT_EQ(m.loaded.size(), 1u);

    m.RewindTasks();
    m.ProcessTasks(costs, p);  // rewound: loads again
    EXPECT_EQ(m.loaded.size(), 2u);

    m.ClearTasks();
    m.ProcessTasks(costs, p);  // cleared
    EXPECT_EQ(m.loaded.size(), 2u);

    // A missing first file gives a zero total: the step ends without a trap.
    FakeManager z(&clock, 5);
    z.AddFileToTask(dir, "missing.png", "", "");
    z.AddFileToTask(dir, "missing2.png", "", "");
    z.GetTaskCosts(costs);
    aBaseManager::Progress q{platform::getTickCount(), 0.0f, 100};
    z.ProcessTasks(costs, q);
    EXPECT_EQ(z.loaded.size(), 1u);
}

TEST_F(BaseManagerTest, ThrowingLoadFileIsLoggedAndSkipped)
{
    FakeManager m;
    m.LoadList(list("t.list", "a\nthrow me\nb\n"), "");
    EXPECT_EQ(m.loaded.size(), 3u);
    EXPECT_NE(log().find("throw me"), std::string::npos);
    EXPECT_NE(log().find("broken entry"), std::string::npos);
}

TEST_F(BaseManagerTest, LongListsUseFullWidthCounts)
{
    std::string text;
    for (int i = 0; i < 33000; ++i)
        text += "f" + std::to_string(i) + "\n";
    FakeManager m;
    m.AddListToTask(list("long.list", text), "", "");
    EXPECT_EQ(m.GetTaskCount(), 33000u);
}

TEST_F(BaseManagerTest, LoadingHarnessOfThreeManagers)
{
    // Like the game's resource manager: costs of every queue in one list,
    // then 100 ms steps over the managers in turn.
    FakeManager images(&clock, 12), sounds(&clock, 25), music(&clock, 3);
    images.SetLoadCost("png", 15.230181f, 1024);
    images.SetLoadCost("jpg", 40.593037f, 1024);
    sounds.SetLoadCost("ogg", 90.618645f, 1024);
    sounds.SetLoadCost("wav", 2.7119851f, 1024);
    music.SetLoadCost("ogg", 8.430028f, 1024);
    for (int i = 0; i < 20; ++i) {
        const std::string n = std::to_string(i);
        file("i" + n + ".png", 500 + 300 * std::size_t(i));
        file("i" + n + ".jpg", 200);
        file("s" + n + ".ogg", 3000);
        file("s" + n + ".wav", 100 * std::size_t(i));
        images.AddFileToTask(dir, "i" + n + ".png", "", "");
        images.AddFileToTask(dir, "i" + n + ".jpg", "", "");
        sounds.AddFileToTask(dir, "s" + n + ".ogg", "", "~SFX~");
        sounds.AddFileToTask(dir, "s" + n + ".wav", "", "~SFX~");
        if (i < 5)
            music.AddFileToTask(dir, "s" + n + ".ogg", "", "");
    }
    FakeManager* managers[] = {&images, &sounds, &music};
    std::list<float> costs;
    for (FakeManager* m : managers) {
        m->RewindTasks();
        m->GetTaskCosts(costs);
    }
    float grand = 0.0f;
    for (float c : costs)
        grand += c;

    float done = 0.0f;
    float lastProgress = 0.0f;
    int frames = 0;
    while (!(images.IsTasksDone() && sounds.IsTasksDone() && music.IsTasksDone())) {
        aBaseManager::Progress p{platform::getTickCount(), 0.0f, 100};
        for (FakeManager* m : managers)
            m->ProcessTasks(costs, p);
        done += p.total;
        const float progress = done / grand;
        EXPECT_GE(progress, lastProgress);
        lastProgress = progress;
        ASSERT_LT(++frames, 1000);
    }
    EXPECT_NEAR(lastProgress, 1.0f, 1e-4f);
    EXPECT_EQ(images.loaded.size(), 40u);
    EXPECT_EQ(sounds.loaded.size(), 40u);
    EXPECT_EQ(music.loaded.size(), 5u);
    EXPECT_EQ(sounds.tasks.front(), "~SFX~");
    EXPECT_GT(frames, 5);
}
