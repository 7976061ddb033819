#pragma once
// The Flash control the engine hosts, and the site interfaces the control may
// call back on its host. No Flash player exists here: the factory's real
// control is the null one (it accepts every call, has no frames and says so in
// the log), so every movie load fails. Tests install a scripted control
// through the factory. Main thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/gfx/d3d8.h"
#include "platform/system/win_types.h"

// Result codes besides the ones the graphics layer already names.
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057u);

namespace platform {

// Interfaces a site or a control can be asked for.
enum class InterfaceId : std::int32_t {
    Unknown,
    OleWindow,
    OleInPlaceSite,
    OleInPlaceSiteEx,
    OleInPlaceSiteWindowless,
    FlashEvents,  // the control's event interface, served by its site
    OleClientSite,
    OleInPlaceObject,
    ViewObject,
    OleObject,
};

// Reference counting and interface lookup shared by the site interfaces.
class SiteUnknown {
public:
    // *out is cleared first; a success adds a reference the caller releases.
    virtual HRESULT QueryInterface(InterfaceId id, void** out) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~SiteUnknown() = default;
};

// The windowless in-place site, in its call order.
class InPlaceSiteWindowless : public SiteUnknown {
public:
    virtual HRESULT GetWindow(HWND* window) = 0;
    virtual HRESULT ContextSensitiveHelp(bool enterMode) = 0;
    virtual HRESULT CanInPlaceActivate() = 0;
    virtual HRESULT OnInPlaceActivate() = 0;
    virtual HRESULT OnUIActivate() = 0;
    virtual HRESULT GetWindowContext(void** frame, void** document, RECT* position, RECT* clip,
                                     void* frameInfo) = 0;
    virtual HRESULT Scroll(std::int32_t cx, std::int32_t cy) = 0;
    virtual HRESULT OnUIDeactivate(bool undoable) = 0;
    virtual HRESULT OnInPlaceDeactivate() = 0;
    virtual HRESULT DiscardUndoState() = 0;
    virtual HRESULT DeactivateAndUndo() = 0;
    virtual HRESULT OnPosRectChange(const RECT* position) = 0;
    virtual HRESULT OnInPlaceActivateEx(bool* noRedraw, std::uint32_t flags) = 0;
    virtual HRESULT OnInPlaceDeactivateEx(bool noRedraw) = 0;
    virtual HRESULT RequestUIActivate() = 0;
    virtual HRESULT CanWindowlessActivate() = 0;
    virtual HRESULT GetCapture() = 0;
    virtual HRESULT SetCapture(bool capture) = 0;
    virtual HRESULT GetFocus() = 0;
    virtual HRESULT SetFocus(bool focus) = 0;
    virtual HRESULT GetDC(const RECT* rect, std::uint32_t flags, void** dc) = 0;
    virtual HRESULT ReleaseDC(void* dc) = 0;
    virtual HRESULT InvalidateRect(const RECT* rect, bool erase) = 0;
    virtual HRESULT InvalidateRgn(void* region, bool erase) = 0;
    virtual HRESULT ScrollRect(std::int32_t dx, std::int32_t dy, const RECT* scroll, const RECT* clip) = 0;
    virtual HRESULT AdjustRect(RECT* rect) = 0;
    virtual HRESULT OnDefWindowMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;

protected:
    ~InPlaceSiteWindowless() = default;
};

class ClientSite : public SiteUnknown {
public:
    virtual HRESULT SaveObject() = 0;
    virtual HRESULT GetMoniker(std::uint32_t assign, std::uint32_t which, void** moniker) = 0;
    virtual HRESULT GetContainer(void** container) = 0;
    virtual HRESULT ShowObject() = 0;
    virtual HRESULT OnShowWindow(bool show) = 0;
    virtual HRESULT RequestNewObjectLayout() = 0;

protected:
    ~ClientSite() = default;
};

constexpr std::int32_t OLEIVERB_INPLACEACTIVATE = -5;
constexpr std::uint32_t OLECLOSE_NOSAVE = 1;

// One hosted movie player. Frames count from 0.
class FlashControl {
public:
    virtual ~FlashControl() = default;

    // The control keeps a reference to the site until Close or a null site.
    virtual HRESULT SetClientSite(ClientSite* site) = 0;
    // OLEIVERB_INPLACEACTIVATE activates in place, windowless, against the site.
    virtual HRESULT DoVerb(std::int32_t verb, ClientSite* site) = 0;
    virtual HRESULT Close(std::uint32_t saveOption) = 0;
    virtual HRESULT SetObjectRects(const RECT& position, const RECT& clip) = 0;

    virtual HRESULT get_TotalFrames(std::int32_t* frames) = 0;
    virtual HRESULT put_Loop(bool loop) = 0;
    // A file path on disk.
    virtual HRESULT put_Movie(const std::string& path) = 0;
    virtual HRESULT Play() = 0;
    virtual HRESULT StopPlay() = 0;
    virtual HRESULT GotoFrame(std::int32_t frame) = 0;
    virtual HRESULT CurrentFrame(std::int32_t* frame) = 0;
    virtual HRESULT IsPlaying(bool* playing) = 0;
    virtual HRESULT put_WMode(const std::string& mode) = 0;

    // Paints the current frame into the caller's buffer: width x height
    // pixels of bytesPerPixel (4: A8R8G8B8, 2: X1R5G5B5), rows stride bytes
    // apart, the bottom row first. E_NOTIMPL when the control cannot paint.
    virtual HRESULT Paint(void* bits, std::int32_t width, std::int32_t height, std::int32_t bytesPerPixel,
                          std::int32_t stride) = 0;
};

// Where a control writes its log lines.
using FlashLog = std::function<void(const std::string&)>;
using FlashControlFactory = std::function<std::unique_ptr<FlashControl>(const FlashLog& log)>;

// A new control, or null when none can be made. Without an installed factory
// it is the null control.
std::unique_ptr<FlashControl> createFlashControl(const FlashLog& log);
// Tests install their own; null restores the null control.
void setFlashControlFactory(FlashControlFactory factory);
// The control that plays nothing: every call succeeds, it has 0 frames, and
// each movie it is given gets one log line.
std::unique_ptr<FlashControl> createNullFlashControl(const FlashLog& log);

} // namespace platform
