#pragma once
// A vertical list of items, each drawing itself in its slot (its height
// plus the margins), with single or multiple selection by mouse, a
// selection fill and optional sorting. The list box owns its items; code
// adds and removes them (ListboxTextItem is the stock kind). The content
// size is the slot heights summed by the widest item, and the scroll
// bars' totals follow it.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/gui/gui_color.h"
#include "engine/gui/gui_scroll_container.h"

class aGDI;

namespace GUI {

class Listbox : public ScrollContainer {
public:
    static constexpr const char* EventListContentsChanged = "ListContentsChanged";
    static constexpr const char* EventSelectionChanged = "SelectionChanged";
    static constexpr const char* EventSortingModeChanged = "SortingModeChanged";
    static constexpr const char* EventMultiselectModeChanged = "MultiselectModeChanged";

    enum Sorting : std::int32_t { SORT_ASCENDING = 0, SORT_DESCENDING = 1, SORT_NONE = 2 };

    // A list entry.
    class Item {
    public:
        virtual ~Item() = default;
        // Width and height in pixels.
        virtual std::pair<float, float> GetSize() const = 0;
        // Into the slot less the margins.
        virtual void Draw(const aRect& rect) = 0;
        virtual void Update(float) {}
        // False for an item whose Update does anything: its list box is
        // then updated every frame.
        virtual bool IsUpdateIdle() const { return true; }
        // Strict weak orders: first in descending (SortsAfter) or
        // ascending (SortsBefore) order.
        virtual bool SortsAfter(const Item& other) const = 0;
        virtual bool SortsBefore(const Item& other) const = 0;

        bool selected = false;
    };

    explicit Listbox(const std::string& name);
    ~Listbox() override;

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "Listbox"; }
    bool IsA(const std::string& type) const override { return type == "Listbox" || type == "ScrollContainer"; }
    void DrawSelf() override;
    void UpdateSelf(float dt) override;
    bool IsUpdateIdle() const override;
    bool CanFocus() const override { return true; }
    void OnMouseDown(const MouseEventArgs& args) override;
    void OnFontChanged(const WidgetEventArgs& args) override;
    // Finds the first visible item again, then raises PositionChanged.
    void OnPositionChanged(const WidgetEventArgs& args) override;

    virtual void DrawSelection(const aRect& rect);
    virtual void OnListContentsChanged(const WidgetEventArgs& args);
    virtual void OnSelectionChanged(const WidgetEventArgs& args);
    virtual void OnSortingModeChanged(const WidgetEventArgs& args);
    virtual void OnMultiselectModeChanged(const WidgetEventArgs& args);

    // Out-of-range indices are logged: false, and nothing done.
    bool IsItemSelected(std::int32_t index) const;
    void SetItemSelected(std::int32_t index, bool on);
    void ClearSelection(bool raise);
    std::int32_t GetSelectedCount() const;
    // The item under (x, y) relative to the widget; -1 when none.
    std::int32_t ItemAt(std::int32_t x, std::int32_t y);
    void SetSorting(std::int32_t mode);
    void SetMultiselect(bool on);

    // Adds the item (null is ignored) where the sorting puts it, or last;
    // returns its index (-1 for null).
    std::int32_t AddItem(std::unique_ptr<Item> item);
    std::int32_t AddTextItem(const std::wstring& text, std::uint32_t argb = 0xFFFFFFFF);
    void RemoveItem(std::int32_t index);
    void Clear();
    std::size_t GetItemCount() const { return items.size(); }
    Item* GetItem(std::int32_t index) const;
    // Measures every item again (after items changed size).
    void UpdateContentSize();

    std::vector<std::unique_ptr<Item>> items;
    std::int32_t sortingMode = SORT_NONE;
    bool multiselect = false;
    std::int32_t rightMargin = 0, leftMargin = 0, bottomMargin = 0, topMargin = 0;
    std::int32_t currentItem = -1;
    std::int32_t anchorItem = -1;
    std::uint32_t firstVisibleItem = 0;
    std::int32_t firstItemOffset = 0;  // 0 or negative
    Color selectionColor;

    Property pSorting, pMultiselect, pBounds, pSelectionColor;

private:
    std::int64_t SlotHeight(const Item& item) const;
    float SlotWidth(const Item& item) const;
    // The first visible item, when items or scrolling changed since.
    void UpdateView();
    void ClickItem(std::int32_t index, std::uint32_t modifiers);
    void BringIntoView(std::int32_t index);
    // Content size to the scroll bars, offsets clamped.
    void ContentChanged();
    bool ContentsChanged();
    void SortItems();

    std::vector<std::int64_t> m_slots;  // slot height of each item
    std::int64_t m_totalHeight = 0;     // their sum
    bool m_viewDirty = true;            // firstVisibleItem is out of date
    std::unique_ptr<aGDI> m_gdi;
};

// A line of text in the list box's font (inherited) and a colour, ordered
// by its text; it sorts before items of other kinds.
class ListboxTextItem : public Listbox::Item {
public:
    ListboxTextItem(const Widget* owner, std::wstring text, std::uint32_t argb = 0xFFFFFFFF)
        : m_owner(owner), m_text(std::move(text)), m_color(argb)
    {
    }

    std::pair<float, float> GetSize() const override;
    void Draw(const aRect& rect) override;
    bool SortsAfter(const Listbox::Item& other) const override;
    bool SortsBefore(const Listbox::Item& other) const override;

    const std::wstring& GetText() const { return m_text; }
    void SetText(const std::wstring& text) { m_text = text; }
    void SetColor(std::uint32_t argb) { m_color = argb; }

private:
    const Widget* m_owner;  // not owned: the list box
    std::wstring m_text;
    std::uint32_t m_color;
};

} // namespace GUI
