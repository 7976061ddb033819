#include "game/SpyGame/Dialogs/DialogTextBox.h"

#include "engine/gui/gui_static_image.h"
#include "engine/gui/gui_static_text.h"

CDialogTextBox::CDialogTextBox(const char* windowName, const char* buttonName)
    : CInGameDialog(windowName, {{buttonName, 3}}), m_buttonName(buttonName)
{
}

CDialogTextBox::~CDialogTextBox()
{
    if (Initialised())
        RestoreDesigned();
}

void CDialogTextBox::InitParts()
{
    m_window.Keep(GetWindow());
    m_text.Keep(FindWidget("text"));
    m_button.Keep(FindWidget(m_buttonName));
    m_bottom.Keep(FindWidget("bottom"));
    if (const auto* picture = dynamic_cast<const GUI::StaticImage*>(GetWindow()))
        m_imageRect = picture->normalRect;
}

void CDialogTextBox::RestoreDesigned()
{
    for (const CDesignedArea* area : {&m_window, &m_text, &m_button, &m_bottom})
        area->Restore();
    if (auto* picture = dynamic_cast<GUI::StaticImage*>(m_window.get()))
        picture->normalRect = m_imageRect;
}

void CDialogTextBox::SetTextById(const std::string& key, const std::string& prefix)
{
    ResizeToText(DialogText(key, prefix));
}

void CDialogTextBox::ResizeToText(const std::wstring& text)
{
    auto* label = dynamic_cast<GUI::StaticText*>(m_text.get());
    if (!label)
        return;
    const aRect designedText = m_text.area();
    label->SetText(text);
    label->SetAreaRect(aRect(designedText.x, designedText.y, designedText.width, 1000));
    label->SetText(text);
    label->UpdateSelf(0.0f);
    const auto h = std::uint16_t(std::int32_t(label->GetTextHeight() + 0.5f));
    if (h > designedText.height) {
        const std::uint16_t grow = std::uint16_t(h - designedText.height);
        label->SetHeight(h);
        for (const CDesignedArea* moved : {&m_button, &m_bottom})
            if (GUI::Widget* widget = moved->get())
                widget->SetAreaRect(aRect(moved->area().x, std::int16_t(moved->area().y + grow), moved->area().width,
                                          moved->area().height));
        if (GUI::Widget* window = m_window.get()) {
            const aRect& w = m_window.area();
            window->SetAreaRect(aRect(w.x, w.y, w.width, std::uint16_t(w.height + grow)));
            if (auto* picture = dynamic_cast<GUI::StaticImage*>(window)) {
                picture->normalRect = m_imageRect;
                picture->normalRect.height = window->GetAreaRect().height;
            }
        }
    } else {
        RestoreDesigned();
    }
    label->SetText(text);
    label->UpdateSelf(0.0f);
}
