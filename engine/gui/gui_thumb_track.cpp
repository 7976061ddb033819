#include "engine/gui/gui_thumb_track.h"

#include <algorithm>

#include "engine/util/a_log.h"

namespace GUI {

const char* const EventThumbTrackStarted = "ThumbTrackStarted";
const char* const EventThumbTrackFinished = "ThumbTrackFinished";
const char* const EventPositionChanged = "PositionChanged";

ThumbTrack::ThumbTrack(const std::string& name, float defaultStep) : Widget(name), stepValue(defaultStep)
{
    AddProperty("Vertical", &pVertical);
    AddProperty("StepValue", &pStepValue);
    AddEvent(EventThumbTrackStarted);
    AddEvent(EventThumbTrackFinished);
    AddEvent(EventPositionChanged);
}

void ThumbTrack::EndFillProperties()
{
    Widget::EndFillProperties();
    if (pVertical.isSet)
        vertical = pVertical.AsBool();
    if (pStepValue.isSet)
        stepValue = pStepValue.AsFloat();
}

void ThumbTrack::Initialize()
{
    Widget::Initialize();
    dragging = false;
    thumb.Bind(FindChild("_auto_thumb", true));
    if (!thumb) {
        a_log(MissingThumbFormat(), name.c_str());
    } else {
        thumb.Subscribe(EventMouseDown, &m_thumbDown);
        thumb.Subscribe(EventMouseUp, &m_thumbUp);
        thumb.Subscribe(EventMouseMove, &m_thumbMove);
        for (const char* lost : {EventMouseLeave, EventMouseEnter, EventDisabled, EventHide})
            thumb.Subscribe(lost, &m_thumbLost);
    }
    incButton.Bind(FindChild("_auto_incbtn", true));
    incButton.Subscribe(EventClick, &m_incClick);
    decButton.Bind(FindChild("_auto_decbtn", true));
    decButton.Subscribe(EventClick, &m_decClick);
}

void ThumbTrack::UpdateSelf(float dt)
{
    const Widget* t = thumb;
    if (dragging && (!t || !t->IsEnabled() || !t->IsVisible()) && !EndThumbTrack())
        return;
    Widget::UpdateSelf(dt);
}

bool ThumbTrack::IsUpdateIdle() const { return !dragging && Widget::IsUpdateIdle(); }

std::int32_t ThumbTrack::TrackLength() const
{
    const Widget* t = thumb;
    return t ? LengthOf(this) - LengthOf(t) : 0;
}

void ThumbTrack::PlaceThumb(std::int32_t p)
{
    Widget* t = thumb;
    if (!t)
        return;
    const auto at = std::int16_t(std::clamp<std::int32_t>(p, INT16_MIN, INT16_MAX));
    if (vertical)
        t->SetPosition(t->area.x, at);
    else
        t->SetPosition(at, t->area.y);
}

bool ThumbTrack::EndThumbTrack()
{
    if (!dragging)
        return true;
    dragging = false;
    const std::weak_ptr<const void> life = GetLifeToken();
    OnThumbTrackFinished(WidgetEventArgs(this));
    return !life.expired();
}

bool ThumbTrack::OnThumbLost(const EventArgs&)
{
    EndThumbTrack();
    return true;
}

bool ThumbTrack::OnThumbMouseDown(const EventArgs& args)
{
    const auto* mouse = dynamic_cast<const MouseEventArgs*>(&args);
    if (mouse && mouse->button == 0) {
        dragging = true;
        WakeUpdate();
        dragStart = vertical ? mouse->y : mouse->x;
        OnThumbTrackStarted(WidgetEventArgs(this));
    }
    return true;
}

bool ThumbTrack::OnThumbMouseUp(const EventArgs& args)
{
    const auto* mouse = dynamic_cast<const MouseEventArgs*>(&args);
    if (mouse && mouse->button == 0)
        EndThumbTrack();
    return true;
}

bool ThumbTrack::OnThumbMouseMove(const EventArgs& args)
{
    const auto* mouse = dynamic_cast<const MouseEventArgs*>(&args);
    const Widget* t = thumb;
    if (!dragging || !mouse || !t)
        return true;
    if (mouse->button != 0) {
        EndThumbTrack();
        return true;
    }
    // A thumb as long as the bar (or longer) has nowhere to go.
    const std::int32_t track = TrackLength();
    if (track <= 0)
        return true;
    const std::int32_t p = vertical ? t->area.y : t->area.x;
    const std::int32_t d = vertical ? mouse->dy : mouse->dx;
    const std::int32_t pointer = vertical ? mouse->y : mouse->x;
    std::int32_t moved;
    if (d < 0) {
        if (pointer > dragStart || p < 1)
            return true;
        moved = std::clamp(p + d, 0, track);
    } else {
        if (d < 1 || pointer < dragStart || p >= track)
            return true;
        moved = std::clamp(p + d, 0, track);
    }
    PlaceThumb(moved);
    ThumbDragged(moved, track);
    OnPositionChanged(WidgetEventArgs(this));
    return true;
}

void ThumbTrack::OnThumbTrackStarted(const WidgetEventArgs& args) { Launch(EventThumbTrackStarted, args); }
void ThumbTrack::OnThumbTrackFinished(const WidgetEventArgs& args) { Launch(EventThumbTrackFinished, args); }
void ThumbTrack::OnPositionChanged(const WidgetEventArgs& args) { Launch(EventPositionChanged, args); }

} // namespace GUI
