#pragma once
// An in-game editor of curves driven by the mouse: it picks control points
// and curves under the cursor, drags them, creates curves click by click
// and offers its commands through a context menu opened with the right
// button. File commands (save, add from file, exit) go back to the owner as
// update results. It draws nothing. Main thread only.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_context_menu.h"
#include "engine/gfx/a_curve.h"
#include "engine/gfx/a_gdi.h"
#include "engine/util/a_rect.h"

class aInputServer;

// A curve of the editor and the file it came from (empty when made here).
class aEditorCurve : public aCurve {
public:
    // False when out of range.
    bool setPointType(std::size_t index, std::uint32_t type);
    bool toggleFixed(std::size_t index);
    // Drops up to count points from the end and rebuilds.
    void dropLast(std::size_t count);

    std::string sourcePath;
};

// Menu command ids.
enum aCurvesEditorCommand : std::uint32_t {
    CURVES_CMD_SHOW_ALL_NODES = 0,
    CURVES_CMD_HIDE_NODES = 1,
    CURVES_CMD_SHOW_SELECTED_NODES = 2,
    CURVES_CMD_NODE_SMOOTH = 3,
    CURVES_CMD_NODE_STRAIGHT = 4,
    CURVES_CMD_NODE_CORNER = 5,
    CURVES_CMD_FIX = 6,
    CURVES_CMD_DELETE_NODE = 7,
    CURVES_CMD_NEW_SPLINE = 8,
    CURVES_CMD_NEW_BEZIER = 9,
    CURVES_CMD_NEW_POLYLINE = 10,
    CURVES_CMD_DELETE = 11,
    CURVES_CMD_COPY = 12,
    CURVES_CMD_SHOW_PATH = 13,
    CURVES_CMD_CLOSED = 14,
    CURVES_CMD_DELETE_ALL = 15,
    CURVES_CMD_SAVE = 16,
    CURVES_CMD_ADD_FROM_FILE = 17,
    CURVES_CMD_EXIT = 18,
    CURVES_CMD_DISPLAY = 19,
    CURVES_CMD_SEPARATOR = 255,
};

// aCurvesEditor::update results, for the owner to act on.
enum aCurvesEditorResult : int {
    CURVES_RESULT_NONE = 0,
    CURVES_RESULT_EXIT = 1,
    CURVES_RESULT_ADD_FROM_FILE = 2,
    CURVES_RESULT_SAVE = 3,
};

enum aCurvesEditorState : int {
    CURVES_STATE_IDLE = 0,
    CURVES_STATE_INERT = 1,
    CURVES_STATE_CREATING = 2,
    CURVES_STATE_DRAGGING = 3,
    CURVES_STATE_PRESSED = 4,  // on empty space
};

// Display modes: which control points can be picked.
enum aCurvesEditorDisplay : int {
    CURVES_DISPLAY_ALL = 0,
    CURVES_DISPLAY_NONE = 1,
    CURVES_DISPLAY_SELECTED = 2,  // handles only near the anchor pressed last
};

class aCurvesEditor {
public:
    // Pick distance in pixels (points: per axis; curves: from a segment).
    static constexpr int kPickDistance = 5;
    static constexpr float kCopyOffset = 5.0f;

    aCurvesEditor();
    ~aCurvesEditor();
    aCurvesEditor(const aCurvesEditor&) = delete;
    aCurvesEditor& operator=(const aCurvesEditor&) = delete;

    // aCurvesEditorResult; 0 and nothing done while a service is missing.
    int update(float dt);
    // Appends the file's trajectory moved by the origin; false (nothing
    // changed) when it cannot be read.
    bool loadCurve(const std::string& path);
    // index < 0: the selected curve. Written moved back by minus the origin.
    bool saveCurve(int index, const std::string& path);
    // Moves every curve by the change of origin.
    void setOrigin(const aRect& area);

    std::size_t getCurveCount() const { return m_curves.size(); }
    aEditorCurve* getCurve(int index) const;
    aEditorCurve* getSelectedCurve() const { return m_selectedCurve; }

    const aRect& getArea() const { return m_area; }
    int getState() const { return m_state; }
    int getDisplayMode() const { return m_displayMode; }
    bool isMenuActive() const { return m_menuActive; }
    int getHoveredPoint() const { return m_hoveredPoint; }
    int getHoveredCurve() const { return m_hoveredCurve; }
    int getLastAnchor() const { return m_lastAnchor; }
    int getHandleAnchor() const { return m_handleAnchor; }
    aContextMenu& getMenu() { return m_menu; }
    aContextMenu& getDisplayMenu() { return m_displayMenu; }

    aGDI m_gdi;

private:
    void openMenu();
    void runCommand(std::int32_t id);
    void runState(aInputServer& input);
    void idle(aInputServer& input);
    void create(const aInputServer& input);
    void drag(const aInputServer& input);
    void pickPoint();
    void pickCurve();
    void setCursor(std::uint32_t id);
    // Swaps the curve to the front and selects it.
    void select(int index);
    void deselect();
    void forgetPicks();
    void deleteCurve(aEditorCurve* curve);
    void newCurve(std::uint32_t kind);
    void copySelected();
    void insertAtMouse();
    void dragHandle();
    // The menu's point when it is still there (and an anchor when asked).
    bool menuPointValid(bool anchorOnly) const;
    bool isHandle(const aEditorCurve& curve, std::size_t index) const;
    int anchorOfHandle(const aEditorCurve& curve, std::size_t index) const;
    int oppositeHandle(const aEditorCurve& curve, int handle, int anchor) const;

    std::map<std::uint32_t, std::string> m_labels;
    aContextMenu m_menu;
    aRect m_area;
    std::vector<std::unique_ptr<aEditorCurve>> m_curves;
    aEditorCurve* m_selectedCurve = nullptr;
    int m_selectedIndex = -1;
    int m_hoveredCurve = -1;
    bool m_draggingCurve = false;
    bool m_menuActive = false;
    bool m_firstMove = false;
    int m_lastAnchor = -1;
    int m_hoveredPoint = -1;
    int m_handleAnchor = -1;
    std::uint32_t m_hoveredType = 0;
    int m_displayMode = CURVES_DISPLAY_SELECTED;
    int m_result = CURVES_RESULT_NONE;
    int m_state = CURVES_STATE_IDLE;
    std::int32_t m_mouseX = 0;
    std::int32_t m_mouseY = 0;
    std::int32_t m_pressX = 0;
    std::int32_t m_pressY = 0;
    // The curve and point the menu was opened for: the point commands act
    // on these, not on whatever the mouse passed over while the menu ran.
    aEditorCurve* m_menuCurve = nullptr;
    int m_menuPoint = -1;
    // Length of the opposite handle when a handle drag began.
    double m_oppositeLength = 0.0;
    aContextMenu m_displayMenu;
};
