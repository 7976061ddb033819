#include <list>
#include <string>
#include <vector>

#include "engine/sound/a_sound_manager.h"
#include "sound_fixture.h"

using namespace sound_test;

namespace {

std::vector<std::string> g_keys;
void recordKey(const std::string& key) { g_keys.push_back(key); }

class SoundManager : public SoundTest {
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        g_keys.clear();
        m_manager.SetCallback(recordKey);
    }

    std::string list(const std::string& text, const std::string& name = "_sounds.list")
    {
        test_env::writeFile(m_dir + name, text);
        return m_dir + name;
    }

    const std::string m_dir = test_env::home() + "/sfx/";
    aSoundManager m_manager;
};

} // namespace

TEST_F(SoundManager, ListLinesAndTheirOptions)
{
    for (const char* name :
         {"a.b", "plain", "vol", "piece", "loud", "prio", "neg", "stream", "nan", "open", "bare", "text", "big"})
        writeWav(std::string("sfx/") + name + ".wav", 0.5f, 0.5f, 0.2);
    const std::string path = list("a.b.wav \n"
                                  "plain.wav \n"
                                  "bare.wav\n"
                                  "vol.wav { Volume=0.5 }\n"
                                  "piece.wav {Volume = 0.25 , junk,\tPriority= 7 }\n"
                                  "loud.wav { Loud=1, Volume=0.3 }\n"
                                  "prio.wav { Priority=256 }\n"
                                  "neg.wav { Priority=-5 }\n"
                                  "PLAIN.wav { Volume=0.1 }\n"
                                  "stream.wav { StreamPlay=1, SoundGroup=doors }\n"
                                  "missing.wav \n"
                                  "nan.wav { Volume=nan }\n"
                                  "open.wav { Volume=0.2\n"
                                  "text.wav { Volume=abc, StreamPlay=yes, Priority=7x }\n"
                                  "big.wav { Volume=1e39, Priority= 9 }\n");
    m_manager.LoadList(path, "");
    EXPECT_EQ(m_manager.GetSoundCount(), 12u);

    // Keys are cut at the last '.'; the line without a blank loads nothing.
    EXPECT_TRUE(m_manager.HasSound("a.b", ""));
    EXPECT_TRUE(logHas("aSoundManager: Error in line: bare.wav\n"));
    EXPECT_FALSE(m_manager.HasSound("bare", ""));
    aSound* plain = m_manager.GetSound("plain", "");
    EXPECT_EQ(plain->GetVolume(), 1.0f);
    EXPECT_EQ(plain->GetMainGroupName(), A_GROUP_SFX);

    struct Expected {
        const char* key;
        float volume;
        int priority;
    };
    for (const Expected& e : {Expected{"vol", 0.5f, 128}, Expected{"piece", 0.25f, 7}, Expected{"loud", 0.3f, 128},
                              Expected{"prio", 1.0f, 255}, Expected{"neg", 1.0f, 0}, Expected{"nan", 1.0f, 128},
                              Expected{"open", 1.0f, 128}, Expected{"text", 0.0f, 7}, Expected{"big", 1.0f, 9}}) {
        aSound* sound = m_manager.GetSound(e.key, "");
        ASSERT_NE(sound, nullptr) << e.key;
        EXPECT_EQ(sound->GetVolume(), e.volume) << e.key;
        EXPECT_EQ(sound->GetPriority(), e.priority) << e.key;
    }
    EXPECT_TRUE(m_manager.GetSound("stream", "")->IsStream());
    EXPECT_EQ(m_manager.GetSound("stream", "")->GetGroup(), "doors");
    EXPECT_TRUE(logHas("aSoundManager. Error in line: loud.wav { Loud=1, Volume=0.3 }\n"));
    EXPECT_EQ(logCount("aSoundManager. Error in line:"), 1u);
    // Values that are no numbers keep what atoi and atof read; values no
    // float holds keep the default.
    const std::string textLine = " (" + m_dir + "text.wav), line: text.wav { Volume=abc, StreamPlay=yes, Priority=7x }\n";
    for (const char* key : {"Volume", "StreamPlay", "Priority"})
        EXPECT_TRUE(logHas(std::string("aSoundManager. Value of ") + key + " is not a number" + textLine)) << key;
    EXPECT_FALSE(m_manager.GetSound("text", "")->IsStream());
    EXPECT_TRUE(logHas("aSoundManager. Value of Volume is out of range (" + m_dir + "nan.wav), line: nan.wav { Volume=nan }\n"));
    EXPECT_TRUE(logHas("aSoundManager. Value of Volume is out of range (" + m_dir + "big.wav), line: big.wav { Volume=1e39, Priority= 9 }\n"));
    EXPECT_EQ(logCount("aSoundManager. Value of"), 5u);

    // A key differing only in case is refused, without the callback.
    EXPECT_TRUE(logHas("aSoundManager. Sound with name \"PLAIN\" already loaded!"));
    EXPECT_EQ(g_keys, (std::vector<std::string>{"a.b", "plain", "", "vol", "piece", "loud", "prio", "neg", "stream",
                                                 "missing", "nan", "open", "text", "big"}));
    EXPECT_EQ(m_manager.GetSound("missing", ""), nullptr);
    EXPECT_TRUE(logHas("aSoundManager. Cannot find sound \"missing\""));

    // Unloading takes the same key from the line, or from a bare file name.
    EXPECT_TRUE(m_manager.UnloadFile("a.b.wav ", ""));
    EXPECT_FALSE(m_manager.HasSound("a.b", ""));
    EXPECT_TRUE(m_manager.UnloadFile("piece.wav", ""));
    m_manager.UnloadList(path, "");
    EXPECT_EQ(m_manager.GetSoundCount(), 0u);

    // A group joins the key.
    writeWav("sfx/click.wav", 0.5f, 0.5f, 0.2);
    m_manager.LoadList(list("click.wav \n", "menu.list"), "menu");
    const std::size_t logSize = log().size();
    EXPECT_TRUE(m_manager.HasSound("CLICK", "Menu"));
    EXPECT_FALSE(m_manager.HasSound("click", ""));
    EXPECT_EQ(log().size(), logSize);
    EXPECT_NE(m_manager.GetSound("click", "menu"), nullptr);
    EXPECT_EQ(g_keys.back(), "click:menu");
}

TEST_F(SoundManager, QueuedRecordsNameTheMainGroup)
{
    writeWav("sfx/wind.wav", 0.25f, 0.25f, 0.5);
    writeWav("sfx/beep.wav", 0.5f, 0.5f, 0.5);
    m_manager.AddFileToTask(m_dir, "wind.wav { SoundGroup=outdoor }", A_GROUP_AMBIENTS, A_GROUP_AMBIENTS);
    m_manager.AddListToTask(list("beep.wav \n"), "", "");
    std::list<float> costs;
    m_manager.GetTaskCosts(costs);
    aBaseManager::Progress progress;
    m_manager.RewindTasks();
    while (!m_manager.IsTasksDone())
        m_manager.ProcessTasks(costs, progress);
    EXPECT_EQ(g_keys, (std::vector<std::string>{"wind:~Ambients~", "beep"}));

    aSound* wind = m_manager.GetSound("wind", A_GROUP_AMBIENTS);
    aSound* beep = m_manager.GetSound("beep", "");
    ASSERT_TRUE(wind && beep);
    EXPECT_EQ(wind->GetMainGroupName(), A_GROUP_AMBIENTS);
    EXPECT_EQ(beep->GetMainGroupName(), A_GROUP_SFX);
    wind->Play(true, false);
    beep->Play(true, false);
    EXPECT_FLOAT_EQ(level().first, 0.75f);
    aSound::FindChannelsGroup(A_GROUP_AMBIENTS)->SetVolume(0.0f);
    EXPECT_FLOAT_EQ(level().first, 0.5f);
    EXPECT_EQ(wind->GetChannelsGroup(), aSound::FindSubGroup(A_GROUP_AMBIENTS, "outdoor"));

    // Loaded at once there is no record: "~SFX~".
    writeWav("sfx/late.wav", 0.5f, 0.5f, 0.5);
    m_manager.ClearTasks();
    m_manager.AddFileToTask(m_dir, "late.wav ", "", A_GROUP_AMBIENTS);
    m_manager.LoadAll();
    EXPECT_EQ(m_manager.GetSound("late", "")->GetMainGroupName(), A_GROUP_SFX);
}
