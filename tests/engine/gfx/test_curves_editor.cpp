// The curves editor on scripted mouse frames: creating, picking, dragging,
// the context menu's item sets and commands, files, and a random soak.
#include <cmath>
#include <memory>
#include <random>
#include <utility>

#include "engine/gfx/a_curves_editor.h"
#include "test_mouse_fixture.h"

namespace {

using mousetest::kLeft;
using mousetest::kRight;

using Pt = std::pair<float, float>;
using Pts = std::vector<Pt>;
using Ids = std::vector<std::uint32_t>;

// A Bezier chain along y = 100 with handles off the line.
const Pts kChain = {{100, 100}, {120, 80}, {180, 80}, {200, 100}, {220, 120}, {280, 120}, {300, 100}};

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
    // Rest, press, release: the result of the release.
    int click(int x, int y, unsigned button = kLeft)
    {
        step(0, x, y);
        step(button, x, y);
        return step(0, x, y);
    }
    void doubleClick(int x, int y)
    {
        step(0, x, y);  // the tracker sees a move a frame late
        click(x, y);
        click(x, y);
    }
    void drag(Pt from, Pt to)
    {
        step(0, int(from.first), int(from.second));
        step(kLeft, int(from.first), int(from.second));
        step(kLeft, int(to.first), int(to.second));
        step(0, int(to.first), int(to.second));
    }
    // Long enough that no double click spans it.
    void pause() { step(0, 639, 479, 600.0); }

    Ids rowIds()
    {
        Ids out;
        for (const aContextMenu::Item& r : editor->getMenu().getItems())
            out.push_back(r.id);
        return out;
    }
    aContextMenu::Item row(std::uint32_t id, aContextMenu* menu = nullptr)
    {
        for (const aContextMenu::Item& r : (menu ? menu : &editor->getMenu())->getItems())
            if (r.id == id)
                return r;
        return {};
    }
    // Clicks an item of the open menu (display modes through the submenu).
    int choose(std::uint32_t id)
    {
        aContextMenu* menu = &editor->getMenu();
        if (id <= CURVES_CMD_SHOW_SELECTED_NODES) {
            for (int i = 0; i < 30 && !editor->getDisplayMenu().isOpen(); ++i)
                step(0, int(menu->getX() + 20), int(menu->getY() + row(CURVES_CMD_DISPLAY).y + 9));
            menu = &editor->getDisplayMenu();
        }
        return click(int(menu->getX() + 20), int(menu->getY() + row(id, menu).y + 9));
    }

    aEditorCurve* load(std::uint32_t kind, const Pts& pts)
    {
        aTrajectory t;
        t.setType(kind);
        for (std::size_t i = 0; i < pts.size(); ++i)
            if (kind != TRAJECTORY_BEZIER || i % 3 == 0)
                t.addPoint(pts[i].first, pts[i].second);
        for (std::size_t i = 0; kind == TRAJECTORY_BEZIER && i < pts.size(); ++i)
            if (i % 3 != 0)
                t.moveHandle(i, pts[i].first, pts[i].second, false);
        const std::string path = test_env::home() + "/curve" + std::to_string(files++) + ".data";
        EXPECT_TRUE(t.save(path) && editor->loadCurve(path));
        return editor->getCurve(int(editor->getCurveCount()) - 1);
    }
    static Pts pointsOf(const aTrajectory& t)
    {
        Pts out;
        for (const aTrajectoryPoint& p : t.getPoints())
            out.push_back({p.x, p.y});
        return out;
    }
    static Pt at(const aTrajectory& t, std::size_t i) { return pointsOf(t).at(i); }

    std::unique_ptr<aCurvesEditor> editor;
    int files = 0;
};

} // namespace

TEST_F(CurvesEditorTest, CreatesEachKindClickByClick)
{
    pause();
    click(320, 300, kRight);
    EXPECT_EQ(rowIds(), (Ids{8, 9, 10, 17, 255, 19, 255, 15, 255, 16, 18}));
    EXPECT_EQ(row(15).enabled + row(16).enabled, 0);  // no curves
    choose(CURVES_CMD_NEW_POLYLINE);
    EXPECT_EQ(editor->getState(), CURVES_STATE_CREATING);
    aEditorCurve* poly = editor->getSelectedCurve();
    click(100, 100);
    step(0, 150, 120);
    EXPECT_EQ(pointsOf(*poly), (Pts{{100, 100}, {150, 120}}));
    click(150, 120, kRight);
    EXPECT_FALSE(editor->isMenuActive());
    click(150, 120);
    doubleClick(200, 100);
    EXPECT_EQ(editor->getState(), CURVES_STATE_IDLE);
    EXPECT_EQ(pointsOf(*poly), (Pts{{100, 100}, {150, 120}, {200, 100}}));

    // Bezier: finishing drops the trailing anchor with its two handles and
    // smooths the new last anchor.
    pause();
    click(320, 300, kRight);
    choose(CURVES_CMD_NEW_BEZIER);
    aEditorCurve* bez = editor->getSelectedCurve();
    click(100, 200);
    click(200, 200);
    doubleClick(300, 260);
    ASSERT_EQ(bez->getPointCount(), 7u);
    EXPECT_EQ(std::pair(bez->getPoints()[2].type, bez->getPoints()[3].type), std::pair(3u, 0u));
    EXPECT_EQ((Pts{at(*bez, 0), at(*bez, 3), at(*bez, 6)}), (Pts{{100, 200}, {200, 200}, {300, 260}}));
    EXPECT_EQ(at(*bez, 5), (Pt{(300 + at(*bez, 4).first) / 2, (260 + at(*bez, 4).second) / 2}));

    // One click and a double click leave a single anchor: the curve stays.
    for (std::uint32_t command : {CURVES_CMD_NEW_SPLINE, CURVES_CMD_NEW_BEZIER}) {
        pause();
        click(500, 400, kRight);
        choose(command);
        doubleClick(450, 450);
        EXPECT_EQ(pointsOf(*editor->getSelectedCurve()), (Pts{{450, 450}}));
        EXPECT_TRUE(editor->getSelectedCurve()->getPolyline().empty());
    }
    EXPECT_EQ(editor->getCurveCount(), 4u);
}

TEST_F(CurvesEditorTest, PicksAndDragsCurvesAnchorsAndHandles)
{
    aEditorCurve* chain = load(TRAJECTORY_BEZIER, kChain);
    pause();
    EXPECT_EQ(app.m_systemCursor, IDC_ARROW);
    step(0, 150, 85);  // on the first segment, between the handles
    EXPECT_EQ(app.m_systemCursor, IDC_HAND);
    click(150, 85);
    step(0, 203, 102);
    EXPECT_EQ(app.m_systemCursor, IDC_CROSS);

    // An anchor: the pointer jumps onto it and the handles go along.
    step(kLeft, 203, 102);
    EXPECT_EQ(std::pair(input->m_cursorX, input->m_cursorY), std::pair(200, 100));
    drag({200, 100}, {210, 110});
    EXPECT_EQ(pointsOf(*chain), (Pts{{100, 100}, {120, 80}, {190, 90}, {210, 110}, {230, 130}, {280, 120}, {300, 100}}));

    // Handles by the anchor's kind: smooth mirrors, corner leaves, straight
    // keeps the length (9.9) the opposite had, offsets truncated.
    drag({230, 130}, {240, 110});
    EXPECT_EQ(at(*chain, 2), (Pt{180, 110}));
    chain->setPointType(3, 2);
    drag({180, 110}, {203, 103});
    EXPECT_EQ(at(*chain, 4), (Pt{240, 110}));
    chain->setPointType(3, 1);
    drag({240, 110}, {210, 150});
    EXPECT_EQ(at(*chain, 2), (Pt{210, 101}));
    drag({210, 150}, {210, 110});  // onto its anchor: no direction
    EXPECT_EQ((Pts{at(*chain, 2), at(*chain, 4)}), (Pts{{210, 101}, {210, 110}}));

    // Anchor 0 of a closed chain: its handles are point 1 and the last point.
    chain->setPointType(3, 0);
    chain->setClosed(true);
    click(100, 100);
    step(0, 80, 120);
    EXPECT_EQ(editor->getHandleAnchor(), 0);
    drag({80, 120}, {70, 130});
    EXPECT_EQ(at(*chain, 1), (Pt{130, 70}));
    drag({130, 70}, {140, 100});
    EXPECT_EQ(at(*chain, 8), (Pt{60, 100}));

    // A whole curve follows the mouse and becomes the first of the list.
    aEditorCurve* line = load(TRAJECTORY_POLYLINE, {{400, 300}, {500, 300}});
    drag({450, 300}, {470, 305});
    EXPECT_EQ(editor->getCurve(0), line);
    EXPECT_EQ(pointsOf(*line), (Pts{{420, 305}, {520, 305}}));

    // Double clicks insert at the segment's control index (not on a point).
    pause();
    doubleClick(520, 305);
    doubleClick(480, 305);
    EXPECT_EQ(pointsOf(*line), (Pts{{420, 305}, {480, 305}, {520, 305}}));
    aEditorCurve* flat = load(TRAJECTORY_BEZIER, {{100, 400}, {120, 400}, {180, 400}, {200, 400}, {220, 400},
                                                  {280, 400}, {300, 400}});
    pause();
    click(250, 400);
    pause();
    doubleClick(250, 400);
    ASSERT_EQ(flat->getPointCount(), 10u);
    EXPECT_EQ(at(*flat, 6), (Pt{250, 400}));
    EXPECT_FLOAT_EQ(at(*flat, 7).first, 250 + 100 / 6.0f);
    // Display mode 2 offers only handles near the anchor pressed last.
    click(100, 400);
    step(0, 280, 400);
    EXPECT_EQ(editor->getHoveredPoint(), -1);
    step(0, 120, 400);
    EXPECT_EQ(editor->getHoveredPoint(), 1);
}

TEST_F(CurvesEditorTest, MenuItemSetsAndCommands)
{
    aEditorCurve* chain = load(TRAJECTORY_BEZIER, kChain);
    aEditorCurve* poly = load(TRAJECTORY_POLYLINE, {{100, 300}, {300, 300}, {300, 400}});
    aEditorCurve* spline = load(TRAJECTORY_SPLINE, {{400, 100}, {500, 150}, {600, 100}});
    pause();
    click(620, 460, kRight);
    EXPECT_EQ(choose(CURVES_CMD_ADD_FROM_FILE), CURVES_RESULT_ADD_FROM_FILE);
    click(620, 460, kRight);
    EXPECT_EQ(choose(CURVES_CMD_EXIT), CURVES_RESULT_EXIT);

    // A curve selected by the right press; a polyline shows no path.
    click(200, 300, kRight);
    EXPECT_EQ(editor->getSelectedCurve(), poly);
    EXPECT_EQ(rowIds(), (Ids{14, 255, 13, 19, 255, 11, 12, 255, 16}));
    EXPECT_EQ(row(13).enabled, 0);
    EXPECT_EQ(choose(CURVES_CMD_SAVE), CURVES_RESULT_SAVE);
    click(150, 85, kRight);
    choose(CURVES_CMD_SHOW_PATH);
    click(150, 85, kRight);
    EXPECT_EQ(std::pair(int(row(13).checked), chain->getHidePath()), std::pair(1, 0u));
    choose(CURVES_CMD_CLOSED);
    EXPECT_EQ(chain->getPointCount(), 9u);

    // An anchor of a Bezier chain: node kinds as a radio run, fixed, delete.
    pause();
    click(200, 100, kRight);
    EXPECT_EQ(rowIds(), (Ids{14, 255, 3, 4, 5, 255, 6, 255, 7}));
    EXPECT_EQ(row(3).checked + row(14).checked, 2);
    choose(CURVES_CMD_FIX);
    // The command acts on the point the menu opened for, though the mouse
    // passed over another one on the way.
    click(200, 100, kRight);
    step(0, 100, 100);
    EXPECT_EQ(editor->getHoveredPoint(), 0);
    choose(CURVES_CMD_NODE_STRAIGHT);
    EXPECT_EQ(std::pair(chain->getPoints()[3].type, chain->getPoints()[0].type), std::pair(1u, 0u));
    for (std::uint32_t command : {CURVES_CMD_NODE_CORNER, CURVES_CMD_NODE_SMOOTH}) {
        click(200, 100, kRight);
        EXPECT_EQ(row(6).checked + row(chain->getPoints()[3].type + 3).checked - row(3).checked, 2);
        choose(command);
    }
    EXPECT_EQ(chain->getPoints()[3].type, 0u);
    click(100, 100);
    click(180, 80, kRight);  // a handle: no menu
    EXPECT_FALSE(editor->isMenuActive());
    click(200, 100, kRight);
    choose(CURVES_CMD_DELETE_NODE);
    EXPECT_EQ(chain->getPointCount(), 6u);
    EXPECT_EQ(std::pair(editor->getHoveredPoint(), editor->getLastAnchor()), std::pair(-1, -1));

    // Another kind's anchor; a copy 5 right and below, selected and first.
    click(500, 150, kRight);
    editor->getMenu().close();
    pause();
    click(500, 150, kRight);
    EXPECT_EQ(rowIds(), (Ids{14, 255, 6, 255, 7}));
    choose(CURVES_CMD_FIX);
    const aCurvePoint on = spline->getPolyline()[spline->getPolyline().size() / 4];
    click(int(on.x), int(on.y), kRight);
    choose(CURVES_CMD_COPY);
    aEditorCurve* copy = editor->getCurve(0);
    EXPECT_EQ(editor->getSelectedCurve(), copy);
    EXPECT_EQ(pointsOf(*copy), (Pts{{405, 105}, {505, 155}, {605, 105}}));
    click(int(on.x) + 5, int(on.y) + 5, kRight);
    choose(CURVES_CMD_DELETE);
    EXPECT_EQ(editor->getCurveCount(), 3u);
    EXPECT_EQ(editor->getSelectedCurve(), nullptr);

    // Display mode 1 through the submenu: no points picked, curves still.
    click(620, 460, kRight);
    choose(CURVES_CMD_HIDE_NODES);
    EXPECT_EQ(editor->getDisplayMode(), CURVES_DISPLAY_NONE);
    EXPECT_EQ(row(1, &editor->getDisplayMenu()).checked - row(2, &editor->getDisplayMenu()).checked, 1);
    click(200, 300, kRight);
    editor->getMenu().close();
    step(0, 300, 300);
    EXPECT_EQ(std::pair(editor->getHoveredPoint(), editor->getHoveredCurve()), std::pair(-1, 0));

    click(620, 460, kRight);
    choose(CURVES_CMD_DELETE_ALL);
    EXPECT_EQ(editor->getCurveCount(), 0u);
    click(620, 460, kRight);
    EXPECT_EQ(choose(CURVES_CMD_SAVE), 0);  // disabled
    EXPECT_TRUE(editor->isMenuActive());
}

TEST_F(CurvesEditorTest, FilesOriginAndMissingServices)
{
    load(TRAJECTORY_BEZIER, {{10.25f, 20.5f}, {30, 0.75f}, {50, 5}, {70.125f, 20}});
    const std::string original = editor->getCurve(0)->sourcePath;
    EXPECT_FALSE(editor->loadCurve(test_env::home() + "/missing.data"));
    EXPECT_FALSE(editor->loadCurve(putFile("broken.data", test_env::readFile(original).substr(0, 30))));
    EXPECT_FALSE(editor->saveCurve(-1, test_env::home() + "/none.data"));
    EXPECT_FALSE(editor->saveCurve(1, test_env::home() + "/none.data"));
    EXPECT_FALSE(editor->saveCurve(0, original + "/x.data"));

    editor->setOrigin(aRect(20, 10, 640, 480));
    ASSERT_TRUE(editor->loadCurve(original));
    EXPECT_EQ(at(*editor->getCurve(1), 0), (Pt{30.25f, 30.5f}));
    editor->setOrigin(aRect(120, 60, 640, 480));
    EXPECT_EQ(at(*editor->getCurve(1), 0), (Pt{130.25f, 80.5f}));
    ASSERT_TRUE(editor->saveCurve(1, test_env::home() + "/saved.data"));
    EXPECT_EQ(test_env::readFile(test_env::home() + "/saved.data"), test_env::readFile(original));

    delete app.m_inputServer;
    aCurvesEditor bare;
    EXPECT_NE(newLog().find("aCurvesEditor. Error, aInputServer object not created!"), std::string::npos);
    EXPECT_EQ(bare.update(0.02f), 0);
    input = new aInputServer();
}

TEST_F(CurvesEditorTest, SeededSoakDrawsNothing)
{
    load(TRAJECTORY_POLYLINE, {{100, 300}, {300, 300}, {300, 400}});
    load(TRAJECTORY_SPLINE, {{400, 100}, {500, 150}, {600, 100}});
    rec->clear();
    const std::uint64_t draws = graph->m_device->stats().drawCalls;
    std::mt19937 rng(20240607);
    unsigned buttons = 0;
    int x = 320, y = 240;
    for (int i = 0; i < 4000; ++i) {
        const unsigned r = rng() % 100;
        aContextMenu* menu = editor->getMenu().getInnermostOpen();
        const aEditorCurve* c = editor->getCurve(int(rng() % 4));
        int px = int(rng() % 680) - 20, py = int(rng() % 520) - 20;
        if (r < 20 && menu->isOpen() && !menu->getItems().empty()) {
            x = int(menu->getX()) + 20;
            y = int(menu->getY() + menu->getItems()[rng() % menu->getItems().size()].y) + 9;
        } else if (r < 45) {  // near a control point, or anywhere
            if (c && c->getPointCount() && rng() % 2)
                c->getPointInt(rng() % c->getPointCount(), px, py);
            x = px + int(rng() % 13) - 6;
            y = py + int(rng() % 13) - 6;
        } else if (r < 80) {
            buttons ^= r < 70 ? kLeft : kRight;
        } else if (r < 90) {  // a double click
            click(x, y);
            buttons = kLeft;
        } else if (r < 93) {  // long enough for a submenu
            for (int k = 0; k < 25; ++k)
                step(buttons, x, y);
        } else if (r < 95) {
            clock.advanceMs(700);
        } else if (r < 97) {
            editor->setOrigin(aRect(std::int16_t(px / 4), std::int16_t(py / 4), 640, 480));
        } else if (editor->getCurveCount() < 3) {
            load(TRAJECTORY_BEZIER, kChain);
        }
        const int result = step(buttons, x, y);
        ASSERT_TRUE(result >= 0 && result <= 3);
    }
    for (std::size_t c = 0; c < editor->getCurveCount(); ++c)
        for (const Pt& p : pointsOf(*editor->getCurve(int(c))))
            ASSERT_TRUE(std::isfinite(p.first) && std::isfinite(p.second));
    EXPECT_EQ(graph->m_device->stats().drawCalls, draws);
    for (const platform::RecordedCall& call : rec->calls)
        EXPECT_TRUE(call.name == "Font.DrawTextA" ? (call.args[4] & DT_CALCRECT) != 0
                                                  : call.name.find("Draw") == std::string::npos)
            << call.str();
}
