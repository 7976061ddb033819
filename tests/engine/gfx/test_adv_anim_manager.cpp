// The advanced-animation manager: keys, lists and load tasks, and frames
// that outlive the image list they were cut from.
#include "engine/gfx/a_adv_anim_manager.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/util/a_file_server.h"
#include "support/jng_writer.h"
#include "test_image_fixture.h"

namespace {

class AdvAnimManagerTest : public imgtest::RecordingTest {
protected:
    const char* appName() const override { return "AdvAnimManagerTest"; }

    void SetUp() override
    {
        RecordingTest::SetUp();
        dir = test_env::home() + "/anims/";
        putFile("anims/pic.png", jng_writer::buildPng(8, 8, imgtest::solid(8, 8, 0xFFFFFFFF)));
        putFile("anims/images.list", "pic.png 8888 8888\n");
        const std::string anim = "[_General_]\nWidth = 8\nHeight = 8\nAutoStart = 1\n[_Play_]\nA = (Fps=10)\n"
                                 "[A]\nTexture = pic\nFrame = (Rect=0 0 8 8)\nFrame = (Rect=0 0 4 4)\n";
        putFile("anims/walk.ini", anim);
        putFile("anims/Run.ini", anim);
        // A byte-order mark before the first line does not spoil its name.
        putFile("anims/anims.list", "\xEF\xBB\xBFwalk\nRun\n");
        images.LoadList(dir + "images.list", "");
        manager.m_imageManager = &images;
        newLog();
    }

    std::string dir;
    aImageManager images;
    aAdvAnimManager manager;
};

TEST_F(AdvAnimManagerTest, KeysGroupsCaseAndDuplicates)
{
    // Textures are looked up in the animation's group.
    images.LoadList(dir + "images.list", "hall");
    manager.LoadFile(dir, "walk", "hall");
    aAdvAnim* walk = manager.GetAnimation("WALK", "Hall");
    ASSERT_NE(walk, nullptr);
    EXPECT_EQ(walk->GetName(), "walk");
    EXPECT_TRUE(manager.HasAnimation("walk", "HALL"));
    EXPECT_FALSE(manager.HasAnimation("walk"));
    EXPECT_EQ(newLog(), "");
    EXPECT_EQ(manager.GetAnimation("walk"), nullptr);
    EXPECT_NE(newLog().find("aAdvAnimManager. Cannot find animation: walk\n"), std::string::npos);

    manager.LoadFile(dir, "walk", "hall");
    EXPECT_NE(newLog().find("aAdvAnimManager::LoadFile(). Animation with name \"walk:hall\" already loaded!"),
              std::string::npos);
    EXPECT_EQ(manager.GetAnimation("walk", "hall"), walk);
    manager.LoadFile(dir, "none", "");
    EXPECT_NE(newLog().find("aAdvAnim::Load(). File '" + dir + "none.ini' not exist!"), std::string::npos);
    EXPECT_EQ(manager.size(), 1u);
    EXPECT_EQ(manager.GetNameFromLine("Run"), "Run");

    EXPECT_TRUE(manager.UnloadFile("Walk", "hall"));
    EXPECT_FALSE(manager.UnloadFile("walk", "hall"));

    aAdvAnimManager bare;
    bare.LoadFile(dir, "walk", "");
    EXPECT_EQ(bare.size(), 0u);
    EXPECT_NE(newLog().find("aAdvAnimManager::LoadFile(). Class Not Initialized!"), std::string::npos);
}

TEST_F(AdvAnimManagerTest, LoadTasksSeeTheIniFiles)
{
    manager.AddListToTask(dir + "anims.list", "", "");
    EXPECT_TRUE(manager.IsExist(dir + "walk.ini"));
    std::list<float> costs;
    manager.GetTaskCosts(costs);
    ASSERT_EQ(costs.size(), 2u);
    EXPECT_EQ(costs.front(), float(file_getSize(dir + "walk.ini")));
    EXPECT_EQ(newLog(), "");
    manager.AddFileToTask(dir, "Run", "", "");
    EXPECT_NE(newLog().find("Iterative adding file to task  \"" + dir + "Run.ini\""), std::string::npos);
    manager.LoadAll();
    EXPECT_TRUE(manager.HasAnimation("run"));
    EXPECT_TRUE(manager.HasAnimation("walk"));
    manager.UnloadList(dir + "anims.list", "");
    EXPECT_EQ(manager.size(), 0u);
}

TEST_F(AdvAnimManagerTest, FramesOutliveTheirImageList)
{
    manager.LoadList(dir + "anims.list", "");
    const platform::GfxTexture* texture = images.GetImage("pic")->getTexture();
    aAdvAnim running(*manager.GetAnimation("walk"));
    running.Update(0.05f);
    images.UnloadList(dir + "images.list", "");
    ASSERT_EQ(images.size(), 0u);

    rec->clear();
    running.Update(0.1f);
    running.Draw(3.0f, 4.0f, 0xFFFFFFFF, nullptr, 0.0f, nullptr, 0);
    manager.GetAnimation("run")->Draw(0.0f, 0.0f, 0xFFFFFFFF, nullptr, 0.0f, nullptr, 0);
    const auto draws = spriteDraws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].texture, texture);
    EXPECT_EQ(draws[0].right, 4);
    EXPECT_EQ(running.HitTest(1, 1, 0), 0xFFFFFFFFu);
}

} // namespace
