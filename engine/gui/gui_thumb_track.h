#pragma once
// The common part of sliders and scroll bars: a track (the widget itself)
// with a thumb child ("_auto_thumb") that the user drags along it, and
// optional increment and decrement buttons ("_auto_incbtn",
// "_auto_decbtn"), all found in Initialize. The derived class turns the
// thumb's place into its value.
//
// A drag lasts from the thumb's left press to its release, and ends early
// (with ThumbTrackFinished) when the thumb is disabled or hidden, leaves or
// re-enters the hover, or moves with the left button up: the GUI server
// only reports the release to an enabled widget under the mouse.
#include <cstdint>

#include "engine/gui/gui_widget.h"
#include "engine/gui/gui_widget_kit.h"

namespace GUI {

extern const char* const EventThumbTrackStarted;
extern const char* const EventThumbTrackFinished;
extern const char* const EventPositionChanged;

class ThumbTrack : public Widget {
public:
    void EndFillProperties() override;
    void Initialize() override;
    void UpdateSelf(float dt) override;
    bool IsUpdateIdle() const override;

    // Handlers of the children's events; each returns true (handled).
    virtual bool OnThumbMouseDown(const EventArgs& args);
    virtual bool OnThumbMouseUp(const EventArgs& args);
    virtual bool OnThumbMouseMove(const EventArgs& args);
    virtual bool OnIncButtonClick(const EventArgs& args) = 0;
    virtual bool OnDecButtonClick(const EventArgs& args) = 0;
    virtual void OnThumbTrackStarted(const WidgetEventArgs& args);
    virtual void OnThumbTrackFinished(const WidgetEventArgs& args);
    virtual void OnPositionChanged(const WidgetEventArgs& args);

    ChildLink<Widget> incButton, decButton, thumb;
    std::int32_t dragStart = 0;
    bool dragging = false;
    bool vertical = false;
    float stepValue;

    Property pVertical, pStepValue;

protected:
    ThumbTrack(const std::string& name, float defaultStep);

    // The log line for a missing thumb ("%s": the widget's name).
    virtual const char* MissingThumbFormat() const = 0;
    // The thumb was dragged to p of track (0 < track, 0 <= p <= track).
    virtual void ThumbDragged(std::int32_t p, std::int32_t track) = 0;

    // Lengths along the track, and the thumb's place on it.
    std::int32_t LengthOf(const Widget* w) const { return vertical ? w->area.height : w->area.width; }
    std::int32_t TrackLength() const;
    void PlaceThumb(std::int32_t p);
    // Ends a drag with ThumbTrackFinished; false when that destroyed this widget.
    bool EndThumbTrack();
    bool OnThumbLost(const EventArgs&);

private:
    MemberSubscriber<ThumbTrack> m_thumbDown{this, &ThumbTrack::OnThumbMouseDown};
    MemberSubscriber<ThumbTrack> m_thumbUp{this, &ThumbTrack::OnThumbMouseUp};
    MemberSubscriber<ThumbTrack> m_thumbMove{this, &ThumbTrack::OnThumbMouseMove};
    MemberSubscriber<ThumbTrack> m_thumbLost{this, &ThumbTrack::OnThumbLost};
    MemberSubscriber<ThumbTrack> m_incClick{this, &ThumbTrack::OnIncButtonClick};
    MemberSubscriber<ThumbTrack> m_decClick{this, &ThumbTrack::OnDecButtonClick};
};

} // namespace GUI
