#include "game/SpyGame/Dialogs/InGameDialogs.h"

#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_static_image.h"
#include "engine/sound/a_sound.h"
#include "engine/sound/a_sound_manager.h"
#include "game/SpyGame/Dialogs/ScreenSize.h"
#include "game/shell/c_res_manager.h"

CInGameDialog::CInGameDialog(const char* windowName, std::initializer_list<Button> buttons)
    : m_windowName(windowName), m_buttons(buttons)
{
}

void CInGameDialog::Init()
{
    if (m_state != kStateNew)
        return;
    GUI::Widget* window = FindWindow(m_windowName);
    if (window)
        window->notifyRender = true;
    InitParts();
    BindResult(window, GUI::EventBeginRender, kStateShown);
    for (const Button& button : m_buttons)
        BindResult(FindWidget(button.name), GUI::EventClick, button.result);
    CDialogBase::Init();
}

void CInGameDialog::SetLaidOutText(GUI::Widget* widget, const std::wstring& text)
{
    if (!widget)
        return;
    widget->SetText(text);
    widget->UpdateSelf(0.0f);
}

namespace {

void setNpc(const GUI::WidgetRef& npc, const std::shared_ptr<aImage>& image)
{
    if (auto* picture = npc.as<GUI::StaticImage>())
        picture->SetImage(image.get(), nullptr);
}

aRect absoluteArea(const GUI::WidgetRef& ref)
{
    const GUI::Widget* widget = ref.get();
    return widget ? widget->GetAbsoluteRect() : aRect();
}

} // namespace

aRect CDialogPickItem::GetItemArea() const { return absoluteArea(m_itemArea); }

void CDialogEventForItem::InitParts()
{
    m_text = GUI::WidgetRef(FindWidget("text"));
    m_npc = GUI::WidgetRef(FindWidget("NPC"));
}

void CDialogEventForItem::SetTextById(const std::string& key, const std::string& prefix)
{
    SetLaidOutText(m_text.get(), DialogText(key, prefix));
}

void CDialogEventForItem::SetNpcImage(const std::shared_ptr<aImage>& image) { setNpc(m_npc, image); }

void CDialogItemIdent::InitParts()
{
    GUI::Widget* box = FindWidget("DialogWindow");
    m_text = GUI::WidgetRef(FindWidget(box, "text"));
    m_npc = GUI::WidgetRef(FindWidget("NPC"));
    m_identItem = GUI::WidgetRef(FindWidget("IdentItem"));
}

void CDialogItemIdent::SetTextById(const std::string& key, const std::string& prefix)
{
    SetLaidOutText(m_text.get(), DialogText(key, prefix));
}

void CDialogItemIdent::SetNpcImage(const std::shared_ptr<aImage>& image) { setNpc(m_npc, image); }

CDialogPoint CDialogItemIdent::GetIdentItemPos() const
{
    const GUI::Widget* item = m_identItem.get();
    const GUI::Widget* window = GetWindow();
    if (!item || !window)
        return CDialogPoint();
    return {std::int16_t(item->GetAreaRect().x + window->GetAreaRect().x),
            std::int16_t(item->GetAreaRect().y + window->GetAreaRect().y)};
}

aRect CDialogItemIdent::GetIdentItemRect() const { return absoluteArea(m_identItem); }

void CDialogOutOfTime::InitParts()
{
    CResManager* res = CResManager::getSingletonPtr();
    m_sound = res ? res->GetSoundManager()->GetSound("level_failed", "") : nullptr;
}

void CDialogOutOfTime::Show()
{
    if (Initialised() && m_sound)
        m_sound->Play(false, false);
    CDialogBase::Show();
}

void CDialogRandomClicking::SetPhoto(const std::string& name)
{
    auto* photo = m_photo.as<GUI::StaticImage>();
    if (!photo)
        return;
    CResManager* res = CResManager::getSingletonPtr();
    photo->SetImage(res ? res->GetImageManager()->GetImage(name) : nullptr, nullptr);
    photo->Update(0.0f);
}

void CDialogYesNo::InitParts()
{
    m_designed.Keep(GetWindow());
    m_text = GUI::WidgetRef(FindWidget("text"));
}

CDialogYesNo::~CDialogYesNo()
{
    if (Initialised())
        m_designed.Restore();
}

void CDialogYesNo::SetTextById(const std::string& key, const std::string& prefix)
{
    if (GUI::Widget* text = m_text.get())
        text->SetText(DialogText(key, prefix));
}

void CDialogYesNo::ShowText(const std::string& key, const std::string& prefix)
{
    SetTextById(key, prefix);
    Show();
}

void CDialogYesNo::CenterInRect(const aRect* rect)
{
    GUI::Widget* window = GetWindow();
    if (!window)
        return;
    const CScreenSize screen = GetScreenSize();
    const aRect r = rect ? *rect : aRect(0, 0, std::uint16_t(screen.width), std::uint16_t(screen.height));
    const aRect& designed = m_designed.area();
    const std::int32_t x = r.x + (std::int32_t(r.width) - designed.width) / 2;
    const std::int32_t y = r.y + (std::int32_t(r.height) - designed.height) / 2;
    window->SetPosition(std::int16_t(x), window->GetAreaRect().y);
    window->SetPosition(window->GetAreaRect().x, std::int16_t(y));
}
