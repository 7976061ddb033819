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
        m_windowArea = window->GetAreaRect();
    }
    if (auto* text = dynamic_cast<GUI::StaticText*>(FindWidget("text"))) {
        m_textArea = text->GetAreaRect();
        text->SetShortenNames(true);
    }
    GUI::Widget* ok = FindWidget("Ok");
    if (ok)
        m_okArea = ok->GetAreaRect();
    BindResult(ok, GUI::EventClick, kOk);
    CDialogBase::Init();
}

void CDialogNotice::SetNotice(const std::wstring& text)
{
    GUI::Widget* window = GetWindow();
    auto* label = dynamic_cast<GUI::StaticText*>(FindWidget("text"));
    GUI::Widget* ok = FindWidget("Ok");
    if (!window || !label || !ok) {
        SetText(text);
        return;
    }
    aRect board = m_windowArea, area = m_textArea, button = m_okArea;
    window->SetAreaRect(board);
    label->SetAreaRect(area);
    SetText(text);
    const GUI::Widget* screen = window->GetParent();
    const std::int32_t need = std::int32_t(std::ceil(label->shortenedWidth));
    if (need > area.width && screen) {
        const std::int32_t screenWidth = screen->GetAreaRect().width, margin = area.x;
        const std::int32_t frame = board.width - area.width;
        const std::int32_t wider = std::min(need, screenWidth - 2 * margin - frame) - area.width;
        if (wider > 0) {
            const std::int32_t width = board.width + wider, last = std::max(margin, screenWidth - margin - width);
            board.x = std::int16_t(std::clamp(board.x - wider / 2, margin, last));
            board.width = std::uint16_t(width);
            area.width = std::uint16_t(area.width + wider);
            button.x = std::int16_t(button.x + wider / 2);
            label->SetAreaRect(area);
        }
    }
    const std::int32_t extra = std::max(0, std::int32_t(std::ceil(label->GetTextHeight())) - area.height);
    area.height = std::uint16_t(area.height + extra);
    board.height = std::uint16_t(board.height + extra);
    button.y = std::int16_t(button.y + extra);
    window->SetAreaRect(board);
    label->SetAreaRect(area);
    ok->SetAreaRect(button);
}
