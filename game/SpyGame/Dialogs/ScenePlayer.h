#pragma once
// The comics scene player: a numbered series of full-screen page pictures
// ("<folder><scene>_p<N>.jpg", N from 1) in the GUI window "Comics", one
// page at a time, cross-faded through transparency, with back and forward
// buttons, a skip button, a finish button on the last page, and its own
// music while it is open.
//
// Surface for an owner: Init once the GUI scripts are loaded, PlayScene,
// Update every frame, Close to take it down at once; the pages draw with the
// GUI tree. The player holds widgets of the GUI tree (read as missing once
// they are gone) and reaches the music through the resource manager.
// Main thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/gui/gui_event.h"
#include "engine/gui/gui_widget.h"

class aInputServer;
class aMusicManager;

class ScenePlayer {
public:
    static constexpr const char* kWindowName = "Comics";

    ScenePlayer() = default;
    // Unsubscribes the button handlers Init made.
    ~ScenePlayer();
    ScenePlayer(const ScenePlayer&) = delete;
    ScenePlayer& operator=(const ScenePlayer&) = delete;

    // Finds the window (hidden) and its buttons and picture; closed.
    void Init();
    // Opens the scene when its first page exists; music empty leaves the
    // current music alone. skippable offers "skip" before the last page.
    void PlayScene(const std::string& folder, const std::string& scene, bool skippable, const std::string& music,
                   const std::string& musicKey);
    void Update(float dt);
    // Hides the window and gives the music back; nothing when closed.
    void Close();
    bool IsOpen() const { return m_open; }
    // The picture file of a page index (0 is "_p1").
    std::string GetPagePath(std::int32_t page) const;

    bool OnStepClick(const GUI::EventArgs& args);
    bool OnCloseClick(const GUI::EventArgs& args);

    // For the owner and tests.
    std::int32_t GetPageCount() const { return m_pageCount; }
    std::int32_t GetShownPage() const { return m_shownPage; }
    std::int32_t GetTargetPage() const { return m_targetPage; }
    float GetIdleTimer() const { return m_idleTimer; }
    GUI::Widget* GetWindow() const { return m_window.get(); }
    GUI::Widget* GetPicture() const { return m_picture.get(); }
    enum Button { Skip, Prev, Next, Finish, ButtonCount };
    GUI::Widget* GetButton(Button b) const { return m_buttons[b].get(); }

private:
    void UpdateButtons();
    void LoadPage();
    void Unsubscribe();
    aMusicManager* Music() const;

    GUI::WidgetRef m_window;
    GUI::WidgetRef m_buttons[ButtonCount];
    GUI::WidgetRef m_picture;
    std::string m_savedTrack;
    std::string m_savedKey;
    std::string m_folder;
    std::string m_scene;
    std::string m_music;
    std::string m_musicKey;
    bool m_open = false;
    bool m_skippable = false;
    std::int32_t m_pageCount = 0;
    std::int32_t m_shownPage = -1;
    std::int32_t m_targetPage = -1;
    float m_idleTimer = 0.0f;
    // Some scene since the player opened switched the music; the saved track
    // is the one from before the first of them.
    bool m_musicSwitched = false;

    aInputServer* m_input = nullptr;
    GUI::MemberSubscriber<ScenePlayer> m_stepClick{this, &ScenePlayer::OnStepClick};
    GUI::MemberSubscriber<ScenePlayer> m_closeClick{this, &ScenePlayer::OnCloseClick};
    std::vector<GUI::Connection> m_connections;
};
