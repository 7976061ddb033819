#include "game/SpyGame/Dialogs/DialogNotice.h"

#include <algorithm>
#include <cmath>

#include "engine/gui/gui_static_text.h"

void CDialogNotice::Init()
{
    if (m_state != kStateNew)
        return;
    if (GUI::Widget* window = FindWindow(kWindowName)) {
        window->notifyRender = true;
        BindResult(window, GUI::EventBeginRender, kStateShown);
        m_windowHeight = window->GetAreaRect().height;
    }
    if (const GUI::Widget* text = FindWidget("text"))
        m_textHeight = text->GetAreaRect().height;
    GUI::Widget* ok = FindWidget("Ok");
    if (ok)
        m_okY = ok->GetAreaRect().y;
    BindResult(ok, GUI::EventClick, kOk);
    CDialogBase::Init();
}

void CDialogNotice::SetNotice(const std::wstring& text)
{
    SetText(text);
    GUI::Widget* window = GetWindow();
    auto* label = dynamic_cast<GUI::StaticText*>(FindWidget("text"));
    GUI::Widget* ok = FindWidget("Ok");
    if (!window || !label || !ok)
        return;
    const std::int32_t extra = std::max(0, std::int32_t(std::ceil(label->GetTextHeight())) - m_textHeight);
    label->SetHeight(std::uint16_t(m_textHeight + extra));
    ok->SetPosition(ok->GetAreaRect().x, std::int16_t(m_okY + extra));
    window->SetHeight(std::uint16_t(m_windowHeight + extra));
}
