#include <sys/stat.h>

#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_static_image.h"
#include "engine/util/a_locale_server.h"
#include "menu_fixture.h"

using namespace menutest;
using Menu = CGameFlow::Menu;

namespace {

class CertificateBench : public RecordingMenuBench {
protected:
    void SetUp() override
    {
        RecordingMenuBench::SetUp();
        startMenu();
        drawFrames = false;
    }
    std::wstring text(const char* window, const char* name) { return child(window, name)->GetText(); }
    std::wstring string(const std::string& key) { return res->GetLocalizedString(key); }
    // Puts a copy of a demo picture under a certificate picture's name.
    void replacePicture(const std::string& name, const std::string& demoFile)
    {
        const std::string folder = test_env::home() + "/" + name + "/";
        ::mkdir(folder.c_str(), 0755);
        const std::string ext = demoFile.substr(demoFile.rfind('.'));
        test_env::writeFile(folder + name + ext,
                            test_env::readFile(test_env::sourceDir() + "/data/GameData/Images/" + demoFile));
        test_env::writeFile(folder + "_images.list", name + ext + " 8888 8888\n");
        aImageManager* images = res->GetImageManager();
        images->UnloadFile(name + ".png 4444 8888", "Menu");
        images->LoadList(folder + "_images.list", "Menu");
    }
};

} // namespace

TEST_F(CertificateBench, TiersCountsAndNamesOfBothTwins)
{
    CurrentProfile::Get().name = "\xC8\xE2\xE0\xED";  // Windows-1251 for a Cyrillic name
    const struct {
        CDialogCertificate* dialog;
        const char* window;
        const char* prefix;
        const char* picture;
    } twins[] = {{&menu->GetFACertificate(), "FACertificate", "fa", "AwardFA"},
                 {&menu->GetMHCertificate(), "MHCertificate", "mh", "AwardMH"}};
    const char* const tiers[] = {"simple", "gold", "silver", "bronze", "simple", "simple"};
    for (const auto& twin : twins) {
        const std::string p = twin.prefix;
        auto* award = dynamic_cast<GUI::StaticImage*>(child(twin.window, twin.picture));
        for (int tier = 0; tier <= 5; ++tier)
            for (int count = 0; count <= 2; ++count) {
                SCOPED_TRACE(p + " tier " + std::to_string(tier) + " count " + std::to_string(count));
                twin.dialog->ShowAward(tier, count);
                EXPECT_EQ(twin.dialog->GetState(), 2);
                EXPECT_EQ(text(twin.window, "line1"), string(p + "_cert_" + tiers[tier] + "_type"));
                EXPECT_EQ(text(twin.window, "line2"), string(p + "_cert_line2") + L"\u0418\u0432\u0430\u043D");
                std::wstring line4 = string(p + "_cert_gold_text");
                if (tier == 2 && count == 1)
                    line4 = string(p + "_cert_no_gold_text_1");
                else if (tier != 1)
                    line4 = a_wformat(string(p + "_cert_no_gold_text"), count);
                EXPECT_EQ(text(twin.window, "line4"), line4);
                EXPECT_EQ(line4.find(L'%'), std::wstring::npos);
                const aImage* picture = res->GetImageManager()->GetImage(std::string(tiers[tier]) + "_" + p + "_cert", "Menu");
                ASSERT_TRUE(picture && award->normalImage);
                EXPECT_EQ(award->normalImage->getTexture(), picture->getTexture());
                EXPECT_EQ(award->GetAreaRect().width, picture->getWidth());
            }
    }

    // Show takes the recorded award; back and picture close with 3.
    CurrentProfile::Get().mhTier = 3;
    CurrentProfile::Get().mhCount = 7;
    menu->Show(Menu::kMHCertificate);
    EXPECT_NE(text("MHCertificate", "line4").find(L"7"), std::wstring::npos);
    EXPECT_EQ(text("MHCertificate", "line1"), string("mh_cert_bronze_type"));
    clickOn(child("MHCertificate", "AwardMH"));
    EXPECT_EQ(menu->GetState(Menu::kMHCertificate), CDialogCertificate::kClosed);
    draw();
    EXPECT_EQ(menu->GetState(Menu::kMHCertificate), 2);
    click(220, 650);  // the parchment's lower corner
    EXPECT_EQ(menu->GetState(Menu::kMHCertificate), CDialogCertificate::kClosed);

    // A second Init builds nothing twice: one click, one result, the same bindings.
    const auto bindings = menu->GetFACertificate().GetBindings().size();
    menu->GetFACertificate().Init();
    EXPECT_EQ(menu->GetFACertificate().GetBindings().size(), bindings);
    menu->Show(Menu::kFACertificate);
    clickOn(child("FACertificate", "back_fa"));
    EXPECT_EQ(menu->GetState(Menu::kFACertificate), 3);
}

TEST_F(CertificateBench, PictureCentringAndMissingPictureAndStrayFormats)
{
    GUI::Widget* back = child("FACertificate", "back_fa");
    auto* award = dynamic_cast<GUI::StaticImage*>(child("FACertificate", "AwardFA"));
    const std::int16_t y = award->GetAreaRect().y;

    replacePicture("silver_fa_cert", "Menu/goldmh.png");  // 72 wide, narrower than the 600 of the back
    replacePicture("bronze_fa_cert", "Menu/menu_bg.jpg");  // 1024 wide
    menu->GetFACertificate().ShowAward(2, 5);
    EXPECT_EQ(award->GetAreaRect(), aRect(std::int16_t(back->GetAreaRect().width / 2 - 36), y, 72, 120));
    menu->GetFACertificate().ShowAward(3, 5);
    EXPECT_EQ(award->GetAreaRect(), aRect(300 - 512, y, 1024, 768));

    // A missing picture: logged; the widget keeps its area and picture, the texts change.
    const aImage* kept = award->normalImage.get();
    res->GetImageManager()->UnloadFile("simple_fa_cert.png 4444 8888", "Menu");
    takeLog();
    menu->GetFACertificate().ShowAward(4, 2);
    EXPECT_NE(takeLog().find("simple_fa_cert"), std::string::npos);
    EXPECT_EQ(award->GetAreaRect(), aRect(300 - 512, y, 1024, 768));
    EXPECT_EQ(award->normalImage.get(), kept);
    EXPECT_EQ(text("FACertificate", "line1"), string("fa_cert_simple_type"));
    EXPECT_EQ(menu->GetFACertificate().GetState(), 2);

    // Texts from data that misuse the format: nothing is read that was not passed.
    const std::string strings = test_env::home() + "/odd.txt";
    test_env::writeFile(strings, "fa_cert_no_gold_text = \"%s found, 100% done, %d left %\"\n"
                                 "fa_cert_gold_text = \"All %s\"\n");
    res->GetLocaleServer()->loadFile(strings);
    menu->GetFACertificate().ShowAward(3, 4);
    const std::wstring line4 = text("FACertificate", "line4");
    EXPECT_NE(line4.find(L"found"), std::wstring::npos) << std::string(line4.begin(), line4.end());
    menu->GetFACertificate().ShowAward(1, 4);
    EXPECT_EQ(text("FACertificate", "line4").substr(0, 3), L"All");
}
