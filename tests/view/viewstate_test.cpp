// The view state: composing the view matrix, fixed views, zoom and rotation steps, zoom to fit.

#include "view/viewstate.h"
#include "viewtesthelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace morvilo;
using morvilo::test::Axes;
using morvilo::test::Pixel;
using morvilo::test::Project;

namespace {

constexpr double pi = std::numbers::pi;
constexpr int kWidth = 800, kHeight = 600;

// Stands in for the window's paint: composes and records the view matrix and refreshes the pixel
// box from the drawn points, as the renderer does.
struct FakePlot {
    FakePlot(ViewState &v, std::vector<Axes> drawn = {}) : view(v), points(std::move(drawn)) {}

    ViewState &view;
    std::vector<Axes> points;
    int width = kWidth, height = kHeight;
    int paints = 0;
    bool diametermode = false; // the dialect option the fixed views switch
    std::vector<bool> diameterModeSeen;

    void paint() {
        ++paints;
        diameterModeSeen.push_back(diametermode);
        const tmat44 m = ViewMatrix(view, width, height);
        RememberPaintMatrix(view, m);
        ClearPixelBox(view);
        for (const Axes &p : points) {
            const Pixel px = Project(m, p);
            ExtendPixelBox(view, px.x, px.y);
        }
    }
    Repaint repaint() {
        return [this] { paint(); };
    }
};

// The screen direction of a world axis: the signs of the pixel step from the origin.
struct Direction {
    int dx, dy;
    bool operator==(const Direction &) const = default;
};

Direction ScreenDirection(const ViewState &view, Axes unit) {
    const tmat44 m = ViewMatrix(view, kWidth, kHeight);
    const Pixel o = Project(m, {}), p = Project(m, unit);
    const auto sign = [](int32_t d) { return (d > 0) - (d < 0); };
    return {sign(p.x - o.x), sign(p.y - o.y)};
}

} // namespace

TEST(ViewState, StartsIsometricWithTheOriginInTheCentre) {
    const ViewState view;
    EXPECT_DOUBLE_EQ(view.rotzv, 1.75 * pi);
    EXPECT_DOUBLE_EQ(view.rotxv, 2.625 * pi);
    EXPECT_EQ(view.zoom, 40.0);
    EXPECT_EQ(view.id, IdentityMatrix());
    EXPECT_FALSE(view.minxs);
    for (const auto &[w, h] : {std::pair{800, 600}, {801, 599}, {1, 1}, {0, 0}})
        EXPECT_EQ(Project(ViewMatrix(view, w, h), {}), (Pixel{w / 2, h / 2})) << w << 'x' << h;

    ViewState panned;
    panned.tx = -30;
    panned.ty = 12;
    EXPECT_EQ(Project(ViewMatrix(panned, 800, 600), {}), (Pixel{370, 312}));
}

TEST(ViewState, FixedViewsShowTheAxesWhereTheirNamesSay) {
    const Direction right{1, 0}, left{-1, 0}, up{0, -1}, depth{0, 0};
    struct Case {
        FixedView view;
        Direction x, y, z;
    } const cases[] = {
        {FixedView::Top, right, up, depth},         {FixedView::Bottom, left, up, depth},
        {FixedView::Front, right, depth, up},       {FixedView::Back, left, depth, up},
        {FixedView::Right, depth, right, up},       {FixedView::Left, depth, left, up},
        {FixedView::LatheRadius, up, depth, right}, {FixedView::LatheDiameter, up, depth, right},
    };
    for (const Case &c : cases) {
        ViewState view;
        view.skalz = 3;
        FakePlot plot{view};
        (void)SetFixedView(view, plot.diametermode, c.view, kWidth, kHeight, plot.repaint());
        EXPECT_EQ(view.skalz, 1.0);
        const std::string caption = FixedViewDataOf(c.view).hint;
        EXPECT_EQ(ScreenDirection(view, {.x = 1}), c.x) << caption;
        EXPECT_EQ(ScreenDirection(view, {.y = 1}), c.y) << caption;
        EXPECT_EQ(ScreenDirection(view, {.z = 1}), c.z) << caption;
    }
}

TEST(ViewState, FixedViewTableIsCompleteForTheToolbar) {
    std::set<std::string> buttons, captions;
    for (const FixedViewData &d : FixedViews()) {
        EXPECT_EQ(&FixedViewDataOf(d.view), &d);
        EXPECT_FALSE(std::string(d.hint).empty());
        buttons.insert(d.button);
        if (*d.caption)
            captions.insert(d.caption);
    }
    EXPECT_EQ(buttons.size(), 9u);
    EXPECT_EQ(captions, (std::set<std::string>{"xy", "yx", "xz", "zx", "yz", "zy", "xyz"}));
    EXPECT_STREQ(FixedViewDataOf(FixedView::Isometric).hint, "Isometische 3D Darstellung");
    EXPECT_TRUE(FixedViewDataOf(FixedView::LatheDiameter).diametermode);
}

TEST(ViewState, RotationMatrixIgnoresZoomAndPan) {
    ViewState view;
    bool diametermode = false;
    (void)SetFixedView(view, diametermode, FixedView::Top, kWidth, kHeight, [] {});
    view.zoom = 7;
    view.tx = 100;
    const tmat44 r = RotationMatrix(view);
    EXPECT_EQ(Project(r, {.x = 50}), (Pixel{50, 0}));
    EXPECT_EQ(Project(r, {.y = 50}), (Pixel{0, -50}));
}

// Leaving the diameter display takes effect before the repaints, entering it only afterwards; the
// interpreter must run again whenever the mode changed.
TEST(ViewState, DiameterModeChangeAsksForAnotherRun) {
    struct Case {
        bool before;
        FixedView view;
        bool rerun, seenWhilePainting, after;
    } const cases[] = {
        {false, FixedView::LatheDiameter, true, false, true},
        {true, FixedView::LatheDiameter, false, true, true},
        {true, FixedView::LatheRadius, true, false, false},
        {true, FixedView::Top, true, false, false},
        {false, FixedView::Isometric, false, false, false},
    };
    for (const Case &c : cases) {
        ViewState view;
        FakePlot plot{view, {{.x = 0}, {.x = 10, .y = 3, .z = 4}}};
        plot.diametermode = c.before;
        plot.paint();
        plot.diameterModeSeen.clear();
        EXPECT_EQ(SetFixedView(view, plot.diametermode, c.view, kWidth, kHeight, plot.repaint()),
                  c.rerun);
        EXPECT_EQ(plot.diametermode, c.after);
        ASSERT_EQ(plot.diameterModeSeen.size(), 3u); // the view's paint and the two of the fit
        for (bool seen : plot.diameterModeSeen)
            EXPECT_EQ(seen, c.seenWhilePainting);
    }
}

TEST(ViewState, ZoomStepsKeepTheCentreAndStayFinite) {
    ViewState view;
    view.tx = 13;
    view.ty = -7;
    ZoomIn(view);
    EXPECT_DOUBLE_EQ(view.zoom, 44.0);
    EXPECT_EQ(Project(ViewMatrix(view, kWidth, kHeight), {}), (Pixel{413, 293}));
    ZoomOut(view);
    EXPECT_NEAR(view.zoom, 40.0, 1e-12);

    for (int i = 0; i < 20000; ++i)
        ZoomOut(view);
    EXPECT_EQ(view.zoom, kMinZoom);
    for (int i = 0; i < 40000; ++i)
        ZoomIn(view);
    EXPECT_EQ(view.zoom, kMaxZoom);
}

// The wheel zooms one step per notch of 120, whatever sizes the deltas come in.
TEST(ViewState, WheelZoomsOneStepPerNotch) {
    struct Case {
        const char *name;
        std::vector<int> deltas;
        int steps; // zoom steps in (positive) or out (negative) after all deltas
        std::vector<bool> zoomed;
    } const cases[] = {
        {"notches", {120, 120, -120}, 1, {true, true, true}},
        {"one event of three notches", {360}, 3, {true}},
        {"smooth wheel", {40, 40, 40, 40, 40, 40}, 2, {false, false, true, false, false, true}},
        {"touchpad, both ways", {-15, -90, -30, -5}, -1, {false, false, true, false}},
        {"turned back before a notch", {100, -100, -30}, -1, {false, false, true}},
        {"no movement", {0}, 0, {false}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ViewState view;
        std::vector<bool> zoomed;
        for (int delta : c.deltas)
            zoomed.push_back(WheelZoom(view, delta));
        EXPECT_EQ(zoomed, c.zoomed);
        EXPECT_NEAR(std::log(view.zoom / 40.0) / std::log(1.1), c.steps, 1e-9);
    }
}

TEST(ViewState, RotationStepsAreSixteenthsOfAHalfTurnAndNotWrapped) {
    struct Case {
        RotationStep step;
        double dx, dz;
    } const cases[] = {
        {RotationStep::Left, 0, -pi / 16},
        {RotationStep::Right, 0, pi / 16},
        {RotationStep::Up, -pi / 16, 0},
        {RotationStep::Down, pi / 16, 0},
    };
    for (const Case &c : cases) {
        ViewState view;
        const ViewState start = view;
        Rotate(view, c.step);
        EXPECT_NEAR(view.rotxv - start.rotxv, c.dx, 1e-12);
        EXPECT_NEAR(view.rotzv - start.rotzv, c.dz, 1e-12);
        EXPECT_EQ(view.rotyv, start.rotyv);
    }
    ViewState view;
    for (int i = 0; i < 10; ++i)
        Rotate(view, RotationStep::Right);
    EXPECT_NEAR(view.rotzv - ViewState{}.rotzv, 112.5 * pi / 180, 1e-12);
    for (int i = 0; i < 30; ++i)
        Rotate(view, RotationStep::Right);
    EXPECT_NEAR(view.rotzv, 1.75 * pi + 2.5 * pi, 1e-12);
}

TEST(ViewState, PixelMapsBackToTheWorldPlaneThroughTheOrigin) {
    ViewState view;
    view.tx = 21;
    RememberPaintMatrix(view, ViewMatrix(view, kWidth, kHeight));
    EXPECT_TRUE(view.hasinverted);
    for (const auto &[px, py] : {std::pair{0, 0}, {421, 300}, {799, 13}, {-5000, 70000}}) {
        double x, y, z;
        koordmat2(px, py, view.lastinvert, x, y, z);
        EXPECT_EQ(Project(view.lastmat, {.x = x, .y = y, .z = z}), (Pixel{px, py}));
    }
    double x, y, z;
    koordmat2(421, 300, view.lastinvert, x, y, z);
    EXPECT_NEAR(std::hypot(x, y, z), 0, 1e-12);
}

// The box fills the paint box less 25 pixels on each side in the direction where it fits first,
// and sits in the middle. The margin is kept after the zoom: a plot drawn far larger than the
// paint box (a program opened at the start-up zoom) must not reach its edges.
TEST(ZoomToFit, FillsThePaintBoxLessTheMarginInTheMiddle) {
    struct Case {
        const char *name;
        std::vector<Axes> points;
        int width, height;
        bool byWidth;
        int margin;
    } const cases[] = {
        {"wide", {{.x = 0}, {.x = 10}, {.x = 10, .y = 5}, {.y = 5}}, kWidth, kHeight, true, 25},
        {"tall", {{.x = 0}, {.x = 2, .y = 10}}, kWidth, kHeight, false, 25},
        {"far larger, wide", {{.x = 0}, {.x = 500, .y = 300}}, kWidth, kHeight, true, 25},
        {"far larger, tall", {{.x = -50}, {.x = 50, .y = 1000}}, kWidth, kHeight, false, 25},
        {"small paint box", {{.x = 0}, {.x = 10, .y = 5}}, 120, 100, true, 12},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ViewState view;
        FakePlot plot{view, c.points};
        plot.width = c.width;
        plot.height = c.height;
        (void)SetFixedView(view, plot.diametermode, FixedView::Top, c.width, c.height, [] {});
        plot.paint();
        ZoomToFit(view, c.width, c.height, plot.repaint());
        EXPECT_EQ(plot.paints, 3);
        const int boxWidth = view.maxx - view.minx, boxHeight = view.maxy - view.miny;
        if (c.byWidth)
            EXPECT_NEAR(boxWidth, c.width - 2 * c.margin, 1);
        else
            EXPECT_NEAR(boxHeight, c.height - 2 * c.margin, 1);
        EXPECT_GE(view.minx, c.margin - 1);
        EXPECT_LE(view.maxx, c.width - c.margin + 1);
        EXPECT_GE(view.miny, c.margin - 1);
        EXPECT_LE(view.maxy, c.height - c.margin + 1);
        EXPECT_NEAR(view.minx + view.maxx, c.width, 1);
        EXPECT_NEAR(view.miny + view.maxy, c.height, 1);
    }
}

TEST(ZoomToFit, ChangesNothingWithoutABoxOrAPaintArea) {
    struct Case {
        const char *name;
        bool minxs;
        int32_t minx, maxx, miny, maxy;
        int width, height;
    } const cases[] = {
        {"empty plot", false, 0, 100, 0, 100, kWidth, kHeight},
        {"single column", true, 50, 50, 0, 100, kWidth, kHeight},
        {"single row", true, 0, 100, 70, 70, kWidth, kHeight},
        {"no height", true, 0, 100, 0, 100, kWidth, 0},
        {"no width", true, 0, 100, 0, 100, 0, kHeight},
        {"negative size", true, 0, 100, 0, 100, -10, -10},
    };
    for (const Case &c : cases) {
        ViewState view;
        view.minxs = c.minxs;
        view.minx = c.minx;
        view.maxx = c.maxx;
        view.miny = c.miny;
        view.maxy = c.maxy;
        int paints = 0;
        ZoomToFit(view, c.width, c.height, [&] { ++paints; });
        EXPECT_EQ(paints, 0) << c.name;
        EXPECT_EQ(view.zoom, 40.0) << c.name;
        EXPECT_EQ(view.tx, 0) << c.name;
        EXPECT_EQ(view.ty, 0) << c.name;
    }
}

TEST(ZoomToFit, HostilePointsKeepTheViewFinite) {
    ViewState view;
    FakePlot plot{view, {{.x = -1e300, .y = -1e300}, {.x = 1e300, .y = 1e300}, {.x = 1, .y = 1}}};
    (void)SetFixedView(view, plot.diametermode, FixedView::Top, kWidth, kHeight, plot.repaint());
    EXPECT_GT(view.zoom, 0);
    EXPECT_TRUE(std::isfinite(view.tx));
    EXPECT_TRUE(std::isfinite(view.ty));
    for (int i = 0; i < 5; ++i)
        ZoomToFit(view, kWidth, kHeight, plot.repaint());
    EXPECT_GE(view.zoom, kMinZoom);
    EXPECT_TRUE(std::isfinite(view.tx));

    FakePlot nan{view, {{.x = std::nan("")}, {.x = 1, .y = 2}}};
    ZoomToFit(view, kWidth, kHeight, nan.repaint());
    EXPECT_TRUE(std::isfinite(view.zoom));
}
