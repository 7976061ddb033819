#include "engine/gui/gui_scrollbar.h"

#include <algorithm>

namespace GUI {

namespace {

// Keeps later arithmetic finite: no NaN, nothing below 0, no infinity.
float saneSize(float v) { return v > 0.0f ? std::min(v, 1e30f) : 0.0f; }

} // namespace

Scrollbar::Scrollbar(const std::string& name) : ThumbTrack(name, 0.0f)
{
    AddProperty("Stretch", &pStretch);
    AddProperty("AutoHide", &pAutoHide);
}

void Scrollbar::EndFillProperties()
{
    ThumbTrack::EndFillProperties();
    if (pStretch.isSet)
        stretch = pStretch.AsBool();
    if (pAutoHide.isSet)
        autoHide = pAutoHide.AsBool();
}

void Scrollbar::Initialize()
{
    ThumbTrack::Initialize();
    for (Widget* child : {thumb.get(), incButton.get(), decButton.get()})
        if (child)
            child->clipByParent = false;
}

bool Scrollbar::OnIncButtonClick(const EventArgs&)
{
    SetScrollPosition(position + stepValue);
    return true;
}

bool Scrollbar::OnDecButtonClick(const EventArgs&)
{
    SetScrollPosition(position - stepValue);
    return true;
}

float Scrollbar::GetRange() const { return std::max(0.0f, totalSize - pageSize); }

void Scrollbar::SetTotalSize(float size)
{
    totalSize = saneSize(size);
    Layout();
}

void Scrollbar::SetPageSize(float size)
{
    pageSize = saneSize(size);
    Layout();
}

void Scrollbar::SetScrollPosition(float v)
{
    v = v > 0.0f ? std::min(v, GetRange()) : 0.0f;
    if (v == position)
        return;
    position = v;
    PlaceThumbAtPosition();
    OnPositionChanged(WidgetEventArgs(this));
}

void Scrollbar::ThumbDragged(std::int32_t p, std::int32_t track) { position = GetRange() * float(p) / float(track); }

void Scrollbar::PlaceThumbAtPosition()
{
    const float range = GetRange();
    const std::int32_t track = std::max(0, TrackLength());
    PlaceThumb(range > 0.0f ? std::int32_t(position / range * float(track)) : 0);
}

void Scrollbar::Layout()
{
    const std::weak_ptr<const void> life = GetLifeToken();
    // Both sizes 0: nothing to scroll, so everything shows.
    const bool allVisible = totalSize <= pageSize;
    Widget* t = thumb;
    if (allVisible && autoHide) {
        SetVisible(false);
    } else if (allVisible) {
        if (t && stretch) {
            if (vertical)
                t->SetHeight(area.height);
            else
                t->SetWidth(area.width);
        } else if (t) {
            t->SetVisible(false);
            for (Widget* b : {incButton.get(), decButton.get()})
                if (b)
                    b->SetEnabled(false);
        }
    } else {
        SetVisible(true);
        if (!stretch) {
            if (t)
                t->SetVisible(true);
            for (Widget* b : {incButton.get(), decButton.get()})
                if (b)
                    b->SetEnabled(true);
        } else if (t) {
            // pageSize / totalSize < 1 here; a page of 0 gives a thumb of 0.
            const float length = float(LengthOf(this)) * pageSize / totalSize;
            if (vertical)
                t->SetHeight(std::uint16_t(length));
            else
                t->SetWidth(std::uint16_t(length));
        }
    }
    if (life.expired())
        return;
    // The position stays where it was unless the range shrank below it.
    const float kept = std::min(position, GetRange());
    const bool changed = kept != position;
    position = kept;
    PlaceThumbAtPosition();
    if (changed)
        OnPositionChanged(WidgetEventArgs(this));
}

} // namespace GUI
