// The game panel's list of things to find and its overlay drawing.
#include <algorithm>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_image.h"
#include "engine/gui/gui_color.h"
#include "engine/gui/gui_static_text.h"
#include "engine/util/a_string.h"
#include "game/SpyGame/Dialogs/DialogSpyGamePanel.h"
#include "game/shell/c_res_manager.h"

namespace {

// How far a Find All line slides left while it leaves.
constexpr float kSlideDistance = 24.0f;
constexpr std::uint32_t kStrikeColor = 0xFF8C1C13;
constexpr float kStrikeThickness = 2.0f;
constexpr std::uint32_t kDefaultListColor = 0xFF000000;

std::uint32_t withAlpha(std::uint32_t argb, float alpha)
{
    const float a = float(argb >> 24) * std::clamp(alpha, 0.0f, 1.0f);
    return (std::uint32_t(a + 0.5f) << 24) | (argb & 0xFFFFFF);
}

} // namespace

bool CDialogSpyGamePanel::TakeListStyle()
{
    if (!m_itemTasks || !GetWindow())
        return false;
    if (const GUI::Widget* text2 = GetPart(Text2)) {
        aFont* font = text2->GetFont();
        const float size = text2->GetFontSize();
        const auto* st = dynamic_cast<const GUI::StaticText*>(text2);
        const float spacing = st ? st->lineSpacing : 0.0f;
        const std::uint16_t width = text2->GetAreaRect().width;
        if (font != m_listFont || size != m_listFontSize || spacing != m_listSpacing || width != m_listWidth) {
            m_listFont = font;
            m_listFontSize = size;
            m_listSpacing = spacing;
            m_listWidth = width;
            m_itemTasks->SetFont(font);
            m_itemTasks->SetFontSize(size);
            m_itemTasks->SetLineSpacing(spacing);
            m_itemTasks->SetWidth(width);
            for (ItemTask& task : m_tasks)
                task.laidOut = false;
            m_titleTask.laidOut = false;
        }
    }
    return m_itemTasks->GetFont(true) != nullptr;
}

void CDialogSpyGamePanel::LayoutTask(ItemTask& task)
{
    GUI::StaticText& text = *m_itemTasks;
    text.SetText(task.text);
    text.UpdateSelf(0.0f);
    ++m_layoutCount;
    task.words.clear();
    task.lines.clear();
    aFont* font = text.GetFont(true);
    const float scale = text.GetFontSize(true);
    font->setScale(scale);
    font->setAngle(0.0f);
    float y = 0.0f;
    for (std::uint32_t li = 0; li < text.lineCount; ++li) {
        const GUI::StaticText::Line& line = text.lines[li];
        TextLine out{y, 0.0f, 0.0f};
        auto word = line.firstWord;
        for (std::uint32_t k = 0; k < line.wordCount; ++k, ++word) {
            const float right = word->x + font->getStringSize(word->text).first;
            out.left = k == 0 ? word->x : std::min(out.left, word->x);
            out.right = std::max(out.right, right);
            task.words.push_back({word->text, word->x, y});
        }
        task.lines.push_back(out);
        y += line.height + text.lineSpacing;
    }
    task.height = text.textHeight;
    task.lineHeight = text.lineCount ? text.lines[0].height : font->getFontHeight() * scale;
    task.laidOut = true;
}

void CDialogSpyGamePanel::RefreshTasks(float dt)
{
    if (!m_taskList)
        return;
    const bool canLayout = TakeListStyle();
    const std::vector<CFindItemsGroup>& list = *m_taskList;
    // Records follow tasks by position, so a line whose count drops keeps its record.
    m_tasks.resize(list.size());
    float y = 0.0f;
    if (const auto origin = m_listOrigins.find(m_personageName); origin != m_listOrigins.end())
        y = origin->second.second;
    else if (const GUI::Widget* text2 = GetPart(Text2))
        y = float(text2->GetAbsoluteY());

    for (std::size_t i = 0; i < list.size(); ++i) {
        const CFindItemsGroup& group = list[i];
        ItemTask& task = m_tasks[i];
        if (!group.visible)
            continue;
        const std::string key = group.name.empty()
                                    ? group.GetTaskName()
                                    : group.name + "_" + str_fromUInt(std::max<unsigned>(group.toFind, 1u));
        if (key != task.key) {
            if (task.key.empty() && task.text.empty())
                task.progress = kStrikeTime;  // a line done before it was first shown is struck at once
            task.key = key;
            const std::wstring* text = FindLocalised(key, m_roomKey);
            task.text = text ? *text : L"@" + str_cp1251ToWide(key);
            task.laidOut = false;
        }
        if (!task.laidOut && canLayout)
            LayoutTask(task);

        if (m_foundChanged)
            for (auto it = m_foundNames.begin();
                 it != m_foundNames.end() && (task.state == TaskPlain || task.state == TaskRecheck);) {
                if (!group.GetItem(*it)) {
                    ++it;
                    continue;
                }
                it = m_foundNames.erase(it);
                // A group keeps its line plain until its last item is found.
                if (group.toFind > 0) {
                    task.state = TaskRecheck;
                } else {
                    task.state = TaskStruck;
                    task.progress = 0.0f;
                }
            }
        if (!(m_findAllMode && task.state == TaskDone))
            task.progress += dt;
        if (group.toFind == 0) {
            if (!m_findAllMode)
                task.state = TaskDone;
            else if (task.state == TaskPlain || task.state == TaskStruck || task.state == TaskRecheck)
                task.state = TaskFinished;
        }
        if (m_findAllMode && task.state == TaskFinished && task.progress > kStrikeTime) {
            task.state = TaskSliding;
            task.progress = 0.0f;
        }
        if (m_findAllMode && task.state == TaskSliding && task.progress > kStrikeTime)
            task.state = TaskDone;
        if (task.state == TaskStruck)
            task.progress = std::min(task.progress, kStrikeTime);

        task.y = y;
        if (m_findAllMode && task.state == TaskDone)
            continue;
        if (m_findAllMode && task.state == TaskSliding)
            y += task.height * (1.0f - std::min(task.progress / kStrikeTime, 1.0f));
        else
            y += task.height;
    }
    m_foundChanged = m_foundChanged && !m_foundNames.empty();
}

// ------------------------------------------------------------------ drawing

void CDialogSpyGamePanel::DrawTask(const ItemTask& task, float x, float alpha, bool highlighted, float strike)
{
    aFont* font = m_itemTasks->GetFont(true);
    if (!font || !task.laidOut)
        return;
    if (aImage* select = highlighted ? PanelImage(m_selectItem) : nullptr)
        for (const TextLine& line : task.lines)
            select->draw(x + line.left - 4.0f,
                         task.y + line.y + (task.lineHeight - float(select->getHeight())) / 2.0f);
    std::uint32_t color = kDefaultListColor;
    if (const auto* text2 = dynamic_cast<const GUI::StaticText*>(GetPart(Text2)))
        color = GUI::PackColor(text2->normalColor);
    font->color = withAlpha(color, alpha);
    font->setScale(m_itemTasks->GetFontSize(true));
    font->setAngle(0.0f);
    for (const Word& word : task.words)
        font->drawString(x + word.x, task.y + word.y, word.text, FONT_SNAP);
    if (strike <= 0.0f || !m_res)
        return;
    const std::uint32_t kept = m_res->GetRectColor();
    m_res->SetRectColor(withAlpha(kStrikeColor, alpha));
    for (const TextLine& line : task.lines) {
        const float left = x + line.left - 2.0f, width = (line.right - line.left + 4.0f) * std::min(strike, 1.0f);
        m_res->DrawRect(left, task.y + line.y + task.lineHeight * 0.55f, width, kStrikeThickness);
    }
    m_res->SetRectColor(kept);
}

void CDialogSpyGamePanel::DrawTasks()
{
    m_entries.clear();
    if (!m_ispyRoom || !m_taskList || !TakeListStyle())
        return;
    float x = 0.0f;
    if (const auto origin = m_listOrigins.find(m_personageName); origin != m_listOrigins.end())
        x = origin->second.first;
    else if (const GUI::Widget* text2 = GetPart(Text2))
        x = float(text2->GetAbsoluteX());
    std::int32_t mx = 0, my = 0;
    MousePos(mx, my);
    if (!m_titleTask.text.empty())
        DrawTask(m_titleTask, x, 1.0f, false, 0.0f);

    const std::vector<CFindItemsGroup>& list = *m_taskList;
    for (std::size_t i = 0; i < std::min(list.size(), m_tasks.size()); ++i) {
        const CFindItemsGroup& group = list[i];
        const ItemTask& task = m_tasks[i];
        if (!group.visible || (m_findAllMode && task.state == TaskDone))
            continue;
        float alpha = 1.0f, dx = 0.0f, strike = 0.0f;
        if (task.state == TaskStruck || task.state == TaskFinished || task.state == TaskDone)
            strike = std::min(task.progress / kStrikeTime, 1.0f);
        if (task.state == TaskSliding) {
            const float f = std::min(task.progress / kStrikeTime, 1.0f);
            alpha = 1.0f - f;
            dx = -kSlideDistance * f;
            strike = 1.0f;
        }
        bool hovered = false;
        // Only lines with something left to find are hint targets.
        if (group.toFind > 0) {
            const aRect rect(std::int16_t(x), std::int16_t(task.y), m_listWidth, std::uint16_t(task.height));
            m_entries.push_back({rect, group.GetTaskName(), i});
            hovered = m_hintMode && mx >= rect.x && mx < rect.right() && my >= rect.y && my < rect.bottom();
        }
        DrawTask(task, x + dx, alpha, hovered, strike);
    }
}

void CDialogSpyGamePanel::DrawClue()
{
    const GUI::Widget* title = GetPart(MurderHuntTitle);
    if (m_captionFont && title) {
        m_captionFont->color = 0xFF000000;
        m_captionFont->setScale(1.0f);
        m_captionFont->setAngle(0.12217306f);
        m_captionFont->drawString(float(title->GetAbsoluteX()), float(title->GetAbsoluteY()), Localised("mh_clue"),
                                  0);
    }
    std::wstring clue;
    std::uint32_t color = 0;
    if (m_mode == 0) {
        clue = Localised("HINT_TOOL_TIP_MH_QUEST", m_commentPrefix);
        color = 0xFFAA0000;
    } else if (m_mode == 1 || m_mode == 2) {
        const GUI::Widget* level = GetPart(LevelNum);
        const GUI::Widget* room = GetPart(RoomName);
        const bool boathouse = level && room && level->GetText() == Localised("investigation") + L" 11" &&
                               room->GetText() == Localised("Boathouse");
        if (m_mode == 1) {
            clue = str_toLowerW(Localised(boathouse ? "HINT_MURDER_HUNT2" : "HINT_MURDER_HUNT"));
            color = 0xFF0000AA;
        } else if (boathouse) {
            clue = str_toLowerW(Localised("HINT_TOOL_TIP_PICK_ENVELOPE2"));
            color = 0xFF00AA00;
        } else {
            clue = Localised("HINT_TOOL_TIP_PICK_ENVELOPE", m_commentPrefix);
            color = 0xFF00AA00;
        }
    }
    const GUI::Widget* textPart = GetPart(MurderHuntText);
    if (clue.empty() || !m_clueFont || !textPart)
        return;
    m_clueFont->color = color;
    m_clueFont->setScale(1.0f);
    m_clueFont->setAngle(0.0f);
    if (clue != m_clueSource) {
        // Greedy word wrap to the text widget's width; line breaks in the text stay.
        m_clueSource = clue;
        m_clueLines.clear();
        const float width = float(textPart->GetAreaRect().width);
        std::wstring line, word;
        const auto flushWord = [&]() {
            if (word.empty())
                return;
            const std::wstring joined = line.empty() ? word : line + L" " + word;
            if (!line.empty() && m_clueFont->getStringSize(joined).first > width) {
                m_clueLines.push_back(line);
                line = word;
            } else {
                line = joined;
            }
            word.clear();
        };
        for (wchar_t c : clue) {
            if (c == L' ' || c == L'\n') {
                flushWord();
                if (c == L'\n') {
                    m_clueLines.push_back(line);
                    line.clear();
                }
            } else if (c != L'\r') {
                word.push_back(c);
            }
        }
        flushWord();
        if (!line.empty())
            m_clueLines.push_back(line);
    }
    const float lineHeight = m_clueFont->getFontHeight();
    float y = float(textPart->GetAbsoluteY());
    for (const std::wstring& line : m_clueLines) {
        m_clueFont->drawString(float(textPart->GetAbsoluteX()), y, line, FONT_SNAP);
        y += lineHeight;
    }
}

bool CDialogSpyGamePanel::OnOverlay(const GUI::EventArgs&)
{
    m_state = ResultShown;
    DrawTasks();
    if (m_extraHint)
        m_extraHint->render();
    for (Trail& trail : m_trails)
        trail.particles->render();
    // The clue belongs to the murder-hunt button: not drawn while it is hidden.
    if (PartVisible(BtnMurderHunt)) {
        DrawClue();
        if (m_mhStars && m_mhStarsArmed)
            m_mhStars->render();
    }
    return true;
}

bool CDialogSpyGamePanel::OnContinueStars(const GUI::EventArgs&)
{
    if (m_contStars && m_contStarsArmed)
        m_contStars->render();
    return true;
}
