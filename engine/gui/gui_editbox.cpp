#include "engine/gui/gui_editbox.h"

#include <algorithm>
#include <cmath>

#include "engine/gfx/a_font.h"
#include "engine/gui/gui_clipboard.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "platform/input/dinput_keys.h"
#include "platform/input/typing.h"
#include "platform/system/cp1251.h"

namespace GUI {

using namespace platform;

Editbox::Editbox(const std::string& widgetName) : Widget(widgetName)
{
    AddProperty("Centered", &pCentered);
    AddProperty("MaxLength", &pMaxLength);
    AddProperty("Charset", &pCharset);
    AddProperty("CharCase", &pCharCase);
    AddProperty("NormalTextColor", &pNormalTextColor);
    AddProperty("DisabledTextColor", &pDisabledTextColor);
    AddProperty("CursorOnTime", &pCursorOnTime);
    AddProperty("CursorOffTime", &pCursorOffTime);
    AddProperty("CursorChar", &pCursorChar);
    AddProperty("CursorColor", &pCursorColor);
    AddProperty("SelectionColor", &pSelectionColor);
    AddProperty("AllowCopyPaste", &pAllowCopyPaste);
    AddProperty("ForceIntXY", &pForceIntXY);
    AddProperty("AllowCyrillic", &pAllowCyrillic);
    AddEvent(EventPositionChanged);
    AddEvent(EventEditboxFull);
    for (int c = 32; c <= 127; ++c)
        allowedChars[std::size_t(c)] = true;
    for (int c = 192; c <= 253; ++c)
        allowedChars[std::size_t(c)] = true;
}

void Editbox::EndFillProperties()
{
    Widget::EndFillProperties();
    if (pCentered.isSet)
        centered = pCentered.AsBool();
    if (pMaxLength.isSet)
        maxLength = pMaxLength.AsInt();
    if (pCharset.isSet) {
        allowedChars.fill(false);
        for (char c : pCharset.value)
            allowedChars[static_cast<unsigned char>(c)] = true;
    }
    if (pCharCase.isSet)
        charCase = str_equalNoCase(pCharCase.value, "upper")   ? CASE_UPPER
                   : str_equalNoCase(pCharCase.value, "lower") ? CASE_LOWER
                                                               : CASE_KEEP;
    if (pNormalTextColor.isSet)
        normalTextColor = UnpackColor(pNormalTextColor.AsHex());
    if (pDisabledTextColor.isSet)
        disabledTextColor = UnpackColor(pDisabledTextColor.AsHex());
    if (pCursorOnTime.isSet)
        cursorOnTime = pCursorOnTime.AsFloat();
    if (pCursorOffTime.isSet)
        cursorOffTime = pCursorOffTime.AsFloat();
    steadyCaret = !(cursorOnTime + cursorOffTime > 0.0f);
    if (steadyCaret)
        a_log("Editbox '%s': CursorOnTime and CursorOffTime give no blink period; the caret stays on", name.c_str());
    if (pCursorChar.isSet)
        cursorChar = pCursorChar.value.empty() ? '\0' : pCursorChar.value[0];
    if (pCursorColor.isSet)
        cursorColor = UnpackColor(pCursorColor.AsHex());
    if (pSelectionColor.isSet)
        selectionColor = UnpackColor(pSelectionColor.AsHex());
    if (pAllowCopyPaste.isSet)
        allowCopyPaste = pAllowCopyPaste.AsBool();
    if (pForceIntXY.isSet)
        textDrawFlags = pForceIntXY.AsBool() ? 16 : 0;
    if (pAllowCyrillic.isSet)
        allowCyrillic = pAllowCyrillic.AsBool();
}

// ---------------------------------------------------------------------------
// Helpers

void Editbox::ClampPositions()
{
    caretPos = Clamped(caretPos);
    selStart = Clamped(selStart);
    selEnd = Clamped(selEnd);
}

bool Editbox::TextEdited()
{
    const std::weak_ptr<const void> life = GetLifeToken();
    const bool was = ownEdit;
    ownEdit = true;
    OnTextChanged(WidgetEventArgs(this));
    if (life.expired())
        return false;
    ownEdit = was;
    return true;
}

std::uint32_t Editbox::WordLeft(std::uint32_t pos) const
{
    pos = Clamped(pos);
    // The last non-blank before pos, then back to the blank before its word.
    std::size_t i = pos;
    while (i > 0 && text[i - 1] == L' ')
        --i;
    if (i == 0)
        return 0;
    while (i > 0 && text[i - 1] != L' ')
        --i;
    return std::uint32_t(i);
}

std::uint32_t Editbox::WordRight(std::uint32_t pos) const
{
    std::size_t i = Clamped(pos);
    while (i < text.size() && text[i] != L' ')
        ++i;
    while (i < text.size() && text[i] == L' ')
        ++i;
    return std::uint32_t(i);
}

aFont* Editbox::ScaledFont() const
{
    aFont* font = GetFont();
    if (font) {
        font->setScale(GetFontSize());
        font->setAngle(0.0f);
    }
    return font;
}

float Editbox::TextWidth(aFont* font, std::size_t from, std::size_t to) const
{
    from = std::min(from, text.size());
    to = std::min(to, text.size());
    if (!font || to <= from)
        return 0.0f;
    return font->getStringSize(text.substr(from, to - from)).first;
}

std::wstring Editbox::CursorString() const
{
    return std::wstring(1, str_cp1251CharToWide(static_cast<unsigned char>(cursorChar)));
}

std::wstring Editbox::GetSelectedText() const
{
    const std::uint32_t a = GetSelectionStart(), b = GetSelectionEnd();
    return text.substr(a, b - a);
}

// ---------------------------------------------------------------------------
// Editing

wchar_t Editbox::FilterChar(wchar_t c) const
{
    if (c == 0)
        return 0;
    const bool latin = (c | 0x20) >= L'a' && (c | 0x20) <= L'z';
    if (latin && charCase == CASE_UPPER)
        c = wchar_t(c & ~0x20);
    else if (latin && charCase == CASE_LOWER)
        c = wchar_t(c | 0x20);
    // Basic Cyrillic: the lower case letters lie 0x20 above the upper case
    // ones (А-Я U+0410-U+042F, а-я U+0430-U+044F).
    if (charCase == CASE_UPPER && c >= 0x430 && c <= 0x44F)
        c = wchar_t(c - 0x20);
    else if (charCase == CASE_LOWER && c >= 0x410 && c <= 0x42F)
        c = wchar_t(c + 0x20);
    if (std::uint32_t(c) > 255)
        return c;
    return allowedChars[std::size_t(c)] ? c : 0;
}

void Editbox::SetCaretPos(std::uint32_t pos)
{
    pos = Clamped(pos);
    if (pos == caretPos)
        return;
    caretPos = pos;
    OnPositionChanged(WidgetEventArgs(this));
}

bool Editbox::InsertChar(wchar_t c)
{
    ClampPositions();
    const wchar_t ch = FilterChar(c);
    if (!ch)
        return true;
    bool room = true;
    if (maxLength > 0) {
        room = text.size() < std::size_t(maxLength);
    } else if (maxLength == 0) {
        if (aFont* font = ScaledFont())
            room = !(font->getStringSize(text + CursorString() + ch).first > float(area.width));
    }
    if (!room) {
        OnEditboxFull(WidgetEventArgs(this));
        return false;
    }
    const std::weak_ptr<const void> life = GetLifeToken();
    DeleteSelection();
    if (life.expired())
        return true;
    ClampPositions();
    text.insert(caretPos, 1, ch);
    if (!TextEdited())
        return true;
    SetCaretPos(caretPos + 1);
    selStart = selEnd = Clamped(caretPos);
    return true;
}

void Editbox::DeleteText(std::uint32_t pos, std::uint32_t count)
{
    pos = Clamped(pos);
    text.erase(pos, count);
}

void Editbox::Paste()
{
    const std::weak_ptr<const void> life = GetLifeToken();
    for (wchar_t c : clipboard_getText())
        if (!InsertChar(c) || life.expired())
            break;
}

void Editbox::SetSelection(std::uint32_t a, std::uint32_t b)
{
    a = Clamped(a);
    b = Clamped(b);
    selStart = std::min(a, b);
    selEnd = std::max(a, b);
}

void Editbox::DeleteSelection()
{
    ClampPositions();
    if (selStart == selEnd)
        return;
    const std::uint32_t start = selStart;
    DeleteText(start, selEnd - start);
    selEnd = selStart = start;
    SetCaretPos(start);
    TextEdited();
}

void Editbox::MoveLeft(std::uint32_t modifiers)
{
    ClampPositions();
    std::uint32_t pos = caretPos;
    if (pos > 0)
        pos = (modifiers & MOD_CTRL) ? WordLeft(pos) : pos - 1;
    SetCaretPos(pos);
    pos = GetCaretPos();
    if (!(modifiers & MOD_SHIFT))
        selStart = selEnd = pos;
    else if (pos >= selStart)
        selEnd = pos;
    else
        SetSelection(pos, selEnd);
}

void Editbox::MoveRight(std::uint32_t modifiers)
{
    ClampPositions();
    SetCaretPos((modifiers & MOD_CTRL) ? WordRight(caretPos) : caretPos + 1);
    const std::uint32_t pos = GetCaretPos();
    if (!(modifiers & MOD_SHIFT))
        selStart = selEnd = pos;
    else if (pos <= selEnd)
        selStart = pos;
    else
        SetSelection(selStart, pos);
}

void Editbox::MoveHome(std::uint32_t modifiers)
{
    ClampPositions();
    const std::uint32_t old = caretPos;
    SetCaretPos(0);
    if (!(modifiers & MOD_SHIFT)) {
        selStart = selEnd = 0;
        return;
    }
    const std::uint32_t anchor = old == selStart ? selEnd : selStart;
    SetSelection(0, anchor);
}

void Editbox::MoveEnd(std::uint32_t modifiers)
{
    ClampPositions();
    const std::uint32_t old = caretPos;
    SetCaretPos(std::uint32_t(text.size()));
    const std::uint32_t pos = GetCaretPos();
    if (!(modifiers & MOD_SHIFT)) {
        selStart = selEnd = pos;
        return;
    }
    const std::uint32_t anchor = old == selEnd ? selStart : selEnd;
    SetSelection(anchor, pos);
}

void Editbox::DoBackspace(std::uint32_t modifiers)
{
    ClampPositions();
    if (selStart != selEnd) {
        DeleteSelection();
        return;
    }
    if (caretPos == 0)
        return;
    const std::uint32_t to = (modifiers & MOD_CTRL) ? WordLeft(caretPos) : caretPos - 1;
    const std::uint32_t count = caretPos - to;
    SetCaretPos(to);
    selStart = selEnd = to;
    DeleteText(to, count);
    TextEdited();
}

void Editbox::DoDelete(std::uint32_t modifiers)
{
    ClampPositions();
    if (selStart != selEnd) {
        DeleteSelection();
        return;
    }
    if (caretPos >= text.size())
        return;
    const std::uint32_t to = (modifiers & MOD_CTRL) ? WordRight(caretPos) : caretPos + 1;
    DeleteText(caretPos, to - caretPos);
    TextEdited();
}

bool Editbox::CopySelection()
{
    const std::wstring selected = GetSelectedText();
    if (selected.empty())
        return false;
    clipboard_setText(selected);
    return true;
}

// ---------------------------------------------------------------------------
// Hooks

void Editbox::OnPositionChanged(const WidgetEventArgs& args) { Launch(EventPositionChanged, args); }
void Editbox::OnEditboxFull(const WidgetEventArgs& args) { Launch(EventEditboxFull, args); }

void Editbox::OnFocusGain(const WidgetEventArgs& args)
{
    if (allowCopyPaste)
        SetSelection(0, std::uint32_t(text.size()));
    blinkTimer = 0.0f;
    caretVisible = true;
    SetCaretPos(std::uint32_t(text.size()));
    Widget::OnFocusGain(args);
}

void Editbox::OnKeyDown(const KeybEventArgs& args)
{
    const std::weak_ptr<const void> life = GetLifeToken();
    KeybEventArgs event = args;
    ClampPositions();
    const std::uint32_t mods = args.modifiers;
    const bool clipboardKey = (mods & MOD_CTRL) && allowCopyPaste;
    switch (args.key) {
    case DIK_BACK:
        DoBackspace(mods);
        break;
    case DIK_HOME:
        MoveHome(mods);
        break;
    case DIK_END:
        MoveEnd(mods);
        break;
    case DIK_LEFT:
        MoveLeft(mods);
        break;
    case DIK_RIGHT:
        MoveRight(mods);
        break;
    case DIK_DELETE:
        DoDelete(mods);
        break;
    default:
        if (clipboardKey && args.key == DIK_A) {
            SetSelection(0, std::uint32_t(text.size()));
            SetCaretPos(std::uint32_t(text.size()));
        } else if (clipboardKey && args.key == DIK_C) {
            CopySelection();
        } else if (clipboardKey && args.key == DIK_X) {
            // With nothing selected there is nothing to cut.
            if (CopySelection())
                DoDelete(mods);
        } else if (clipboardKey && args.key == DIK_V) {
            Paste();
        } else {
            KeyCharacter(event);
        }
    }
    if (life.expired())
        return;
    blinkTimer = 0.0f;
    UpdateScroll();
    Widget::OnKeyDown(event);
}

void Editbox::KeyCharacter(KeybEventArgs& event)
{
    const std::uint32_t key = event.key;
    // Text input types the number pad's digits only while Num Lock is on.
    char digit = 0;
    if (key >= DIK_NUMPAD7 && key <= DIK_NUMPAD9)
        digit = char('7' + (key - DIK_NUMPAD7));
    else if (key >= DIK_NUMPAD4 && key <= DIK_NUMPAD6)
        digit = char('4' + (key - DIK_NUMPAD4));
    else if (key >= DIK_NUMPAD1 && key <= DIK_NUMPAD3)
        digit = char('1' + (key - DIK_NUMPAD1));
    else if (key == DIK_NUMPAD0)
        digit = '0';
    if (digit) {
        event.character = digit;
        if (!(event.modifiers & MOD_NUMLOCK))
            InsertChar(wchar_t(digit));
        return;
    }
    // The KeyDown handlers see the letter of the Russian layout; the
    // character itself comes as typed text.
    if (allowCyrillic)
        event.character = kbd_mapToCyrillic(event.character);
}

wchar_t Editbox::HeldCharacter(char32_t c) const
{
    unsigned char code = 0;
    if (!isTypedCharacter(c) || !unicodeToCp1251(c, code))
        return 0;
    const bool cyrillic = c >= 0x400 && c <= 0x4FF;
    return cyrillic && !allowCyrillic ? 0 : wchar_t(c);
}

void Editbox::OnTextInput(const KeybEventArgs& args)
{
    const std::weak_ptr<const void> life = GetLifeToken();
    ClampPositions();
    if (const wchar_t c = HeldCharacter(args.text))
        InsertChar(c);
    if (life.expired())
        return;
    blinkTimer = 0.0f;
    UpdateScroll();
}

void Editbox::UpdateScroll()
{
    aFont* font = ScaledFont();
    if (!font)
        return;
    const float cw = font->getStringSize(CursorString()).first;
    const float tw = TextWidth(font, 0, GetCaretPos());
    const float w = float(area.width);
    if (scrollOffset + tw + cw > w)
        scrollOffset = w - tw - cw;
    else if (scrollOffset + tw < 0.0f)
        scrollOffset = -tw;
}

void Editbox::UpdateSelf(float dt)
{
    if (focused) {
        if (steadyCaret) {
            caretVisible = true;
        } else {
            blinkTimer = std::fmod(blinkTimer + dt, cursorOnTime + cursorOffTime);
            caretVisible = blinkTimer < cursorOnTime;
        }
    }
    Widget::UpdateSelf(dt);
}

void Editbox::DrawSelf()
{
    aFont* font = ScaledFont();
    if (!font)
        return;
    const ScopedClip clip(GetAbsoluteRect());
    ClampPositions();
    const auto [tw, th] = font->getStringSize(text);
    const float ty = float(GetAbsoluteY()) + (float(area.height) - th) * 0.5f;
    const float tx = centered && scrollOffset >= 0.0f ? float(GetAbsoluteX()) + (float(area.width) - tw) * 0.5f
                                                      : float(GetAbsoluteX()) + scrollOffset;
    const float alpha = GetAlpha();
    const bool on = IsEnabled();
    if (allowCopyPaste && selStart != selEnd && focused && on && g_gdi) {
        g_gdi->m_color = PackColor(selectionColor, alpha);
        g_gdi->drawRect(tx + TextWidth(font, 0, selStart), ty, TextWidth(font, selStart, selEnd), th, true);
    }
    font->color = PackColor(on ? normalTextColor : disabledTextColor, alpha);
    font->drawString(tx, ty, text, std::uint8_t(textDrawFlags));
    if (focused && on && caretVisible) {
        font->color = PackColor(cursorColor, alpha);
        font->drawString(tx + TextWidth(font, 0, caretPos), ty, CursorString(), std::uint8_t(textDrawFlags));
    }
}

} // namespace GUI
