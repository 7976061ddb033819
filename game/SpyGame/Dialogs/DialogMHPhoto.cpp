#include "game/SpyGame/Dialogs/DialogMHPhoto.h"

#include <algorithm>

#include "engine/gfx/a_image.h"
#include "engine/gui/gui_static_image.h"
#include "engine/gui/gui_static_text.h"

void CDialogMHPhoto::InitParts()
{
    m_window.Keep(GetWindow());
    m_box.Keep(FindWidget("item_box"));
    GUI::Widget* textWindow = FindWidget("text_window");
    m_textWindow.Keep(textWindow);
    m_text.Keep(FindWidget(textWindow, "text"));
    m_continue.Keep(FindWidget("Continue"));
}

CDialogMHPhoto::~CDialogMHPhoto()
{
    if (!Initialised())
        return;
    for (const CDesignedArea* area : {&m_window, &m_box, &m_textWindow, &m_text, &m_continue})
        area->Restore();
}

void CDialogMHPhoto::Hide()
{
    if (Initialised())
        if (auto* box = dynamic_cast<GUI::StaticImage*>(m_box.get()))
            box->SetImage(nullptr, nullptr);
    CDialogBase::Hide();
}

void CDialogMHPhoto::SetPhoto(const std::shared_ptr<aImage>& image, const std::wstring& text)
{
    GUI::Widget* window = m_window.get();
    GUI::Widget* box = m_box.get();
    if (!window || !box)
        return;
    using u16 = std::uint16_t;
    using i16 = std::int16_t;
    const aRect dWin = m_window.area(), dBox = m_box.area(), dTw = m_textWindow.area(), dText = m_text.area();

    if (auto* picture = dynamic_cast<GUI::StaticImage*>(box))
        picture->SetImage(image.get(), nullptr);
    const u16 boxW = std::max<u16>(dBox.width, image ? u16(image->getWidth()) : u16(0));
    const u16 boxH = std::max<u16>(dBox.height, image ? u16(image->getHeight()) : u16(0));
    box->SetAreaRect(aRect(dBox.x, dBox.y, boxW, boxH));

    GUI::Widget* textWindow = m_textWindow.get();
    GUI::Widget* label = m_text.get();
    const bool hasText = !text.empty();
    if (label) {
        label->SetText(text);
        label->SetVisible(hasText);
    }
    if (textWindow)
        textWindow->SetVisible(hasText);

    const u16 winW = std::max<u16>(dWin.width, u16(dWin.width - dBox.width + boxW));
    const u16 wider = u16(winW - dWin.width);
    u16 twH = dTw.height;
    if (textWindow)
        textWindow->SetWidth(u16(dTw.width + wider));
    if (label)
        label->SetWidth(u16(dText.width + wider));
    if (hasText && label) {
        label->SetAreaRect(aRect(dText.x, dText.y, u16(dText.width + wider), 1000));
        label->SetText(text);
        label->UpdateSelf(0.0f);
        float laidOut = 0.0f;
        if (auto* measured = dynamic_cast<GUI::StaticText*>(label))
            laidOut = measured->GetTextHeight();
        const u16 h = u16(std::int32_t(laidOut + 0.5f));
        label->SetHeight(h);
        twH = u16(dTw.height + u16(h - dText.height));
        if (textWindow)
            textWindow->SetHeight(twH);
    }
    // The button moves as the box's bottom right corner does.
    if (GUI::Widget* button = m_continue.get()) {
        const aRect dButton = m_continue.area();
        button->SetPosition(i16(dButton.x + wider), i16(dButton.y + (boxH - dBox.height)));
    }
    const u16 gap = u16(dTw.y - dBox.y - dBox.height);
    if (textWindow)
        textWindow->SetPosition(dTw.x, i16(dBox.y + boxH + gap));
    const u16 below = u16(dWin.height - dTw.y - dTw.height);
    const u16 winH = u16(dBox.y + boxH + (hasText ? gap : u16(0)) + twH + below);
    window->SetSize(winW, winH);
    const std::int32_t x = dWin.x - (std::int32_t(winW) - dWin.width) / 2;
    const std::int32_t y = dWin.y - (std::int32_t(winH) - dWin.height) / 2;
    window->SetPosition(i16(x), i16(y));
}
