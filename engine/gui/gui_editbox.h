#pragma once
// The one-line text input: the widget's Text in its font, a blinking caret
// drawn as a character, a selection, a character filter (allowed bytes and
// letter case), a length or width limit, key editing with word jumps and
// the clipboard keys. Characters come as typed text (OnTextInput), the
// editing keys as key events. Keys only: the mouse neither moves the caret
// nor selects.
//
// Positions index Text (0 .. length). Text may change behind the widget's
// back (SetText): the caret and the selection are clamped to it wherever
// they are used.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/gui/gui_draw.h"
#include "engine/gui/gui_widget.h"

namespace GUI {

class Editbox : public Widget {
public:
    static constexpr const char* EventPositionChanged = "PositionChanged";
    static constexpr const char* EventEditboxFull = "EditboxFull";

    enum CharCase : std::int32_t { CASE_UPPER = 0, CASE_LOWER = 1, CASE_KEEP = 2 };

    explicit Editbox(const std::string& name);

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "Editbox"; }
    bool IsA(const std::string& type) const override { return type == "Editbox"; }
    void DrawSelf() override;
    // Caret blink while focused, then the widget's update.
    void UpdateSelf(float dt) override;
    // Blinks only while focused.
    bool IsUpdateIdle() const override { return !focused && Widget::IsUpdateIdle(); }
    bool CanFocus() const override { return true; }
    bool TakesText() const override { return true; }
    void OnFocusGain(const WidgetEventArgs& args) override;
    void OnKeyDown(const KeybEventArgs& args) override;
    // Inserts a typed character the box can hold: one of the system code
    // page (Windows-1251), Cyrillic letters only with AllowCyrillic.
    void OnTextInput(const KeybEventArgs& args) override;

    // Clamps to the text; PositionChanged when the caret moved.
    virtual void SetCaretPos(std::uint32_t pos);
    // Filtered insertion at the caret, replacing the selection. False, with
    // EditboxFull, when there is no room; true otherwise (a character the
    // filter refuses is dropped).
    virtual bool InsertChar(wchar_t c);
    // Erases up to count characters from pos; raises nothing.
    virtual void DeleteText(std::uint32_t pos, std::uint32_t count);
    // Inserts the clipboard's text character by character until one finds
    // no room.
    virtual void Paste();
    virtual void MoveHome(std::uint32_t modifiers);
    virtual void MoveEnd(std::uint32_t modifiers);
    virtual void OnPositionChanged(const WidgetEventArgs& args);
    virtual void OnEditboxFull(const WidgetEventArgs& args);

    // The character after the letter case, or 0 when it is not allowed.
    wchar_t FilterChar(wchar_t c) const;
    // A typed character as the box holds it; 0 when it cannot.
    wchar_t HeldCharacter(char32_t c) const;
    // Stored in ascending order, clamped to the text.
    void SetSelection(std::uint32_t a, std::uint32_t b);
    void DeleteSelection();
    void MoveLeft(std::uint32_t modifiers);
    void MoveRight(std::uint32_t modifiers);
    void DoBackspace(std::uint32_t modifiers);
    void DoDelete(std::uint32_t modifiers);

    std::uint32_t GetCaretPos() const { return Clamped(caretPos); }
    std::uint32_t GetSelectionStart() const { return Clamped(selStart); }
    std::uint32_t GetSelectionEnd() const { return Clamped(selEnd); }
    std::wstring GetSelectedText() const;

    char cursorChar = '|';
    Color normalTextColor;
    Color disabledTextColor{128.0f / 255.0f, 128.0f / 255.0f, 128.0f / 255.0f, 1.0f};
    Color cursorColor;
    Color selectionColor{0.0f, 0.0f, 1.0f, 128.0f / 255.0f};
    bool centered = false;
    std::int32_t maxLength = 0;  // 0: the widget's width limits; above 0: the most characters
    std::uint32_t caretPos = 0;
    float cursorOnTime = 0.7f;
    float cursorOffTime = 0.7f;
    float blinkTimer = 0.0f;
    bool caretVisible = false;
    bool steadyCaret = false;  // the blink times give no period
    std::array<bool, 256> allowedChars{};  // codes above 255 are always allowed
    std::int32_t charCase = CASE_KEEP;
    std::uint32_t selStart = 0, selEnd = 0;
    bool allowCopyPaste = false;
    float scrollOffset = 0.0f;  // 0 or negative while the text scrolls
    std::uint32_t textDrawFlags = 16;
    bool allowCyrillic = false;

    Property pCentered, pMaxLength, pCharset, pCharCase, pNormalTextColor, pDisabledTextColor, pCursorOnTime,
        pCursorOffTime, pCursorChar, pCursorColor, pSelectionColor, pAllowCopyPaste, pForceIntXY, pAllowCyrillic;

protected:
    std::uint32_t Clamped(std::uint32_t pos) const { return pos < text.size() ? pos : std::uint32_t(text.size()); }
    // Brings caret and selection back into the text.
    void ClampPositions();
    // Raises TextChanged for an edit of the widget's own; false when a
    // handler destroyed the widget.
    bool TextEdited();
    // True while TextEdited raises TextChanged.
    bool ownEdit = false;
    // Where Ctrl+Left and Ctrl+Right go from pos.
    std::uint32_t WordLeft(std::uint32_t pos) const;
    std::uint32_t WordRight(std::uint32_t pos) const;
    // The font at the widget's size, angle 0; null without a font.
    aFont* ScaledFont() const;
    float TextWidth(aFont* font, std::size_t from, std::size_t to) const;
    std::wstring CursorString() const;
    // The selected text onto the clipboard; false when nothing is selected.
    bool CopySelection();

    // Keeps the caret inside the widget by the horizontal scroll offset;
    // run after every key.
    virtual void UpdateScroll();

private:
    // A key that is no editing key: the number pad types its digit with Num
    // Lock off; the event's character follows the Russian layout.
    void KeyCharacter(KeybEventArgs& args);
};

} // namespace GUI
