#include "engine/gfx/a_curves_editor.h"

#include <cmath>
#include <cstdlib>
#include <utility>

#include "engine/gfx/a_graph_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"

namespace {

const std::map<std::uint32_t, std::string>& menuLabels()
{
    static const std::map<std::uint32_t, std::string> labels = [] {
        const std::pair<std::uint32_t, const wchar_t*> texts[] = {
            {CURVES_CMD_SHOW_ALL_NODES, L"Показать все узлы"},
            {CURVES_CMD_HIDE_NODES, L"Не показывать узлы"},
            {CURVES_CMD_SHOW_SELECTED_NODES, L"Показывать выделенные узлы"},
            {CURVES_CMD_NODE_SMOOTH, L"Гладкий узел"},
            {CURVES_CMD_NODE_STRAIGHT, L"Прямой узел"},
            {CURVES_CMD_NODE_CORNER, L"Угловой узел"},
            {CURVES_CMD_FIX, L"Зафиксировать"},
            {CURVES_CMD_DELETE_NODE, L"Удалить узел"},
            {CURVES_CMD_NEW_SPLINE, L"Добавить простую кривую"},
            {CURVES_CMD_NEW_BEZIER, L"Добавить кривую Безье"},
            {CURVES_CMD_NEW_POLYLINE, L"Добавить ломаную кривую"},
            {CURVES_CMD_DELETE, L"Удалить"},
            {CURVES_CMD_COPY, L"Копировать"},
            {CURVES_CMD_SHOW_PATH, L"Показать путь"},
            {CURVES_CMD_CLOSED, L"Замкнутая кривая"},
            {CURVES_CMD_DELETE_ALL, L"Удалить всё"},
            {CURVES_CMD_SAVE, L"Сохранить"},
            {CURVES_CMD_ADD_FROM_FILE, L"Добавить из файла"},
            {CURVES_CMD_EXIT, L"Выйти"},
            {CURVES_CMD_DISPLAY, L"Отображение"},
            {CURVES_CMD_SEPARATOR, L""},
        };
        std::map<std::uint32_t, std::string> out;
        for (const auto& [id, text] : texts)
            out[id] = str_wideToCp1251(text);
        return out;
    }();
    return labels;
}

aInputServer* services()
{
    if (!g_application || !g_application->m_graphServer)
        return nullptr;
    return g_application->m_inputServer;
}

bool down(const aInputServer& input, int button) { return input.m_mouseButtons[button] >= KEY_PRESSED; }

// The first polyline segment the point projects onto (inside the segment)
// within the pick distance; -1 when none.
int segmentUnder(const aCurve& curve, double x, double y)
{
    const std::vector<aCurvePoint>& line = curve.getPolyline();
    const double limit = double(aCurvesEditor::kPickDistance) * aCurvesEditor::kPickDistance;
    for (std::size_t j = 0; j + 1 < line.size(); ++j) {
        const double ax = line[j].x, ay = line[j].y;
        const double dx = double(line[j + 1].x) - ax, dy = double(line[j + 1].y) - ay;
        const double length2 = dx * dx + dy * dy;
        if (length2 == 0.0)
            continue;
        const double t = ((x - ax) * dx + (y - ay) * dy) / length2;
        if (!(t >= 0.0 && t <= 1.0))
            continue;
        const double cross = (x - ax) * dy - (y - ay) * dx;
        if (cross * cross / length2 < limit)
            return int(j);
    }
    return -1;
}

} // namespace

bool aEditorCurve::setPointType(std::size_t index, std::uint32_t type)
{
    if (index >= points.size())
        return false;
    points[index].type = type;
    return true;
}

bool aEditorCurve::toggleFixed(std::size_t index)
{
    if (index >= points.size())
        return false;
    points[index].fixed = points[index].fixed ? 0 : 1;
    return true;
}

void aEditorCurve::dropLast(std::size_t count)
{
    points.resize(points.size() > count ? points.size() - count : 0);
    if (points.empty())
        closed = 0;
    rebuild();
}

aCurvesEditor::aCurvesEditor() : m_labels(menuLabels())
{
    if (!g_application)
        a_log("aCurvesEditor. Error, aApplication object not created!");
    const aGraphServer* graph = g_application ? g_application->m_graphServer : nullptr;
    if (!graph)
        a_log("aCurvesEditor. Error, aGraphServer object not created!");
    if (!g_application || !g_application->m_inputServer)
        a_log("aCurvesEditor. Error, aInputServer object not created!");
    if (graph)
        m_area = aRect(0, 0, graph->m_backBufferWidth, graph->m_backBufferHeight);

    m_menu.setItems(m_labels, CURVES_CMD_SEPARATOR, 0, 0);
    m_displayMenu.setItems(m_labels, CURVES_CMD_SEPARATOR, 0, 0);
    for (std::uint32_t id = CURVES_CMD_SHOW_ALL_NODES; id <= CURVES_CMD_SHOW_SELECTED_NODES; ++id)
        m_displayMenu.setItemType(id, MENU_ITEM_RADIO);
    m_displayMenu.layout({CURVES_CMD_SHOW_ALL_NODES, CURVES_CMD_HIDE_NODES, CURVES_CMD_SHOW_SELECTED_NODES});
    m_displayMenu.setItemState(CURVES_CMD_SHOW_SELECTED_NODES, MENU_STATE_CHECKED, 1);

    m_menu.setItemType(CURVES_CMD_SHOW_PATH, MENU_ITEM_CHECK);
    m_menu.setItemType(CURVES_CMD_CLOSED, MENU_ITEM_CHECK);
    for (std::uint32_t id = CURVES_CMD_SHOW_ALL_NODES; id <= CURVES_CMD_NODE_CORNER; ++id)
        m_menu.setItemType(id, MENU_ITEM_RADIO);
    m_menu.setItemType(CURVES_CMD_FIX, MENU_ITEM_CHECK);
    m_menu.setSubmenu(CURVES_CMD_DISPLAY, &m_displayMenu);
}

aCurvesEditor::~aCurvesEditor()
{
    while (!m_curves.empty())
        m_curves.pop_back();
}

aEditorCurve* aCurvesEditor::getCurve(int index) const
{
    if (index < 0 || std::size_t(index) >= m_curves.size())
        return nullptr;
    return m_curves[std::size_t(index)].get();
}

int aCurvesEditor::update(float dt)
{
    m_result = CURVES_RESULT_NONE;
    aInputServer* input = services();
    if (!input)
        return m_result;
    input->getMousePos(m_mouseX, m_mouseY);

    if (input->m_mouseButtons[1] == KEY_RELEASED && m_state != CURVES_STATE_CREATING)
        openMenu();

    if (m_menuActive) {
        const int status = m_menu.update(dt, m_mouseX, m_mouseY);
        if (status == MENU_OVER)
            return m_result;
        if (status == MENU_CHOSEN) {
            runCommand(m_menu.getInnermostOpen()->getSelectedId());
            m_menu.close();
            m_menuActive = false;
            input->resetMouseButtons();
        } else if (status == MENU_CLOSED || status == MENU_NOT_OPEN) {
            m_menuActive = false;
        }
    }
    runState(*input);
    return m_result;
}

bool aCurvesEditor::isHandle(const aEditorCurve& curve, std::size_t index) const
{
    return curve.getType() == TRAJECTORY_BEZIER && index % 3 != 0;
}

int aCurvesEditor::anchorOfHandle(const aEditorCurve& curve, std::size_t index) const
{
    const std::size_t n = curve.getPointCount();
    std::size_t anchor = (index - 1) % 3 == 0 ? index - 1 : index + 1;
    if (anchor == n)
        anchor = 0;
    // The ends of an open chain have a single handle: nothing follows it.
    if (!curve.isClosed() && (anchor == 0 || anchor + 1 == n))
        return -1;
    return anchor < n ? int(anchor) : -1;
}

int aCurvesEditor::oppositeHandle(const aEditorCurve& curve, int handle, int anchor) const
{
    const int n = int(curve.getPointCount());
    if (anchor < 0 || anchor >= n)
        return -1;
    int opposite;
    if (handle == anchor + 1)
        opposite = anchor > 0 ? anchor - 1 : (curve.isClosed() ? n - 1 : -1);
    else
        opposite = anchor + 1;
    if (opposite < 0 || opposite >= n || opposite == handle || !isHandle(curve, std::size_t(opposite)))
        return -1;
    return opposite;
}

void aCurvesEditor::openMenu()
{
    aEditorCurve* curve = m_selectedCurve;
    const bool onPoint =
        curve && m_hoveredPoint >= 0 && std::size_t(m_hoveredPoint) < curve->getPointCount();
    if (onPoint && isHandle(*curve, std::size_t(m_hoveredPoint)))
        return;
    m_menuCurve = onPoint ? curve : nullptr;
    m_menuPoint = onPoint ? m_hoveredPoint : -1;

    if (onPoint) {
        const aTrajectoryPoint& p = curve->getPoints()[std::size_t(m_hoveredPoint)];
        if (curve->getType() == TRAJECTORY_BEZIER) {
            m_menu.layout({CURVES_CMD_CLOSED, CURVES_CMD_SEPARATOR, CURVES_CMD_NODE_SMOOTH, CURVES_CMD_NODE_STRAIGHT,
                           CURVES_CMD_NODE_CORNER, CURVES_CMD_SEPARATOR, CURVES_CMD_FIX, CURVES_CMD_SEPARATOR,
                           CURVES_CMD_DELETE_NODE});
            if (p.type <= 2)
                m_menu.setItemState(CURVES_CMD_NODE_SMOOTH + p.type, MENU_STATE_CHECKED, 1);
        } else {
            m_menu.layout({CURVES_CMD_CLOSED, CURVES_CMD_SEPARATOR, CURVES_CMD_FIX, CURVES_CMD_SEPARATOR,
                           CURVES_CMD_DELETE_NODE});
        }
        m_menu.setItemState(CURVES_CMD_FIX, MENU_STATE_CHECKED, p.fixed != 0);
        m_menu.setItemState(CURVES_CMD_CLOSED, MENU_STATE_CHECKED, curve->isClosed());
    } else if (curve) {
        m_menu.layout({CURVES_CMD_CLOSED, CURVES_CMD_SEPARATOR, CURVES_CMD_SHOW_PATH, CURVES_CMD_DISPLAY,
                       CURVES_CMD_SEPARATOR, CURVES_CMD_DELETE, CURVES_CMD_COPY, CURVES_CMD_SEPARATOR,
                       CURVES_CMD_SAVE});
        m_menu.setItemState(CURVES_CMD_CLOSED, MENU_STATE_CHECKED, curve->isClosed());
        m_menu.setItemState(CURVES_CMD_SHOW_PATH, MENU_STATE_CHECKED, curve->getHidePath() == 0);
        if (curve->getType() == TRAJECTORY_POLYLINE)
            m_menu.setItemState(CURVES_CMD_SHOW_PATH, MENU_STATE_ENABLED, 0);
    } else {
        m_menu.layout({CURVES_CMD_NEW_SPLINE, CURVES_CMD_NEW_BEZIER, CURVES_CMD_NEW_POLYLINE,
                       CURVES_CMD_ADD_FROM_FILE, CURVES_CMD_SEPARATOR, CURVES_CMD_DISPLAY, CURVES_CMD_SEPARATOR,
                       CURVES_CMD_DELETE_ALL, CURVES_CMD_SEPARATOR, CURVES_CMD_SAVE, CURVES_CMD_EXIT});
        if (m_curves.empty()) {
            m_menu.setItemState(CURVES_CMD_DELETE_ALL, MENU_STATE_ENABLED, 0);
            m_menu.setItemState(CURVES_CMD_SAVE, MENU_STATE_ENABLED, 0);
        }
    }
    setCursor(IDC_ARROW);
    m_menu.open(float(m_mouseX), float(m_mouseY));
    m_menuActive = true;
}

bool aCurvesEditor::menuPointValid(bool anchorOnly) const
{
    if (!m_menuCurve || m_menuCurve != m_selectedCurve || m_menuPoint < 0 ||
        std::size_t(m_menuPoint) >= m_menuCurve->getPointCount())
        return false;
    return !anchorOnly || !isHandle(*m_menuCurve, std::size_t(m_menuPoint));
}

void aCurvesEditor::runCommand(std::int32_t id)
{
    aEditorCurve* curve = m_selectedCurve;
    switch (id) {
    case CURVES_CMD_SHOW_ALL_NODES:
    case CURVES_CMD_HIDE_NODES:
    case CURVES_CMD_SHOW_SELECTED_NODES:
        m_displayMode = id;
        break;
    case CURVES_CMD_NODE_SMOOTH:
    case CURVES_CMD_NODE_STRAIGHT:
    case CURVES_CMD_NODE_CORNER:
        if (menuPointValid(true))
            curve->setPointType(std::size_t(m_menuPoint), std::uint32_t(id - CURVES_CMD_NODE_SMOOTH));
        break;
    case CURVES_CMD_FIX:
        if (menuPointValid(false))
            curve->toggleFixed(std::size_t(m_menuPoint));
        break;
    case CURVES_CMD_DELETE_NODE:
        if (menuPointValid(true))
            curve->removePoint(std::size_t(m_menuPoint));
        forgetPicks();
        break;
    case CURVES_CMD_NEW_SPLINE:
    case CURVES_CMD_NEW_BEZIER:
    case CURVES_CMD_NEW_POLYLINE:
        newCurve(std::uint32_t(id - CURVES_CMD_NEW_SPLINE));
        break;
    case CURVES_CMD_DELETE:
        if (curve)
            deleteCurve(curve);
        break;
    case CURVES_CMD_COPY:
        copySelected();
        break;
    case CURVES_CMD_SHOW_PATH:
        if (curve)
            curve->setHidePath(curve->getHidePath() ? 0 : 1);
        break;
    case CURVES_CMD_CLOSED:
        if (curve) {
            // Opening a Bezier chain drops its last two points.
            curve->setClosed(!curve->isClosed());
            forgetPicks();
        }
        break;
    case CURVES_CMD_DELETE_ALL:
        while (!m_curves.empty())
            m_curves.pop_back();
        deselect();
        forgetPicks();
        break;
    case CURVES_CMD_SAVE:
        m_result = CURVES_RESULT_SAVE;
        break;
    case CURVES_CMD_ADD_FROM_FILE:
        m_result = CURVES_RESULT_ADD_FROM_FILE;
        break;
    case CURVES_CMD_EXIT:
        m_result = CURVES_RESULT_EXIT;
        break;
    default:
        break;
    }
    m_menuCurve = nullptr;
    m_menuPoint = -1;
}

void aCurvesEditor::forgetPicks()
{
    m_hoveredPoint = -1;
    m_hoveredCurve = -1;
    m_handleAnchor = -1;
    m_lastAnchor = -1;
    m_hoveredType = 0;
}

void aCurvesEditor::select(int index)
{
    if (index < 0 || std::size_t(index) >= m_curves.size())
        return;
    aEditorCurve* before = m_selectedCurve;
    std::swap(m_curves[0], m_curves[std::size_t(index)]);
    m_selectedCurve = m_curves[0].get();
    m_selectedIndex = 0;
    if (m_hoveredCurve == index)
        m_hoveredCurve = 0;
    else if (m_hoveredCurve == 0)
        m_hoveredCurve = index;
    if (before != m_selectedCurve) {
        // The point indexes belonged to the curve selected before.
        m_hoveredPoint = m_handleAnchor = m_lastAnchor = -1;
    }
}

void aCurvesEditor::deselect()
{
    m_selectedCurve = nullptr;
    m_selectedIndex = -1;
    m_hoveredPoint = m_handleAnchor = m_lastAnchor = -1;
}

void aCurvesEditor::deleteCurve(aEditorCurve* curve)
{
    for (std::size_t i = 0; i < m_curves.size(); ++i) {
        if (m_curves[i].get() == curve) {
            m_curves.erase(m_curves.begin() + std::ptrdiff_t(i));
            break;
        }
    }
    deselect();
    forgetPicks();
}

void aCurvesEditor::newCurve(std::uint32_t kind)
{
    auto curve = std::make_unique<aEditorCurve>();
    curve->setType(kind);
    m_curves.push_back(std::move(curve));
    m_selectedCurve = m_curves.back().get();
    m_selectedIndex = int(m_curves.size()) - 1;
    forgetPicks();
    m_draggingCurve = false;
    m_state = CURVES_STATE_CREATING;
}

void aCurvesEditor::copySelected()
{
    if (!m_selectedCurve)
        return;
    auto copy = std::make_unique<aEditorCurve>();
    copy->setTrajectory(*m_selectedCurve);
    m_curves.push_back(std::move(copy));
    forgetPicks();
    select(int(m_curves.size()) - 1);
    m_selectedCurve->translate(kCopyOffset, kCopyOffset, true);
}

void aCurvesEditor::setCursor(std::uint32_t id)
{
    // Every call resends the cursor to the window: only on a change.
    if (g_application->m_systemCursor != id || g_application->m_cursorAnim)
        g_application->m_inputServer->setSystemCursor(id);
}

void aCurvesEditor::runState(aInputServer& input)
{
    switch (m_state) {
    case CURVES_STATE_IDLE:
        idle(input);
        break;
    case CURVES_STATE_CREATING:
        create(input);
        break;
    case CURVES_STATE_DRAGGING:
        drag(input);
        break;
    case CURVES_STATE_PRESSED:
        if (!down(input, 0)) {
            m_state = CURVES_STATE_IDLE;
            deselect();
        }
        break;
    default:
        break;
    }
}

void aCurvesEditor::pickPoint()
{
    m_hoveredPoint = -1;
    m_handleAnchor = -1;
    const aEditorCurve* curve = m_selectedCurve;
    if (!curve || m_displayMode == CURVES_DISPLAY_NONE)
        return;
    const std::vector<aTrajectoryPoint>& points = curve->getPoints();
    const int n = int(points.size());
    for (int i = n - 1; i >= 0; --i) {
        const aTrajectoryPoint& p = points[std::size_t(i)];
        if (!(std::fabs(double(p.x) - m_mouseX) < kPickDistance && std::fabs(double(p.y) - m_mouseY) < kPickDistance))
            continue;
        const bool handle = isHandle(*curve, std::size_t(i));
        if (handle && m_displayMode == CURVES_DISPLAY_SELECTED) {
            if (m_lastAnchor < 0)
                continue;
            int distance = std::abs(i - m_lastAnchor);
            if (curve->isClosed() && n - distance < distance)
                distance = n - distance;
            if (distance >= 5)
                continue;
        }
        m_hoveredPoint = i;
        m_hoveredType = p.type;
        if (handle)
            m_handleAnchor = anchorOfHandle(*curve, std::size_t(i));
        return;
    }
}

void aCurvesEditor::pickCurve()
{
    m_hoveredCurve = -1;
    if (m_hoveredPoint >= 0)
        return;
    for (std::size_t i = 0; i < m_curves.size(); ++i) {
        if (segmentUnder(*m_curves[i], m_mouseX, m_mouseY) >= 0) {
            m_hoveredCurve = int(i);
            return;
        }
    }
}

void aCurvesEditor::idle(aInputServer& input)
{
    pickPoint();
    pickCurve();
    setCursor(m_hoveredPoint >= 0 ? IDC_CROSS : m_hoveredCurve >= 0 ? IDC_HAND : IDC_ARROW);

    if (input.m_mouseButtons[0] == KEY_PRESSED) {
        if (m_hoveredPoint >= 0) {
            int x = 0, y = 0;
            m_selectedCurve->getPointInt(std::size_t(m_hoveredPoint), x, y);
            input.setMousePos(x, y);
            if (!isHandle(*m_selectedCurve, std::size_t(m_hoveredPoint)))
                m_lastAnchor = m_hoveredPoint;
            m_firstMove = true;
            m_draggingCurve = false;
            m_state = CURVES_STATE_DRAGGING;
        } else if (m_hoveredCurve >= 0) {
            select(m_hoveredCurve);
            m_draggingCurve = true;
            m_pressX = m_mouseX;
            m_pressY = m_mouseY;
            m_state = CURVES_STATE_DRAGGING;
        } else {
            m_pressX = m_mouseX;
            m_pressY = m_mouseY;
            m_state = CURVES_STATE_PRESSED;
        }
    }
    if (input.m_mouseButtons[1] == KEY_PRESSED) {
        if (m_hoveredCurve >= 0)
            select(m_hoveredCurve);
        else if (m_hoveredPoint < 0)
            deselect();
    }
    if (input.m_doubleClick[0].clicked && m_hoveredCurve >= 0 && m_selectedCurve &&
        m_curves[std::size_t(m_hoveredCurve)].get() == m_selectedCurve)
        insertAtMouse();
}

void aCurvesEditor::insertAtMouse()
{
    aEditorCurve& curve = *m_selectedCurve;
    const int segment = segmentUnder(curve, m_mouseX, m_mouseY);
    if (segment < 0)
        return;
    // Walk the polyline to the segment: every point that is the next
    // control point (the next anchor for a Bezier chain) steps past it.
    const std::vector<aCurvePoint>& line = curve.getPolyline();
    const std::vector<aTrajectoryPoint>& points = curve.getPoints();
    const std::size_t step = curve.getType() == TRAJECTORY_BEZIER ? 3 : 1;
    std::size_t index = 0;
    for (std::size_t j = 0; j <= std::size_t(segment); ++j) {
        if (index < points.size() && line[j].x == points[index].x && line[j].y == points[index].y)
            index += step;
    }
    if (curve.insertPoint(index, float(m_mouseX), float(m_mouseY))) {
        curve.smoothPoint(index);
        forgetPicks();
    }
}

void aCurvesEditor::create(const aInputServer& input)
{
    aEditorCurve* curve = m_selectedCurve;
    if (!curve) {
        m_state = CURVES_STATE_IDLE;
        return;
    }
    const bool bezier = curve->getType() == TRAJECTORY_BEZIER;
    const std::size_t n = curve->getPointCount();
    if (n >= 2) {
        curve->movePoint(n - 1, float(m_mouseX), float(m_mouseY), false, true);
        if (bezier) {
            curve->smoothPoint(n - 1);
            if (n >= 4)
                curve->smoothPoint(n - 4);
            if (n == 7)
                curve->smoothPoint(0);
        }
    }
    if (input.m_mouseButtons[0] == KEY_RELEASED) {
        if (curve->getPointCount() == 0)
            curve->addPoint(float(m_mouseX), float(m_mouseY));
        curve->addPoint(float(m_mouseX), float(m_mouseY));
    }
    if (input.m_doubleClick[0].clicked) {
        curve->dropLast(bezier ? 3 : 1);
        if (bezier && curve->getPointCount() > 0)
            curve->smoothPoint(curve->getPointCount() - 1);
        m_state = CURVES_STATE_IDLE;
    }
}

void aCurvesEditor::drag(const aInputServer& input)
{
    if (!down(input, 0)) {
        m_state = CURVES_STATE_IDLE;
        m_draggingCurve = false;
        return;
    }
    aEditorCurve* curve = m_selectedCurve;
    if (m_draggingCurve) {
        if (!curve)
            return;
        const std::int32_t dx = m_mouseX - m_pressX, dy = m_mouseY - m_pressY;
        if (dx || dy)
            curve->translate(float(dx), float(dy), true);
        m_pressX = m_mouseX;
        m_pressY = m_mouseY;
        return;
    }
    if (!curve || m_hoveredPoint < 0 || std::size_t(m_hoveredPoint) >= curve->getPointCount())
        return;
    if (isHandle(*curve, std::size_t(m_hoveredPoint)))
        dragHandle();
    else
        curve->movePoint(std::size_t(m_hoveredPoint), float(m_mouseX), float(m_mouseY), false, true);
    m_firstMove = false;
}

void aCurvesEditor::dragHandle()
{
    aEditorCurve& curve = *m_selectedCurve;
    const int anchor = m_handleAnchor;
    const int opposite = oppositeHandle(curve, m_hoveredPoint, anchor);
    const std::vector<aTrajectoryPoint>& points = curve.getPoints();
    if (m_firstMove) {
        m_oppositeLength = 0.0;
        if (opposite >= 0) {
            const aTrajectoryPoint &a = points[std::size_t(anchor)], &o = points[std::size_t(opposite)];
            m_oppositeLength = std::hypot(double(o.x) - a.x, double(o.y) - a.y);
        }
    }
    curve.moveHandle(std::size_t(m_hoveredPoint), float(m_mouseX), float(m_mouseY), false);
    if (opposite < 0)
        return;
    const aTrajectoryPoint a = points[std::size_t(anchor)];
    switch (a.type) {
    case 0:
        curve.moveHandle(std::size_t(opposite), 2.0f * a.x - float(m_mouseX), 2.0f * a.y - float(m_mouseY), false);
        break;
    case 1: {
        const double dx = double(m_mouseX) - a.x, dy = double(m_mouseY) - a.y;
        const double length = std::hypot(dx, dy);
        // A handle on its anchor points nowhere: the opposite one stays.
        if (length == 0.0)
            break;
        const double ox = std::trunc(-dx / length * m_oppositeLength);
        const double oy = std::trunc(-dy / length * m_oppositeLength);
        curve.moveHandle(std::size_t(opposite), float(a.x + ox), float(a.y + oy), false);
        break;
    }
    default:
        break;
    }
}

bool aCurvesEditor::loadCurve(const std::string& path)
{
    auto curve = std::make_unique<aEditorCurve>();
    if (!curve->load(path))
        return false;
    curve->translate(float(m_area.x), float(m_area.y), true);
    curve->sourcePath = path;
    m_curves.push_back(std::move(curve));
    deselect();
    forgetPicks();
    m_state = CURVES_STATE_IDLE;
    return true;
}

bool aCurvesEditor::saveCurve(int index, const std::string& path)
{
    const aEditorCurve* curve = index < 0 ? m_selectedCurve : getCurve(index);
    if (!curve)
        return false;
    aTrajectory copy(*curve);
    copy.translate(-float(m_area.x), -float(m_area.y), true);
    return copy.save(path);
}

void aCurvesEditor::setOrigin(const aRect& area)
{
    const float dx = float(area.x) - float(m_area.x), dy = float(area.y) - float(m_area.y);
    if (dx != 0.0f || dy != 0.0f) {
        for (auto& curve : m_curves)
            curve->translate(dx, dy, true);
    }
    m_area = area;
}
