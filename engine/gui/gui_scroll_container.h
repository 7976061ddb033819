#pragma once
// A widget whose content (contentWidth x contentHeight) scrolls, coupled
// to two optional scroll bars found below it ("_auto_hscroll",
// "_auto_vscroll"). The container moves its bars itself with `updating`
// set, so that their echoes are ignored.
#include "engine/gui/gui_scrollbar.h"
#include "engine/gui/gui_widget.h"
#include "engine/gui/gui_widget_kit.h"

namespace GUI {

class ScrollContainer : public Widget {
public:
    explicit ScrollContainer(const std::string& name);

    const char* GetTypeName() const override { return "ScrollContainer"; }
    bool IsA(const std::string& type) const override { return type == "ScrollContainer"; }
    // Finds the scroll bars and gives them the widget's size as page size.
    void Initialize() override;
    void OnSized(const WidgetEventArgs& args) override;

    // Take a scroll bar's position; false (ignored) while updating.
    virtual bool OnHScroll(const EventArgs& args);
    virtual bool OnVScroll(const EventArgs& args);
    // Raises PositionChanged.
    virtual void OnPositionChanged(const WidgetEventArgs& args);

    // Each offset clamped to 0 .. content size - widget size (0 when the
    // content is smaller); the bars follow. Nothing when both stay.
    void SetScrollPos(float x, float y);

    ChildLink<Scrollbar> hScroll;
    ChildLink<Scrollbar> vScroll;
    float contentWidth = 0.0f;
    float contentHeight = 0.0f;
    float scrollX = 0.0f;
    float scrollY = 0.0f;
    bool updating = false;

private:
    MemberSubscriber<ScrollContainer> m_onHScroll{this, &ScrollContainer::OnHScroll};
    MemberSubscriber<ScrollContainer> m_onVScroll{this, &ScrollContainer::OnVScroll};
};

} // namespace GUI
