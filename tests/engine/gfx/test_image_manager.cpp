// Image-list lines, keys and lookups of the image manager.
#include "engine/gfx/a_image_manager.h"

#include "test_image_fixture.h"

#include "support/jng_writer.h"

using imgtest::solid;

namespace {

std::vector<std::string> g_loadedFiles;
void onLoaded(const std::string& file) { g_loadedFiles.push_back(file); }

class ImageManagerTest : public imgtest::RecordingTest {
protected:
    void SetUp() override
    {
        RecordingTest::SetUp();
        dir = test_env::home() + "/list/";
        for (const char* name : {"Bg.Night.png", "panel.png", "door.png", "my door.png"})
            test_env::writeFile(dir + name, jng_writer::buildPng(4, 2, solid(4, 2, 0xFF00FF00)));
        g_loadedFiles.clear();
        manager.SetCallback(onLoaded);
    }

    std::string dir;
    aImageManager manager;
};

TEST_F(ImageManagerTest, EntryLinesKeysAndFormats)
{
    struct Case {
        const char* line;
        const char* group;
        const char* lookupName;  // null: nothing stored under a new key
        const char* lookupGroup;
        D3DFORMAT format16, format32;
        const char* logged;      // part of the log line, or "" for none
        const char* file;
    };
    const Case cases[] = {
        {"Bg.Night.png 0565 8888", "hall", "Bg.Night", "hall", D3DFMT_R5G6B5, D3DFMT_A8R8G8B8, "", "Bg.Night.png"},
        {"Bg.Night.png 0565 8888", "HALL", "bg.night", "Hall", D3DFMT_R5G6B5, D3DFMT_A8R8G8B8,
         "aImageManager. Image with name \"Bg.Night:HALL\" already loaded!", "Bg.Night.png"},
        {"panel.png 565 8888", "", "panel", "", D3DFMT_UNKNOWN, D3DFMT_A8R8G8B8,
         "aImageManager. Unknown image format: panel.png 565 8888", "panel.png"},
        {"door.png  1555   DXT5 trailing words", "", "door", "", D3DFMT_A1R5G5B5, D3DFMT_DXT5, "", "door.png"},
        {"my door.png 4444 0888", "g", "MY DOOR", "g", D3DFMT_A4R4G4B4, D3DFMT_R8G8B8, "", "my door.png"},
    };
    for (const Case& c : cases) {
        const std::size_t images = aImageData::imageList().size();
        const aImage* before = manager.HasImage(c.lookupName, c.lookupGroup)
                                   ? manager.GetImage(c.lookupName, c.lookupGroup)
                                   : nullptr;
        manager.LoadFile(dir, c.line, c.group);
        const std::string log = newLog();
        if (*c.logged)
            EXPECT_NE(log.find(c.logged), std::string::npos) << c.line << "\n" << log;
        else
            EXPECT_EQ(log.find("aImageManager"), std::string::npos) << log;
        aImage* img = manager.GetImage(c.lookupName, c.lookupGroup);
        ASSERT_NE(img, nullptr) << c.line;
        EXPECT_EQ(img->getData()->m_format16, c.format16) << c.line;
        EXPECT_EQ(img->getData()->m_format32, c.format32) << c.line;
        if (before) {
            // The first image stays and no second one was made.
            EXPECT_EQ(img, before);
            EXPECT_EQ(aImageData::imageList().size(), images);
        } else {
            EXPECT_EQ(img->getFileName(), dir + c.file);
            EXPECT_NE(img->getTexture(), nullptr);
        }
    }
    EXPECT_EQ(g_loadedFiles, (std::vector<std::string>{"Bg.Night.png", "panel.png", "door.png", "my door.png"}));
    EXPECT_EQ(manager.size(), 4u);
}

TEST_F(ImageManagerTest, MalformedLinesAreLoggedAndSkipped)
{
    for (const char* line : {"panel.png 8888", "panel.png", "nodot 0565 8888", "panel.png    ", ""}) {
        manager.LoadFile(dir, line, "");
        EXPECT_NE(newLog().find(std::string("aImageManager: Error in line: ") + line), std::string::npos) << line;
    }
    EXPECT_EQ(manager.size(), 0u);
    EXPECT_TRUE(g_loadedFiles.empty());
    manager.LoadFile(dir, "panel.png 8888 8888", "");
    EXPECT_TRUE(manager.HasImage("panel"));

    EXPECT_EQ(manager.GetNameFromLine("panel.png 8888"), "panel.png");
    EXPECT_EQ(manager.GetNameFromLine("a.b.png 0565 8888"), "a.b.png");
    EXPECT_EQ(manager.GetNameFromLine("panel.png"), "");
    EXPECT_NE(newLog().find("aImageManager: Error in line: panel.png"), std::string::npos);
}

TEST_F(ImageManagerTest, LookupsAndUnloading)
{
    manager.LoadFile(dir, "door.png 8888 8888", "room");
    EXPECT_TRUE(manager.HasImage("DOOR", "ROOM"));
    EXPECT_FALSE(manager.HasImage("door"));
    EXPECT_EQ(newLog().find("Cannot find"), std::string::npos);
    EXPECT_EQ(manager.GetImage("door"), nullptr);
    EXPECT_NE(newLog().find("aImageManager. Cannot find image: door\n"), std::string::npos);
    EXPECT_EQ(manager.GetImage("window", "room"), nullptr);
    EXPECT_NE(newLog().find("aImageManager. Cannot find image: window : room"), std::string::npos);

    aImage kept(*manager.GetImage("door", "room"));
    EXPECT_TRUE(manager.UnloadFile("door.png 8888 8888", "Room"));
    EXPECT_FALSE(manager.UnloadFile("door.png 8888 8888", "Room"));
    EXPECT_FALSE(manager.HasImage("door", "room"));
    // A handle taken before stays valid.
    EXPECT_EQ(kept.getData()->m_refCount, 1);
    EXPECT_EQ(kept.getPixel(0, 0), 0xFF00FF00u);
}

TEST_F(ImageManagerTest, FormatTable)
{
    const std::pair<const char*, D3DFORMAT> table[] = {
        {"1555", D3DFMT_A1R5G5B5}, {"4444", D3DFMT_A4R4G4B4}, {"0565", D3DFMT_R5G6B5}, {"8888", D3DFMT_A8R8G8B8},
        {"0888", D3DFMT_R8G8B8},   {"DXT1", D3DFMT_DXT1},     {"DXT2", D3DFMT_DXT2},   {"DXT3", D3DFMT_DXT3},
        {"DXT4", D3DFMT_DXT4},     {"DXT5", D3DFMT_DXT5},     {"dxt1", D3DFMT_UNKNOWN}, {"565", D3DFMT_UNKNOWN},
        {"88880", D3DFMT_UNKNOWN}, {"", D3DFMT_UNKNOWN},
    };
    for (auto [token, format] : table)
        EXPECT_EQ(aImageManager::formatFromToken(token), format) << token;
}

} // namespace
