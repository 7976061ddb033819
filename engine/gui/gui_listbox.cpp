#include "engine/gui/gui_listbox.h"

#include <algorithm>
#include <cmath>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_gdi.h"
#include "engine/gui/gui_draw.h"
#include "engine/util/a_log.h"

namespace GUI {

namespace {

// The integer part of a size, held to a range that sums safely.
std::int64_t wholePixels(float v)
{
    if (!(v > -1e9f))
        return v < 0.0f ? -1000000000 : 0;
    return std::int64_t(std::min(v, 1e9f));
}

std::int16_t to16(std::int64_t v) { return std::int16_t(std::clamp<std::int64_t>(v, -32768, 32767)); }
std::uint16_t toSize(std::int64_t v) { return std::uint16_t(std::clamp<std::int64_t>(v, 0, 65535)); }

} // namespace

Listbox::Listbox(const std::string& widgetName) : ScrollContainer(widgetName)
{
    AddProperty("Sorting", &pSorting);
    AddProperty("Multiselect", &pMultiselect);
    AddProperty("Bounds", &pBounds);
    AddProperty("SelectionColor", &pSelectionColor);
    AddEvent(EventListContentsChanged);
    AddEvent(EventSelectionChanged);
    AddEvent(EventSortingModeChanged);
    AddEvent(EventMultiselectModeChanged);
}

Listbox::~Listbox() = default;

void Listbox::EndFillProperties()
{
    ScrollContainer::EndFillProperties();
    if (pSorting.isSet)
        SetSorting(str_equalNoCase(pSorting.value, "ascend")    ? SORT_ASCENDING
                   : str_equalNoCase(pSorting.value, "descend") ? SORT_DESCENDING
                                                                : SORT_NONE);
    if (pMultiselect.isSet)
        SetMultiselect(pMultiselect.AsBool());
    if (pBounds.isSet) {
        std::uint32_t v[4];
        pBounds.AsColor(v);
        const auto margin = [](std::uint32_t m) { return std::int32_t(to16(std::int32_t(m))); };
        leftMargin = margin(v[0]);
        rightMargin = margin(v[1]);
        topMargin = margin(v[2]);
        bottomMargin = margin(v[3]);
        UpdateContentSize();
    }
    if (pSelectionColor.isSet)
        selectionColor = UnpackColor(pSelectionColor.AsHex());
}

// ---------------------------------------------------------------------------
// Items

std::int64_t Listbox::SlotHeight(const Item& item) const
{
    return wholePixels(item.GetSize().second) + topMargin + bottomMargin;
}

float Listbox::SlotWidth(const Item& item) const
{
    return item.GetSize().first + float(leftMargin + rightMargin);
}

Listbox::Item* Listbox::GetItem(std::int32_t index) const
{
    return index >= 0 && std::size_t(index) < items.size() ? items[std::size_t(index)].get() : nullptr;
}

std::int32_t Listbox::AddItem(std::unique_ptr<Item> item)
{
    if (!item)
        return -1;
    auto at = items.end();
    if (sortingMode == SORT_ASCENDING)
        at = std::upper_bound(items.begin(), items.end(), item,
                              [](const std::unique_ptr<Item>& a, const std::unique_ptr<Item>& b) {
                                  return a->SortsBefore(*b);
                              });
    else if (sortingMode == SORT_DESCENDING)
        at = std::upper_bound(items.begin(), items.end(), item,
                              [](const std::unique_ptr<Item>& a, const std::unique_ptr<Item>& b) {
                                  return a->SortsAfter(*b);
                              });
    const std::int32_t index = std::int32_t(at - items.begin());
    const std::int64_t slot = SlotHeight(*item);
    contentWidth = std::max(contentWidth, SlotWidth(*item));
    items.insert(at, std::move(item));
    WakeUpdate();
    m_slots.insert(m_slots.begin() + index, slot);
    m_totalHeight += slot;
    contentHeight = float(m_totalHeight);
    for (std::int32_t* i : {&currentItem, &anchorItem})
        if (*i >= index)
            ++*i;
    ContentChanged();
    ContentsChanged();
    return index;
}

std::int32_t Listbox::AddTextItem(const std::wstring& itemText, std::uint32_t argb)
{
    return AddItem(std::make_unique<ListboxTextItem>(this, itemText, argb));
}

void Listbox::RemoveItem(std::int32_t index)
{
    if (!GetItem(index)) {
        a_log("Listbox::RemoveItem - item index %i is out of range", index);
        return;
    }
    const std::unique_ptr<Item> gone = std::move(items[std::size_t(index)]);
    items.erase(items.begin() + index);
    m_totalHeight -= m_slots[std::size_t(index)];
    m_slots.erase(m_slots.begin() + index);
    for (std::int32_t* i : {&currentItem, &anchorItem})
        *i = *i == index ? -1 : (*i > index ? *i - 1 : *i);
    // Only the widest item's leaving narrows the content.
    if (SlotWidth(*gone) >= contentWidth) {
        UpdateContentSize();
    } else {
        contentHeight = float(m_totalHeight);
        ContentChanged();
    }
    ContentsChanged();
}

void Listbox::Clear()
{
    items.clear();
    m_slots.clear();
    m_totalHeight = 0;
    currentItem = anchorItem = -1;
    contentWidth = contentHeight = 0.0f;
    ContentChanged();
    ContentsChanged();
}

void Listbox::UpdateContentSize()
{
    std::int64_t total = 0;
    float widest = 0.0f;
    m_slots.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        m_slots[i] = SlotHeight(*items[i]);
        total += m_slots[i];
        widest = std::max(widest, SlotWidth(*items[i]));
    }
    m_totalHeight = total;
    contentHeight = float(total);
    contentWidth = widest;
    ContentChanged();
}

void Listbox::ContentChanged()
{
    const std::weak_ptr<const void> life = GetLifeToken();
    updating = true;
    if (Scrollbar* bar = hScroll)
        bar->SetTotalSize(contentWidth);
    if (Scrollbar* bar = vScroll)
        bar->SetTotalSize(contentHeight);
    if (life.expired())
        return;
    updating = false;
    m_viewDirty = true;
    SetScrollPos(scrollX, scrollY);
}

bool Listbox::ContentsChanged()
{
    const std::weak_ptr<const void> life = GetLifeToken();
    OnListContentsChanged(WidgetEventArgs(this));
    return !life.expired();
}

void Listbox::SortItems()
{
    const Item* current = GetItem(currentItem);
    const Item* anchor = GetItem(anchorItem);
    if (sortingMode == SORT_ASCENDING)
        std::sort(items.begin(), items.end(),
                  [](const std::unique_ptr<Item>& a, const std::unique_ptr<Item>& b) { return a->SortsBefore(*b); });
    else
        std::sort(items.begin(), items.end(),
                  [](const std::unique_ptr<Item>& a, const std::unique_ptr<Item>& b) { return a->SortsAfter(*b); });
    currentItem = anchorItem = -1;
    for (std::size_t i = 0; i < items.size(); ++i) {
        m_slots[i] = SlotHeight(*items[i]);
        if (items[i].get() == current)
            currentItem = std::int32_t(i);
        if (items[i].get() == anchor)
            anchorItem = std::int32_t(i);
    }
    m_viewDirty = true;
}

void Listbox::SetSorting(std::int32_t mode)
{
    if (mode == sortingMode)
        return;
    sortingMode = mode;
    if (mode == SORT_ASCENDING || mode == SORT_DESCENDING)
        SortItems();
    OnSortingModeChanged(WidgetEventArgs(this));
}

void Listbox::SetMultiselect(bool on)
{
    if (on == multiselect)
        return;
    multiselect = on;
    OnMultiselectModeChanged(WidgetEventArgs(this));
}

// ---------------------------------------------------------------------------
// Selection

bool Listbox::IsItemSelected(std::int32_t index) const
{
    if (const Item* item = GetItem(index))
        return item->selected;
    a_log("Listbox::IsItemSelected - item index %i is out of range", index);
    return false;
}

void Listbox::SetItemSelected(std::int32_t index, bool on)
{
    Item* item = GetItem(index);
    if (!item) {
        a_log("Listbox::SetItemSelected - item index %i is out of range", index);
        return;
    }
    if (item->selected == on)
        return;
    item->selected = on;
    OnSelectionChanged(WidgetEventArgs(this));
}

void Listbox::ClearSelection(bool raise)
{
    bool any = false;
    for (const std::unique_ptr<Item>& item : items) {
        any = any || item->selected;
        item->selected = false;
    }
    currentItem = -1;
    if (any && raise)
        OnSelectionChanged(WidgetEventArgs(this));
}

std::int32_t Listbox::GetSelectedCount() const
{
    return std::int32_t(std::count_if(items.begin(), items.end(),
                                      [](const std::unique_ptr<Item>& item) { return item->selected; }));
}

void Listbox::ClickItem(std::int32_t index, std::uint32_t modifiers)
{
    const bool shift = (modifiers & MOD_SHIFT) != 0, ctrl = (modifiers & MOD_CTRL) != 0;
    const std::weak_ptr<const void> life = GetLifeToken();
    if (!multiselect || (!shift && !ctrl)) {
        if (!IsItemSelected(index) || GetSelectedCount() >= 2) {
            ClearSelection(false);
            anchorItem = currentItem = index;
            SetItemSelected(index, true);
        }
    } else if (!ctrl) {
        if (!GetItem(anchorItem))
            anchorItem = index;
        const std::int32_t low = std::min(anchorItem, index), high = std::max(anchorItem, index);
        for (std::size_t i = 0; i < items.size(); ++i)
            items[i]->selected = std::int32_t(i) >= low && std::int32_t(i) <= high;
        currentItem = index;
        OnSelectionChanged(WidgetEventArgs(this));
    } else if (!IsItemSelected(index)) {
        anchorItem = currentItem = index;
        SetItemSelected(index, true);
    } else if (GetSelectedCount() >= 2) {
        anchorItem = currentItem = -1;
        SetItemSelected(index, false);
    }
    if (!life.expired() && GetItem(index))
        BringIntoView(index);
}

void Listbox::BringIntoView(std::int32_t index)
{
    UpdateView();
    const std::int64_t first = firstVisibleItem;
    if (index == first && firstItemOffset != 0) {
        SetScrollPos(scrollX, scrollY + float(firstItemOffset));
    } else if (index > first) {
        // Slot heights, margins included, so the whole slot comes into view.
        std::int64_t bottom = firstItemOffset;
        for (std::int64_t i = first; i <= index; ++i)
            bottom += m_slots[std::size_t(i)];
        if (bottom > area.height)
            SetScrollPos(scrollX, scrollY + float(bottom - area.height));
    }
}

std::int32_t Listbox::ItemAt(std::int32_t x, std::int32_t y)
{
    if (x < 0 || y < 0 || x >= area.width || y >= area.height)
        return -1;
    UpdateView();
    std::int64_t bottom = firstItemOffset;
    for (std::size_t i = firstVisibleItem; i < items.size(); ++i) {
        bottom += m_slots[i];
        if (bottom > y)
            return std::int32_t(i);
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Scrolling and drawing

void Listbox::UpdateView()
{
    if (!m_viewDirty)
        return;
    m_viewDirty = false;
    const std::int64_t top = std::int64_t(std::min(scrollY, 1e15f));
    std::int64_t sum = 0;
    std::size_t i = 0;
    for (; i < items.size(); ++i) {
        if (double(scrollY) < double(sum + m_slots[i]))
            break;
        sum += m_slots[i];
    }
    firstVisibleItem = std::uint32_t(i);
    firstItemOffset = std::int32_t(std::clamp<std::int64_t>(sum - top, INT32_MIN, INT32_MAX));
}

void Listbox::OnPositionChanged(const WidgetEventArgs& args)
{
    m_viewDirty = true;
    UpdateView();
    ScrollContainer::OnPositionChanged(args);
}

void Listbox::DrawSelf()
{
    UpdateView();
    const aRect abs = GetAbsoluteRect();
    const ScopedClip clip(abs);
    const std::int16_t x = to16(std::int64_t(abs.x) - std::int64_t(std::min(scrollX, 1e9f)));
    const std::int64_t bottom = abs.bottom();
    std::int64_t y = std::int64_t(abs.y) + firstItemOffset;
    for (std::size_t i = firstVisibleItem; i < items.size() && y < bottom; ++i) {
        const std::int64_t slot = m_slots[i];
        const aRect rect(x, to16(y), area.width, toSize(slot));
        if (items[i]->selected)
            DrawSelection(rect);
        items[i]->Draw(aRect(to16(std::int64_t(x) + leftMargin), to16(y + topMargin),
                             toSize(std::int64_t(area.width) - leftMargin - rightMargin),
                             toSize(slot - topMargin - bottomMargin)));
        y += slot;
    }
}

void Listbox::DrawSelection(const aRect& rect)
{
    if (!m_gdi)
        m_gdi = std::make_unique<aGDI>();
    m_gdi->m_color = PackColor(selectionColor);
    m_gdi->drawRect(float(rect.x), float(rect.y), float(rect.width), float(rect.height), true);
}

void Listbox::UpdateSelf(float dt)
{
    for (const std::unique_ptr<Item>& item : items)
        item->Update(dt);
    ScrollContainer::UpdateSelf(dt);
}

bool Listbox::IsUpdateIdle() const
{
    const auto idle = [](const std::unique_ptr<Item>& item) { return item->IsUpdateIdle(); };
    return ScrollContainer::IsUpdateIdle() && std::all_of(items.begin(), items.end(), idle);
}

// ---------------------------------------------------------------------------
// Hooks

void Listbox::OnMouseDown(const MouseEventArgs& args)
{
    if (args.button == 0) {
        const std::weak_ptr<const void> life = GetLifeToken();
        const std::int32_t index = ItemAt(args.x, args.y);
        if (index >= 0)
            ClickItem(index, args.modifiers);
        if (life.expired())
            return;
    }
    ScrollContainer::OnMouseDown(args);
}

void Listbox::OnFontChanged(const WidgetEventArgs& args)
{
    UpdateContentSize();
    ScrollContainer::OnFontChanged(args);
}

void Listbox::OnListContentsChanged(const WidgetEventArgs& args) { Launch(EventListContentsChanged, args); }
void Listbox::OnSelectionChanged(const WidgetEventArgs& args) { Launch(EventSelectionChanged, args); }
void Listbox::OnSortingModeChanged(const WidgetEventArgs& args) { Launch(EventSortingModeChanged, args); }
void Listbox::OnMultiselectModeChanged(const WidgetEventArgs& args) { Launch(EventMultiselectModeChanged, args); }

// ---------------------------------------------------------------------------
// Text items

std::pair<float, float> ListboxTextItem::GetSize() const
{
    aFont* font = m_owner ? m_owner->GetFont() : nullptr;
    if (!font)
        return {0.0f, 0.0f};
    font->setScale(m_owner->GetFontSize());
    return font->getStringSize(m_text);
}

void ListboxTextItem::Draw(const aRect& rect)
{
    aFont* font = m_owner ? m_owner->GetFont() : nullptr;
    if (!font)
        return;
    font->setScale(m_owner->GetFontSize());
    font->setAngle(0.0f);
    font->color = PackColor(UnpackColor(m_color), m_owner->GetAlpha());
    font->drawString(float(rect.x), float(rect.y), m_text, FONT_SNAP);
}

bool ListboxTextItem::SortsBefore(const Listbox::Item& other) const
{
    const auto* o = dynamic_cast<const ListboxTextItem*>(&other);
    return o ? m_text < o->m_text : true;
}

bool ListboxTextItem::SortsAfter(const Listbox::Item& other) const
{
    const auto* o = dynamic_cast<const ListboxTextItem*>(&other);
    return o ? o->m_text < m_text : true;
}

} // namespace GUI
