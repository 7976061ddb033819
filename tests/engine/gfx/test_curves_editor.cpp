// The curves editor on scripted mouse frames: creating, picking, dragging,
// the context menu's item sets and commands, files, and a random soak.
#include <cmath>
#include <memory>
#include <random>

#include "engine/gfx/a_curves_editor.h"
#include "test_mouse_fixture.h"

namespace {

using mousetest::kLeft;
using mousetest::kRight;

struct Pt {
    float x, y;
};
bool operator==(const Pt& a, const Pt& b) { return a.x == b.x && a.y == b.y; }
void PrintTo(const Pt& p, std::ostream* os) { *os << "(" << p.x << ", " << p.y << ")"; }

class CurvesEditorTest : public mousetest::MouseTest {
protected:
    const char* appName() const override { return "CurvesEditorTest"; }

    void SetUp() override
    {
        MouseTest::SetUp();
        editor = std::make_unique<aCurvesEditor>();
    }
    void TearDown() override
    {
        editor.reset();
        MouseTest::TearDown();
    }

    int step(unsigned buttons, int x, int y, double ms = 20.0)
    {
        frame(buttons, x, y, ms);
        return editor->update(float(ms / 1000.0));
    }
    // Press and release; the result of the release frame.
    int click(int x, int y, unsigned button = kLeft)
    {
        step(0, x, y);
        step(button, x, y);
        return step(0, x, y);
    }
    // Press, release, press, release at one spot. The tracker sees a move
    // a frame late, so the mouse rests there a frame first.
    void doubleClick(int x, int y)
    {
        step(0, x, y);
        click(x, y);
        step(kLeft, x, y);
        step(0, x, y);
    }
    // A pause that no double click spans.
    void pause() { step(0, 639, 479, 600.0); }
    // The owner closes the menu; the editor notices on its next update.
    void dismiss()
    {
        editor->getMenu().close();
        pause();
    }
    // A point on the curve's polyline, a quarter along its list.
    static Pt onCurve(const aCurve& c)
    {
        const aCurvePoint& p = c.getPolyline()[c.getPolyline().size() / 4];
        return {std::round(p.x), std::round(p.y)};
    }

    std::vector<std::uint32_t> rowIds()
    {
        std::vector<std::uint32_t> out;
        for (const aContextMenu::Item& row : editor->getMenu().getItems())
            out.push_back(row.id);
        return out;
    }
    const aContextMenu::Item* row(aContextMenu& menu, std::uint32_t id)
    {
        for (const aContextMenu::Item& r : menu.getItems())
            if (r.id == id)
                return &r;
        return nullptr;
    }
    // Clicks the item in the open menu (display modes through the submenu);
    // the result of the click's last frame.
    int choose(std::uint32_t id)
    {
        aContextMenu& menu = editor->getMenu();
        aContextMenu* target = &menu;
        if (id <= CURVES_CMD_SHOW_SELECTED_NODES) {
            const aContextMenu::Item* display = row(menu, CURVES_CMD_DISPLAY);
            if (!display)
                return -1;
            for (int i = 0; i < 30 && !editor->getDisplayMenu().isOpen(); ++i)
                step(0, int(menu.getX() + 20), int(menu.getY() + display->y + 9));
            target = &editor->getDisplayMenu();
        }
        const aContextMenu::Item* r = row(*target, id);
        if (!r)
            return -1;
        return click(int(target->getX() + 20), int(target->getY() + r->y + 9));
    }

    aEditorCurve* load(const aTrajectory& t)
    {
        const std::string path = test_env::home() + "/curve" + std::to_string(files++) + ".data";
        EXPECT_TRUE(t.save(path));
        EXPECT_TRUE(editor->loadCurve(path));
        return editor->getCurve(int(editor->getCurveCount()) - 1);
    }
    // Kinds 0 and 2: the anchors; kind 1: every point in order.
    static aTrajectory make(std::uint32_t kind, const std::vector<Pt>& pts)
    {
        aTrajectory t;
        t.setType(kind);
        for (std::size_t i = 0; i < pts.size(); ++i)
            if (kind != TRAJECTORY_BEZIER || i % 3 == 0)
                t.addPoint(pts[i].x, pts[i].y);
        for (std::size_t i = 0; kind == TRAJECTORY_BEZIER && i < pts.size(); ++i)
            if (i % 3 != 0)
                t.moveHandle(i, pts[i].x, pts[i].y, false);
        return t;
    }
    static Pt at(const aTrajectory& t, std::size_t i)
    {
        Pt p{NAN, NAN};
        t.getPoint(i, p.x, p.y);
        return p;
    }
    static std::vector<Pt> pointsOf(const aTrajectory& t)
    {
        std::vector<Pt> out;
        for (std::size_t i = 0; i < t.getPointCount(); ++i)
            out.push_back(at(t, i));
        return out;
    }
    std::uint32_t cursor() const { return app.m_systemCursor; }

    std::unique_ptr<aCurvesEditor> editor;
    int files = 0;
};

// A Bezier chain along y = 100 with handles off the line.
const std::vector<Pt> kChain = {{100, 100}, {120, 80}, {180, 80}, {200, 100}, {220, 120}, {280, 120}, {300, 100}};

} // namespace

TEST_F(CurvesEditorTest, CreatesEachKindClickByClick)
{
    pause();
    EXPECT_EQ(editor->getDisplayMode(), CURVES_DISPLAY_SELECTED);
    click(320, 300, kRight);
    ASSERT_TRUE(editor->isMenuActive());
    EXPECT_EQ(rowIds(), (std::vector<std::uint32_t>{8, 9, 10, 17, 255, 19, 255, 15, 255, 16, 18}));
    EXPECT_EQ(row(editor->getMenu(), 15)->enabled, 0);
    EXPECT_EQ(row(editor->getMenu(), 16)->enabled, 0);
    EXPECT_EQ(row(editor->getMenu(), 17)->enabled, 1);

    // Polyline: each click adds a point; the trailing one follows the mouse.
    EXPECT_EQ(choose(CURVES_CMD_NEW_POLYLINE), 0);
    EXPECT_FALSE(editor->isMenuActive());
    EXPECT_EQ(editor->getState(), CURVES_STATE_CREATING);
    aEditorCurve* poly = editor->getSelectedCurve();
    ASSERT_NE(poly, nullptr);
    EXPECT_EQ(poly->getType(), TRAJECTORY_POLYLINE);
    click(100, 100);
    EXPECT_EQ(pointsOf(*poly), (std::vector<Pt>{{100, 100}, {100, 100}}));
    step(0, 150, 120);
    EXPECT_EQ(at(*poly, 1), (Pt{150, 120}));
    click(150, 120, kRight);  // no menu while creating
    EXPECT_FALSE(editor->isMenuActive());
    click(150, 120);
    doubleClick(200, 100);
    EXPECT_EQ(editor->getState(), CURVES_STATE_IDLE);
    EXPECT_EQ(pointsOf(*poly), (std::vector<Pt>{{100, 100}, {150, 120}, {200, 100}}));
    EXPECT_EQ(poly->getPolyline().size(), 3u);

    // Bezier: the trailing anchor goes with its two handles; the new last
    // anchor is smoothed.
    pause();
    click(320, 300, kRight);
    EXPECT_EQ(editor->getSelectedCurve(), nullptr);
    EXPECT_EQ(row(editor->getMenu(), 15)->enabled, 1);
    choose(CURVES_CMD_NEW_BEZIER);
    aEditorCurve* bez = editor->getSelectedCurve();
    click(100, 200);
    EXPECT_EQ(bez->getPointCount(), 4u);
    step(0, 200, 200);
    click(200, 200);
    EXPECT_EQ(bez->getPointCount(), 7u);
    step(0, 300, 260);
    doubleClick(300, 260);
    ASSERT_EQ(bez->getPointCount(), 7u);
    std::vector<std::uint32_t> types;
    for (const aTrajectoryPoint& p : bez->getPoints())
        types.push_back(p.type);
    EXPECT_EQ(types, (std::vector<std::uint32_t>{0, 3, 3, 0, 3, 3, 0}));
    EXPECT_EQ(at(*bez, 0), (Pt{100, 200}));
    EXPECT_EQ(at(*bez, 3), (Pt{200, 200}));
    EXPECT_EQ(at(*bez, 6), (Pt{300, 260}));
    EXPECT_EQ(at(*bez, 5), (Pt{(at(*bez, 6).x + at(*bez, 4).x) / 2, (at(*bez, 6).y + at(*bez, 4).y) / 2}));
    EXPECT_EQ(bez->getPolyline().back().y, 260.0f);

    // One click and a double click leave a single anchor: the curve stays.
    for (std::uint32_t command : {CURVES_CMD_NEW_SPLINE, CURVES_CMD_NEW_BEZIER}) {
        pause();
        click(500, 400, kRight);
        choose(command);
        aEditorCurve* single = editor->getSelectedCurve();
        step(0, 450, 450);
        click(450, 450);
        step(kLeft, 450, 450);
        step(0, 450, 450);
        EXPECT_EQ(editor->getState(), CURVES_STATE_IDLE);
        EXPECT_EQ(pointsOf(*single), (std::vector<Pt>{{450, 450}}));
        EXPECT_TRUE(single->getPolyline().empty());
    }
    EXPECT_EQ(editor->getCurveCount(), 4u);
}

TEST_F(CurvesEditorTest, PicksAndDragsCurvesAnchorsAndHandles)
{
    aEditorCurve* chain = load(make(TRAJECTORY_BEZIER, kChain));
    pause();
    EXPECT_EQ(cursor(), IDC_ARROW);
    step(0, 150, 85);  // on the first segment, between the handles
    EXPECT_EQ(editor->getHoveredCurve(), 0);
    EXPECT_EQ(cursor(), IDC_HAND);
    click(150, 85);
    ASSERT_EQ(editor->getSelectedCurve(), chain);

    // An anchor: the pointer jumps onto it, the handles go along.
    step(0, 203, 102);
    EXPECT_EQ(editor->getHoveredPoint(), 3);
    EXPECT_EQ(cursor(), IDC_CROSS);
    step(kLeft, 203, 102);
    std::int32_t mx = 0, my = 0;
    input->getMousePos(mx, my);
    EXPECT_EQ(mx, 200);
    EXPECT_EQ(my, 100);
    step(kLeft, 210, 110);
    step(0, 210, 110);
    EXPECT_EQ(editor->getLastAnchor(), 3);
    EXPECT_EQ(pointsOf(*chain), (std::vector<Pt>{{100, 100}, {120, 80}, {190, 90}, {210, 110}, {230, 130},
                                                  {280, 120}, {300, 100}}));

    auto dragHandle = [&](Pt from, Pt to) {
        step(0, int(from.x), int(from.y));
        step(kLeft, int(from.x), int(from.y));
        step(kLeft, int(to.x), int(to.y));
        step(0, int(to.x), int(to.y));
    };
    // Smooth: the opposite handle mirrors through the anchor.
    dragHandle({230, 130}, {240, 110});
    EXPECT_EQ(at(*chain, 4), (Pt{240, 110}));
    EXPECT_EQ(at(*chain, 2), (Pt{180, 110}));
    // Corner: the opposite handle stays.
    chain->setPointType(3, 2);
    dragHandle({180, 110}, {203, 103});
    EXPECT_EQ(at(*chain, 2), (Pt{203, 103}));
    EXPECT_EQ(at(*chain, 4), (Pt{240, 110}));
    // Straight: opposite at the length it had (9.9), offsets truncated.
    chain->setPointType(3, 1);
    dragHandle({240, 110}, {210, 150});
    EXPECT_EQ(at(*chain, 4), (Pt{210, 150}));
    EXPECT_EQ(at(*chain, 2), (Pt{210, 101}));
    // Dragged onto its anchor it points nowhere: the opposite one stays.
    dragHandle({210, 150}, {210, 110});
    EXPECT_EQ(at(*chain, 4), (Pt{210, 110}));
    EXPECT_EQ(at(*chain, 2), (Pt{210, 101}));

    // Anchor 0 of a closed chain: its handles are point 1 and the last point.
    chain->setPointType(3, 0);
    chain->setClosed(true);
    ASSERT_EQ(chain->getPointCount(), 9u);
    EXPECT_EQ(at(*chain, 8), (Pt{80, 120}));
    click(100, 100);
    EXPECT_EQ(editor->getLastAnchor(), 0);
    step(0, 80, 120);
    EXPECT_EQ(editor->getHoveredPoint(), 8);
    EXPECT_EQ(editor->getHandleAnchor(), 0);
    dragHandle({80, 120}, {70, 130});
    EXPECT_EQ(at(*chain, 1), (Pt{130, 70}));
    dragHandle({130, 70}, {140, 100});
    EXPECT_EQ(at(*chain, 8), (Pt{60, 100}));

    // A whole curve follows the mouse; it becomes the first of the list.
    aEditorCurve* line = load(make(TRAJECTORY_POLYLINE, {{400, 300}, {500, 300}}));
    step(0, 450, 300);
    step(kLeft, 450, 300);
    EXPECT_EQ(editor->getCurve(0), line);
    step(kLeft, 460, 305);
    step(kLeft, 470, 305);
    step(0, 470, 305);
    EXPECT_EQ(pointsOf(*line), (std::vector<Pt>{{420, 305}, {520, 305}}));

    // Double clicks insert at the control index of the segment.
    pause();
    doubleClick(520, 305);  // on the end point: no insertion
    EXPECT_EQ(line->getPointCount(), 2u);
    doubleClick(480, 305);
    EXPECT_EQ(pointsOf(*line), (std::vector<Pt>{{420, 305}, {480, 305}, {520, 305}}));
    aEditorCurve* flat = load(make(TRAJECTORY_BEZIER, {{100, 400}, {120, 400}, {180, 400}, {200, 400},
                                                       {220, 400}, {280, 400}, {300, 400}}));
    pause();
    click(250, 400);
    ASSERT_EQ(editor->getSelectedCurve(), flat);
    pause();
    doubleClick(250, 400);
    ASSERT_EQ(flat->getPointCount(), 10u);
    EXPECT_EQ(at(*flat, 6), (Pt{250, 400}));
    EXPECT_FLOAT_EQ(at(*flat, 7).x, 250 + 100 / 6.0f);
    EXPECT_FLOAT_EQ(at(*flat, 5).x, 250 - 100 / 6.0f);
    EXPECT_EQ(at(*flat, 9), (Pt{300, 400}));
    // Display mode 2 offers only handles near the anchor pressed last.
    click(100, 400);
    step(0, 280, 400);
    EXPECT_EQ(editor->getHoveredPoint(), -1);
    EXPECT_EQ(editor->getHoveredCurve(), 0);
    step(0, 120, 400);
    EXPECT_EQ(editor->getHoveredPoint(), 1);
}

TEST_F(CurvesEditorTest, MenuItemSetsAndCommands)
{
    aEditorCurve* chain = load(make(TRAJECTORY_BEZIER, kChain));
    aEditorCurve* poly = load(make(TRAJECTORY_POLYLINE, {{100, 300}, {300, 300}, {300, 400}}));
    aEditorCurve* spline = load(make(TRAJECTORY_SPLINE, {{400, 100}, {500, 150}, {600, 100}}));
    pause();
    click(620, 460, kRight);
    EXPECT_EQ(row(editor->getMenu(), 15)->enabled, 1);
    EXPECT_EQ(choose(CURVES_CMD_ADD_FROM_FILE), CURVES_RESULT_ADD_FROM_FILE);
    click(620, 460, kRight);
    EXPECT_EQ(choose(CURVES_CMD_EXIT), CURVES_RESULT_EXIT);

    // A curve selected by the right press; the polyline offers no path.
    click(200, 300, kRight);
    EXPECT_EQ(editor->getSelectedCurve(), poly);
    EXPECT_EQ(rowIds(), (std::vector<std::uint32_t>{14, 255, 13, 19, 255, 11, 12, 255, 16}));
    EXPECT_EQ(row(editor->getMenu(), 13)->enabled, 0);
    EXPECT_EQ(choose(CURVES_CMD_SAVE), CURVES_RESULT_SAVE);

    click(150, 85, kRight);
    EXPECT_EQ(editor->getSelectedCurve(), chain);
    EXPECT_EQ(row(editor->getMenu(), 13)->enabled, 1);
    EXPECT_EQ(row(editor->getMenu(), 13)->checked, 0);
    choose(CURVES_CMD_SHOW_PATH);
    EXPECT_EQ(chain->getHidePath(), 0u);
    click(150, 85, kRight);
    EXPECT_EQ(row(editor->getMenu(), 13)->checked, 1);
    choose(CURVES_CMD_CLOSED);
    EXPECT_TRUE(chain->isClosed());
    EXPECT_EQ(chain->getPointCount(), 9u);
    click(150, 85, kRight);
    EXPECT_EQ(row(editor->getMenu(), 14)->checked, 1);
    choose(CURVES_CMD_CLOSED);
    EXPECT_EQ(chain->getPointCount(), 7u);

    // An anchor of a Bezier chain: node kinds as a radio run.
    pause();
    click(200, 100, kRight);
    EXPECT_EQ(rowIds(), (std::vector<std::uint32_t>{14, 255, 3, 4, 5, 255, 6, 255, 7}));
    EXPECT_EQ(row(editor->getMenu(), 3)->checked, 1);
    choose(CURVES_CMD_NODE_CORNER);
    EXPECT_EQ(chain->getPoints()[3].type, 2u);
    click(200, 100, kRight);
    EXPECT_EQ(row(editor->getMenu(), 5)->checked, 1);
    EXPECT_EQ(row(editor->getMenu(), 3)->checked, 0);
    choose(CURVES_CMD_FIX);
    EXPECT_EQ(chain->getPoints()[3].fixed, 1);
    // The command acts on the point the menu was opened for, though the
    // mouse passed over another one on the way.
    click(200, 100, kRight);
    step(0, 100, 100);
    EXPECT_EQ(editor->getHoveredPoint(), 0);
    EXPECT_EQ(choose(CURVES_CMD_NODE_STRAIGHT), 0);
    EXPECT_EQ(chain->getPoints()[3].type, 1u);
    EXPECT_EQ(chain->getPoints()[0].type, 0u);
    click(200, 100, kRight);
    EXPECT_EQ(row(editor->getMenu(), 4)->checked, 1);
    choose(CURVES_CMD_NODE_SMOOTH);
    EXPECT_EQ(chain->getPoints()[3].type, 0u);
    click(200, 100, kRight);
    EXPECT_EQ(row(editor->getMenu(), 6)->checked, 1);
    // A press outside closes the menu and goes on to the anchor under it.
    click(100, 100);
    EXPECT_FALSE(editor->isMenuActive());
    EXPECT_EQ(editor->getLastAnchor(), 0);
    // A handle under the mouse gives no menu.
    step(0, 180, 80);
    ASSERT_EQ(editor->getHoveredPoint(), 2);
    click(180, 80, kRight);
    EXPECT_FALSE(editor->isMenuActive());
    click(200, 100, kRight);
    choose(CURVES_CMD_DELETE_NODE);
    EXPECT_EQ(pointsOf(*chain), (std::vector<Pt>{{100, 100}, {120, 80}, {280, 120}, {300, 100}}));
    EXPECT_EQ(editor->getHoveredPoint(), -1);
    EXPECT_EQ(editor->getLastAnchor(), -1);

    // An anchor of another kind.
    click(500, 150, kRight);  // selects the spline
    EXPECT_EQ(editor->getSelectedCurve(), spline);
    dismiss();
    click(500, 150, kRight);
    EXPECT_EQ(rowIds(), (std::vector<std::uint32_t>{14, 255, 6, 255, 7}));
    choose(CURVES_CMD_FIX);
    EXPECT_EQ(spline->getPoints()[1].fixed, 1);

    // Copy: 5 right and below, selected, first in the list.
    const Pt on = onCurve(*spline);
    click(int(on.x), int(on.y), kRight);
    ASSERT_EQ(editor->getSelectedCurve(), spline);
    ASSERT_EQ(rowIds().size(), 9u);
    choose(CURVES_CMD_COPY);
    ASSERT_EQ(editor->getCurveCount(), 4u);
    aEditorCurve* copy = editor->getSelectedCurve();
    EXPECT_EQ(editor->getCurve(0), copy);
    EXPECT_EQ(pointsOf(*copy), (std::vector<Pt>{{405, 105}, {505, 155}, {605, 105}}));
    EXPECT_EQ(copy->getPoints()[1].fixed, 1);
    click(int(on.x) + 5, int(on.y) + 5, kRight);
    choose(CURVES_CMD_DELETE);
    EXPECT_EQ(editor->getCurveCount(), 3u);
    EXPECT_EQ(editor->getSelectedCurve(), nullptr);
    EXPECT_EQ(editor->getHoveredCurve(), -1);

    // Display modes through the submenu: mode 1 picks no points, curves still.
    click(620, 460, kRight);
    choose(CURVES_CMD_HIDE_NODES);
    EXPECT_EQ(editor->getDisplayMode(), CURVES_DISPLAY_NONE);
    EXPECT_EQ(editor->getDisplayMenu().getItems()[1].checked, 1);
    EXPECT_EQ(editor->getDisplayMenu().getItems()[2].checked, 0);
    click(200, 300, kRight);
    dismiss();
    step(0, 300, 300);
    EXPECT_EQ(editor->getHoveredPoint(), -1);
    EXPECT_EQ(editor->getHoveredCurve(), 0);
    click(620, 460, kRight);
    choose(CURVES_CMD_SHOW_ALL_NODES);
    EXPECT_EQ(editor->getDisplayMode(), CURVES_DISPLAY_ALL);
    click(200, 300, kRight);
    dismiss();
    step(0, 300, 300);
    EXPECT_EQ(editor->getHoveredPoint(), 1);
    click(620, 460, kRight);
    choose(CURVES_CMD_SHOW_SELECTED_NODES);
    EXPECT_EQ(editor->getDisplayMode(), CURVES_DISPLAY_SELECTED);

    click(620, 460, kRight);
    choose(CURVES_CMD_DELETE_ALL);
    EXPECT_EQ(editor->getCurveCount(), 0u);
    EXPECT_EQ(editor->getSelectedCurve(), nullptr);
    click(620, 460, kRight);
    EXPECT_EQ(row(editor->getMenu(), 15)->enabled, 0);
    EXPECT_EQ(choose(CURVES_CMD_SAVE), 0);  // disabled: nothing chosen
    EXPECT_TRUE(editor->isMenuActive());
}

TEST_F(CurvesEditorTest, FilesOriginAndMissingServices)
{
    const std::string original = test_env::home() + "/orig.data";
    ASSERT_TRUE(make(TRAJECTORY_BEZIER, {{10.25f, 20.5f}, {30, 0.75f}, {50, 5}, {70.125f, 20}}).save(original));
    const std::string bytes = test_env::readFile(original);

    EXPECT_FALSE(editor->loadCurve(test_env::home() + "/missing.data"));
    const std::string broken = putFile("broken.data", bytes.substr(0, 30));
    EXPECT_FALSE(editor->loadCurve(broken));
    EXPECT_EQ(editor->getCurveCount(), 0u);
    EXPECT_FALSE(editor->saveCurve(-1, test_env::home() + "/none.data"));
    EXPECT_FALSE(editor->saveCurve(0, test_env::home() + "/none.data"));

    editor->setOrigin(aRect(20, 10, 640, 480));
    ASSERT_TRUE(editor->loadCurve(original));
    aEditorCurve* curve = editor->getCurve(0);
    EXPECT_EQ(curve->sourcePath, original);
    EXPECT_EQ(at(*curve, 0), (Pt{30.25f, 30.5f}));
    editor->setOrigin(aRect(120, 60, 640, 480));
    EXPECT_EQ(at(*curve, 0), (Pt{130.25f, 80.5f}));
    const std::string saved = test_env::home() + "/saved.data";
    ASSERT_TRUE(editor->saveCurve(0, saved));
    EXPECT_EQ(test_env::readFile(saved), bytes);
    EXPECT_EQ(at(*curve, 0), (Pt{130.25f, 80.5f}));
    EXPECT_FALSE(editor->saveCurve(1, saved));
    EXPECT_FALSE(editor->saveCurve(0, original + "/x.data"));

    // Without an input server: logged, and updates do nothing.
    delete app.m_inputServer;
    input = nullptr;
    newLog();
    aCurvesEditor bare;
    EXPECT_NE(newLog().find("aCurvesEditor. Error, aInputServer object not created!"), std::string::npos);
    EXPECT_EQ(bare.update(0.02f), 0);
    EXPECT_EQ(bare.getState(), CURVES_STATE_IDLE);
    input = new aInputServer();
}

TEST_F(CurvesEditorTest, SeededSoakDrawsNothing)
{
    load(make(TRAJECTORY_BEZIER, kChain));
    load(make(TRAJECTORY_POLYLINE, {{100, 300}, {300, 300}, {300, 400}}));
    load(make(TRAJECTORY_SPLINE, {{400, 100}, {500, 150}, {600, 100}}));
    rec->clear();
    const std::uint64_t drawsBefore = graph->m_device->stats().drawCalls;

    std::mt19937 rng(20240607);
    unsigned buttons = 0;
    int x = 320, y = 240;
    for (int i = 0; i < 4000; ++i) {
        const unsigned r = rng() % 100;
        aContextMenu* menu = editor->getMenu().getInnermostOpen();
        if (r < 20 && menu->isOpen() && !menu->getItems().empty()) {
            // Onto a row of the innermost open menu.
            const aContextMenu::Item& row = menu->getItems()[rng() % menu->getItems().size()];
            x = int(menu->getX()) + 20;
            y = int(menu->getY() + row.y) + 9;
        } else if (r < 45) {
            // Near a control point of some curve, or anywhere (a little outside too).
            const aEditorCurve* c = editor->getCurve(int(rng() % 4));
            if (c && c->getPointCount() && rng() % 2) {
                int px = 0, py = 0;
                c->getPointInt(rng() % c->getPointCount(), px, py);
                x = px + int(rng() % 13) - 6;
                y = py + int(rng() % 13) - 6;
            } else {
                x = int(rng() % 680) - 20;
                y = int(rng() % 520) - 20;
            }
        } else if (r < 70) {
            buttons ^= kLeft;
        } else if (r < 80) {
            buttons ^= kRight;
        } else if (r < 90) {
            // A double click where the mouse is.
            step(0, x, y);
            step(kLeft, x, y);
            step(0, x, y);
            buttons = kLeft;
        } else if (r < 93) {
            for (int k = 0; k < 25; ++k)  // long enough for a submenu
                step(buttons, x, y);
        } else if (r < 95) {
            clock.advanceMs(700);
        } else if (r < 97) {
            editor->setOrigin(aRect(std::int16_t(rng() % 200 - 100), std::int16_t(rng() % 200 - 100), 640, 480));
        } else if (editor->getCurveCount() < 3) {
            load(make(TRAJECTORY_BEZIER, kChain));
        }
        const int result = step(buttons, x, y);
        ASSERT_GE(result, 0);
        ASSERT_LE(result, 3);
    }
    for (std::size_t c = 0; c < editor->getCurveCount(); ++c)
        for (const aTrajectoryPoint& p : editor->getCurve(int(c))->getPoints())
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));

    EXPECT_EQ(graph->m_device->stats().drawCalls, drawsBefore);
    EXPECT_EQ(rec->count("Sprite.Draw"), 0u);
    EXPECT_EQ(rec->count("DrawPrimitive") + rec->count("DrawPrimitiveUP") + rec->count("DrawIndexedPrimitive"), 0u);
    EXPECT_GT(rec->count("Font.DrawTextA"), 0u);
    for (const platform::RecordedCall* call : rec->named("Font.DrawTextA"))
        EXPECT_TRUE(call->args[4] & DT_CALCRECT);
}
