#pragma once
// The loading screen: the GUI window "LoadingScreen" with the children
// "text" (a title), "level" (the investigation number) and "progress" (an
// image shown at its designed width times the share loaded), in front of
// everything while the resource manager's queues load, one time-sliced step
// a frame. Without the window, or a child, loading still runs. Main thread
// only; needs the resource manager and the GUI server.
#include <cstdint>
#include <string>

#include "engine/gui/gui_widget.h"
#include "engine/util/a_singleton.h"

class CResManager;
namespace GUI {
class Server;
}

class CResLoader : public aSingleton<CResLoader> {
public:
    static constexpr const char* kWindowName = "LoadingScreen";
    // What Update returns.
    static constexpr int kLoading = 0;
    static constexpr int kDone = 4;

    // Finds the window and its children in the GUI server's tree.
    CResLoader();
    ~CResLoader();
    CResLoader(const CResLoader&) = delete;
    CResLoader& operator=(const CResLoader&) = delete;

    // text: a string id, or the text itself when no string has that id.
    // level: shown through the string "loading_level"; 0 hides it. Brings
    // the window to the front, empties the bar and hides the cursor.
    void ShowScreen(const std::string& text, std::int32_t level);
    // Starts loading what the resource manager holds queued.
    void BeginLoad();
    // One loading step: kLoading, or kDone once everything is loaded (and
    // on every call after that until the next BeginLoad).
    int Update(float dt);
    // The window alone.
    void Render();
    // Hides the window and shows the cursor again.
    void Hide();

    // The bar's width at its full share (its width in the script).
    std::uint16_t GetBarWidth() const { return m_barWidth; }

private:
    void setBar(float share);

    CResManager* m_res = nullptr;
    GUI::Server* m_gui = nullptr;
    GUI::WidgetRef m_window;
    GUI::WidgetRef m_text;
    GUI::WidgetRef m_level;
    GUI::WidgetRef m_progress;
    std::uint16_t m_barWidth = 0;
    bool m_loading = false;
    std::size_t m_files = 0;
    std::uint32_t m_startTicks = 0;
};
