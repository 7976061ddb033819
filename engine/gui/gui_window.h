#pragma once
// A frame drawn with styles (normal, hover fading in over it, disabled)
// that the user can drag with the left button inside its parent ("Drag").
//
// A drag ends at the left release, and early (with DragFinished) when the
// window is disabled or hidden, leaves or re-enters the hover, or moves
// with the left button up: the GUI server only reports the release to an
// enabled widget under the mouse. A window without a parent never drags.
#include <cstdint>

#include "engine/gui/gui_widget.h"

namespace GUI {

class Style;

extern const char* const EventDragStarted;
extern const char* const EventDragging;
extern const char* const EventDragFinished;

class Window : public Widget {
public:
    explicit Window(const std::string& name);

    void EndFillProperties() override;
    const char* GetTypeName() const override { return "Window"; }
    bool IsA(const std::string& type) const override { return type == "Window"; }
    void DrawSelf() override;
    void UpdateSelf(float dt) override;
    bool IsUpdateIdle() const override;
    void OnMouseMove(const MouseEventArgs& args) override;
    void OnMouseDown(const MouseEventArgs& args) override;
    void OnMouseUp(const MouseEventArgs& args) override;
    void OnMouseEnter(const WidgetEventArgs& args) override;
    void OnMouseLeave(const WidgetEventArgs& args) override;
    virtual void OnDragStarted(const WidgetEventArgs& args);
    virtual void OnDragging(const WidgetEventArgs& args);
    virtual void OnDragFinished(const WidgetEventArgs& args);

    bool drag = false;
    bool dragging = false;
    Style* normalStyle = nullptr;  // not owned: the server's
    Style* hoverStyle = nullptr;
    Style* disabledStyle = nullptr;
    // The last mouse point in the parent's coordinates.
    std::int32_t dragX = 0, dragY = 0;

    Property pDrag, pNormalStyle, pHoverStyle, pDisabledStyle;

private:
    // The mouse point in the parent's coordinates.
    void PointInParent(const MouseEventArgs& args, std::int32_t& x, std::int32_t& y) const;
    // False when DragFinished destroyed the window.
    bool EndDrag();
};

} // namespace GUI
