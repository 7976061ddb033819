#include "game/SpyGame/Dialogs/DialogCertificate.h"

#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_static_image.h"
#include "engine/util/a_string.h"
#include "game/shell/c_res_manager.h"

const CDialogCertificate::Names CDialogFACertificate::kNames = {
    "FACertificate",
    "AwardFA",
    "back_fa",
    {"fa_cert_gold_type", "fa_cert_silver_type", "fa_cert_bronze_type", "fa_cert_simple_type"},
    "fa_cert_gold_text",
    "fa_cert_no_gold_text_1",
    "fa_cert_no_gold_text",
    "fa_cert_line2",
    {"gold_fa_cert", "silver_fa_cert", "bronze_fa_cert", "simple_fa_cert"},
    &CurrentProfile::faTier,
    &CurrentProfile::faCount,
};

const CDialogCertificate::Names CDialogMHCertificate::kNames = {
    "MHCertificate",
    "AwardMH",
    "back_mh",
    {"mh_cert_gold_type", "mh_cert_silver_type", "mh_cert_bronze_type", "mh_cert_simple_type"},
    "mh_cert_gold_text",
    "mh_cert_no_gold_text_1",
    "mh_cert_no_gold_text",
    "mh_cert_line2",
    {"gold_mh_cert", "silver_mh_cert", "bronze_mh_cert", "simple_mh_cert"},
    &CurrentProfile::mhTier,
    &CurrentProfile::mhCount,
};

void CDialogCertificate::Init()
{
    if (m_state != kStateNew)
        return;
    m_res = CResManager::getSingletonPtr();
    if (GUI::Widget* window = FindWindow(m_names.window)) {
        window->notifyRender = true;
        BindResult(window, GUI::EventBeginRender, kStateShown);
    }
    m_line1 = GUI::WidgetRef(FindWidget("line1"));
    m_line2 = GUI::WidgetRef(FindWidget("line2"));
    m_line4 = GUI::WidgetRef(FindWidget("line4"));
    m_award = GUI::WidgetRef(FindWidget(m_names.picture));
    m_back = GUI::WidgetRef(FindWidget(m_names.back));
    Subscribe(m_back.get(), GUI::EventClick, &CDialogCertificate::OnClose);
    Subscribe(m_award.get(), GUI::EventClick, &CDialogCertificate::OnClose);
    CDialogBase::Init();
}

void CDialogCertificate::Show()
{
    const CurrentProfile& profile = CurrentProfile::Get();
    ShowAward(profile.*m_names.tier, profile.*m_names.count);
}

void CDialogCertificate::ShowAward(std::int32_t tier, std::int32_t count)
{
    const int index = tier >= 1 && tier <= 3 ? tier - 1 : 3;
    auto text = [this](const char* key) {
        return m_res ? m_res->GetLocalizedString(key) : std::wstring();
    };
    if (GUI::Widget* line1 = m_line1.get())
        line1->SetText(text(m_names.titles[index]));
    if (GUI::Widget* line4 = m_line4.get()) {
        // Texts come from data: the one bounded formatter takes them.
        if (index == 0)
            line4->SetTextFormat(text(m_names.goldText));
        else
            line4->SetTextFormat(text(index == 1 && count == 1 ? m_names.countTextOne : m_names.countText), count);
    }
    if (GUI::Widget* line2 = m_line2.get())
        line2->SetText(text(m_names.nameLine) + str_cp1251ToWide(CurrentProfile::Get().name));

    aImage* picture = m_res ? m_res->GetImageManager()->GetImage(m_names.pictures[index], "Menu") : nullptr;
    auto* award = m_award.as<GUI::StaticImage>();
    if (picture && award) {
        const GUI::Widget* back = m_back.get();
        const auto backWidth = std::int16_t(back ? back->GetAreaRect().width : 0);
        const auto width = std::int16_t(picture->getWidth());
        const auto height = std::int16_t(picture->getHeight());
        // Signed 16-bit halves: a picture wider than the back lands at a negative x.
        const auto x = std::int16_t(std::int16_t(backWidth / 2) - std::int16_t(width / 2));
        award->SetAreaRect(aRect(x, award->GetAreaRect().y, width, height));
        award->SetImage(picture, nullptr);
        award->Update(0.0f);
    }
    CDialogBase::Show();
}

bool CDialogCertificate::OnClose(const GUI::EventArgs&)
{
    m_state = kClosed;
    return true;
}
