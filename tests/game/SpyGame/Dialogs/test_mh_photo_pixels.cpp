// The murder-hunt photo dialog on the demo data, drawn: for every photo the
// hunt board shows, with each text it gives the photo, the Continue button
// and the photo are drawn apart.
#include <array>

#include "dialog_fixture.h"
#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_static_image.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_options_file.h"
#include "game/SpyGame/Dialogs/DialogHelpers.h"
#include "game/SpyGame/Dialogs/DialogMHPhoto.h"

using namespace dialogtest;

namespace {

using Shot = std::vector<std::uint32_t>;
using Box = std::array<int, 4>;  // x0, y0, x1, y1; x0 = -1 when empty

Box changed(const Shot& a, const Shot& b)
{
    Box box{{-1, 0, 0, 0}};
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x) {
            const std::size_t i = std::size_t(y) * 1024 + std::size_t(x);
            if (a[i] == b[i])
                continue;
            box = box[0] < 0 ? Box{{x, y, x, y}}
                             : Box{{std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)}};
        }
    return box;
}

bool overlap(const Box& a, const Box& b)
{
    return a[0] <= b[2] && b[0] <= a[2] && a[1] <= b[3] && b[1] <= a[3];
}

class MHPhotoPixels : public GlDialogBench {
protected:
    void SetUp() override
    {
        GlDialogBench::SetUp();
        loadDemoResources();
        res->GetImageManager()->LoadList("gamedata:_Locations/Global/MurderHunt/_images.list", "MurderHunt");
        loadGui();
        drawFrames = false;
    }
    Shot shot()
    {
        draw();
        return backBuffer();
    }
};

} // namespace

TEST_F(MHPhotoPixels, ContinueStaysClearOfEveryHuntPhoto)
{
    CDialogMHPhoto dialog;
    dialog.Init();
    dialog.Show();
    GUI::Widget* window = dialog.GetWindow();
    ASSERT_NE(window, nullptr);
    GUI::Widget* button = window->FindChild("Continue", true);
    auto* box = dynamic_cast<GUI::StaticImage*>(window->FindChild("item_box", true));
    ASSERT_TRUE(button && box);

    const std::string huntPath = "gamedata:_Locations/Global/MurderHunt/hunt.ini";
    const aOptionsFile hunt(huntPath);
    std::vector<std::shared_ptr<aImage>> shown;  // alive while the box holds them
    for (const aOptionsFile::Section& card : hunt.sections()) {
        const std::string photo = hunt.getValueDef(card.first, "Photo", "");
        if (photo.empty())
            continue;
        const std::string caseName = hunt.getValue(card.first, "Case");
        res->GetLocaleServer()->loadFile("language:_Investigations/" + caseName + "/investigation.txt", caseName);
        const auto text = [&](const char* key) { return DialogText(key, caseName); };
        aImage* image = res->GetImageManager()->GetImage(photo, "MurderHunt");
        ASSERT_NE(image, nullptr) << photo;
        // The board's texts by the card's state, and none.
        for (const std::wstring& words : {std::wstring(),
                                          text("_GREENQUESTMARK_PHOTO") + text("HINT_MURDER_HUNT"),
                                          text("_ENVELOPEMARK_PHOTO"), text("_CHECKMARK_PHOTO")}) {
            const auto picture = shown.emplace_back(std::make_shared<aImage>(*image));
            dialog.SetPhoto(picture, words);
            const Shot all = shot();
            box->SetImage(nullptr, nullptr);
            const Box drawnPhoto = changed(all, shot());
            box->SetImage(picture.get(), nullptr);
            button->SetVisible(false);
            const Box drawnButton = changed(all, shot());
            button->SetVisible(true);
            ASSERT_GE(drawnPhoto[0], 0) << photo;
            ASSERT_GE(drawnButton[0], 0) << photo;
            EXPECT_FALSE(overlap(drawnPhoto, drawnButton))
                << photo << ": photo " << drawnPhoto[0] << "," << drawnPhoto[1] << "-" << drawnPhoto[2] << ","
                << drawnPhoto[3] << ", button " << drawnButton[0] << "," << drawnButton[1] << "-" << drawnButton[2]
                << "," << drawnButton[3];
            // Both inside the window.
            const aRect w = window->GetAbsoluteRect();
            EXPECT_TRUE(drawnButton[0] >= w.x && drawnButton[2] < w.right() && drawnButton[3] < w.bottom());
            EXPECT_TRUE(drawnPhoto[0] >= w.x && drawnPhoto[2] < w.right());
        }
    }
    EXPECT_FALSE(shown.empty());
    dialog.Hide();
}
