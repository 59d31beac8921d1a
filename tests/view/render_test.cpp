// The backplot renderer: our line rasteriser against QPainter, clipping, the plot picture with
// its colours, squares and axis cross, the caret marker, and the pick map.

#include "../interpreter/interpreterharness.h"
#include "view/linerasterizer.h"
#include "view/plotrenderer.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

using namespace morvilo;

namespace {

// Fonts need the application object; it is made once, on first use.
void EnsureApplication() {
    static int argc = 1;
    static char name[] = "morvilo_render_tests";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

constexpr uint32_t kBlackPixel = 0xFF000000u;
constexpr uint32_t kWhitePixel = 0xFFFFFFFFu;

QImage BlackImage(int width, int height) {
    QImage image(width, height, kPlotFormat);
    image.fill(kBlackPixel);
    return image;
}

// The pixels where two images differ, as "(x, y)" texts, at most a few of them.
struct Difference {
    int count = 0;
    std::string first;
};

Difference Compare(const QImage &a, const QImage &b) {
    Difference d;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y) && d.count++ < 5)
                d.first += "(" + std::to_string(x) + ", " + std::to_string(y) + ") ";
    return d;
}

struct Segment {
    QPoint from, to;
};

QImage DrawnByQPainter(const std::vector<Segment> &segments, Qt::PenStyle style, int w, int h) {
    QImage image = BlackImage(w, h);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::white, 1, style));
    for (const Segment &s : segments)
        painter.drawLine(s.from, s.to);
    return image;
}

QImage DrawnByUs(const std::vector<Segment> &segments, uint8_t style, int w, int h) {
    QImage image = BlackImage(w, h);
    const TPixelTarget target = TPixelTarget::Of(image);
    for (const Segment &s : segments)
        DrawLine(target, s.from.x(), s.from.y(), s.to.x(), s.to.y(), kWhitePixel,
                 PatternOfStyle(style));
    return image;
}

// Random segments starting a little beyond the image at most and ending up to reach pixels
// beyond it.
std::vector<Segment> RandomSegments(int count, int w, int h, unsigned seed, int reach = 8) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> xs(-8, w + 8), ys(-8, h + 8);
    std::uniform_int_distribution<int> farX(-reach, w + reach), farY(-reach, h + reach);
    std::vector<Segment> segments;
    for (int i = 0; i < count; ++i)
        segments.push_back({QPoint(xs(random), ys(random)), QPoint(farX(random), farY(random))});
    return segments;
}

// Lines in every octant, both directions, points, ties between two pixels.
const std::vector<Segment> kChosenSegments = {
    {{1, 1}, {5, 3}},     {{10, 1}, {14, 2}},   {{20, 3}, {24, 1}},   {{30, 1}, {32, 6}},
    {{5, 3}, {1, 1}},     {{32, 6}, {30, 1}},   {{2, 10}, {40, 10}},  {{40, 12}, {2, 12}},
    {{3, 14}, {3, 40}},   {{6, 40}, {6, 14}},   {{10, 14}, {30, 34}}, {{30, 14}, {10, 34}},
    {{35, 15}, {35, 15}}, {{40, 20}, {60, 27}}, {{60, 30}, {41, 37}}, {{50, 10}, {57, 30}},
};

struct StyleCase {
    uint8_t style;
    Qt::PenStyle qtStyle;
};

const StyleCase kStyles[] = {
    {psSolid, Qt::SolidLine},
    {1, Qt::DashLine},
    {psDot, Qt::DotLine},
    {3, Qt::DashDotLine},
    {psDashDotDot, Qt::DashDotDotLine},
};

} // namespace

TEST(LineRasterizer, MatchesQPainterOnChosenLinesInEveryStyle) {
    EnsureApplication();
    for (const StyleCase &c : kStyles) {
        SCOPED_TRACE(int(c.style));
        const Difference d = Compare(DrawnByUs(kChosenSegments, c.style, 64, 48),
                                     DrawnByQPainter(kChosenSegments, c.qtStyle, 64, 48));
        EXPECT_EQ(d.count, 0) << d.first;
    }
}

TEST(LineRasterizer, MatchesQPainterOnRandomLines) {
    EnsureApplication();
    for (const StyleCase &c : kStyles) {
        SCOPED_TRACE(int(c.style));
        for (unsigned seed = 1; seed <= 200; ++seed) {
            const auto segments = RandomSegments(1, 80, 60, seed, seed % 2 ? 8 : 1000000000);
            const Difference d = Compare(DrawnByUs(segments, c.style, 80, 60),
                                         DrawnByQPainter(segments, c.qtStyle, 80, 60));
            EXPECT_EQ(d.count, 0) << "seed " << seed << ": " << d.first;
        }
    }
}

namespace {

// Lit (non-black) pixels of an image.
std::vector<QPoint> LitPixels(const QImage &image) {
    std::vector<QPoint> lit;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kBlackPixel)
                lit.push_back({x, y});
    return lit;
}

} // namespace

TEST(LineRasterizer, ClipsEndsAnywhereInThe32BitRange) {
    constexpr int32_t lo = INT32_MIN, hi = INT32_MAX;
    struct Case {
        const char *name;
        Segment segment;
        int expectedCount;
        bool (*onLine)(QPoint);
    };
    const Case cases[] = {
        {"row", {{lo, 5}, {hi, 5}}, 40, [](QPoint p) { return p.y() == 5; }},
        {"column", {{7, hi}, {7, lo}}, 30, [](QPoint p) { return p.x() == 7; }},
        {"diagonal", {{lo, lo}, {hi, hi}}, 30, [](QPoint p) { return p.x() == p.y(); }},
        {"shallow", {{lo, 10}, {hi, 11}}, 40, [](QPoint p) { return p.y() == 10 || p.y() == 11; }},
        {"passing by", {{-1000000000, -10}, {1000000000, -12}}, 0, [](QPoint) { return false; }},
        {"beyond a corner", {{lo, 100}, {100, hi}}, 0, [](QPoint) { return false; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const StyleCase &style : {kStyles[0], kStyles[2]}) {
            const QImage image = DrawnByUs({c.segment}, style.style, 40, 30);
            const std::vector<QPoint> lit = LitPixels(image);
            for (const QPoint &p : lit)
                EXPECT_TRUE(c.onLine(p)) << p.x() << ", " << p.y();
            if (style.style == psSolid)
                EXPECT_EQ(int(lit.size()), c.expectedCount);
            else // dotted: every third pixel along the line
                EXPECT_NEAR(double(lit.size()), c.expectedCount / 3.0, 1.0);
        }
    }
}

TEST(LineRasterizer, WideLinesCoverQPaintersThreePixelLineAndKeepAll32Bits) {
    EnsureApplication();
    const std::vector<Segment> segments = {
        {{2, 2}, {10, 2}}, {{14, 12}, {14, 3}}, {{25, 5}, {25, 5}}, {{30, 20}, {45, 20}}};
    QImage ours(48, 24, kPickFormat);
    ours.fill(0u);
    const TPixelTarget target = TPixelTarget::Of(ours);
    constexpr uint32_t kValue = (1u << 24) + 5; // beyond 24 bits, with an alpha byte of 1
    for (const Segment &s : segments)
        DrawWideLine(target, s.from.x(), s.from.y(), s.to.x(), s.to.y(), kValue);
    QImage theirs = BlackImage(48, 24);
    {
        QPainter painter(&theirs);
        painter.setPen(QPen(Qt::white, 3));
        for (const Segment &s : segments)
            painter.drawLine(s.from, s.to);
    }
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 48; ++x) {
            const uint32_t value = reinterpret_cast<const uint32_t *>(ours.constScanLine(y))[x];
            ASSERT_TRUE(value == 0 || value == kValue) << x << ", " << y;
            EXPECT_EQ(value == kValue, theirs.pixel(x, y) != kBlackPixel) << x << ", " << y;
        }
}

TEST(LineRasterizer, EndSquaresMatchQPaintersRectangle) {
    EnsureApplication();
    const uint32_t outline = PlotPixel(kColourRapid);
    QImage ours(30, 20, kPlotFormat);
    ours.fill(0xFF808080u); // the inside is filled black over whatever was there
    QImage theirs = ours.copy();
    QPainter painter(&theirs);
    painter.setPen(QPen(QColor::fromRgb(outline), 1));
    painter.setBrush(Qt::black);
    for (const QPoint c : {QPoint(10, 10), QPoint(14, 12), QPoint(26, 16)}) {
        DrawEndSquare(TPixelTarget::Of(ours), c.x(), c.y(), outline, kBlackPixel);
        painter.drawRect(QRect(c.x() - 3, c.y() - 3, 6, 6));
    }
    painter.end();
    const Difference d = Compare(ours, theirs);
    EXPECT_EQ(d.count, 0) << d.first;
}

TEST(LineRasterizer, EndSquaresAreClippedAtTheImageEdges) {
    constexpr uint32_t kOutline = 0xFF0000FFu, kFill = 0xFF00FF00u;
    struct Case {
        QPoint centre;
        int visibleOutline, visibleFill;
    };
    const Case cases[] = {
        {{1, 1}, 9, 16},   // the outline's right and bottom, 4 x 4 of the inside
        {{-3, 8}, 7, 0},   // only the right edge of the outline
        {{18, 12}, 9, 16}, // at the lower right corner of the 20 x 14 image
        {{-4, 8}, 0, 0},   // entirely outside
        {{INT32_MAX, INT32_MIN}, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.centre.x()) + ", " + std::to_string(c.centre.y()));
        QImage image = BlackImage(20, 14);
        DrawEndSquare(TPixelTarget::Of(image), c.centre.x(), c.centre.y(), kOutline, kFill);
        int outlinePixels = 0, fillPixels = 0;
        for (const QPoint &p : LitPixels(image)) {
            outlinePixels += image.pixel(p) == kOutline;
            fillPixels += image.pixel(p) == kFill;
        }
        EXPECT_EQ(outlinePixels, c.visibleOutline);
        EXPECT_EQ(fillPixels, c.visibleFill);
    }
}

namespace {

// One plot point as the tests write them: pixel coordinates in the view of PlotView below.
struct Point {
    double x, y;
    int8_t typ = 1;
    int32_t col = kColourWhite;
    uint8_t style = psSolid;
    int64_t zeilevon = 0, zeilebis = 0;
};

void Fill(TPlotList &lines, const std::vector<Point> &points) {
    lines.Truncate();
    for (const Point &p : points) {
        t9dline r{};
        r.x = p.x;
        r.y = p.y;
        r.typ = p.typ;
        r.col = p.col;
        r.style = p.style;
        r.zeilevon = p.zeilevon;
        r.zeilebis = p.zeilebis;
        lines.Add(r);
    }
}

// The "xy" view at one pixel per unit with the world origin in the box centre: world (x, y)
// lands on pixel (w / 2 + x, h / 2 - y).
ViewState PlotView(FixedView which = FixedView::Top, double zoom = 1) {
    ViewState view;
    const FixedViewData &d = FixedViewDataOf(which);
    view.rotxv = d.rotxv;
    view.rotyv = d.rotyv;
    view.rotzv = d.rotzv;
    view.zoom = zoom;
    return view;
}

constexpr int kBox = 200;

QPoint PixelOf(double x, double y) {
    return {kBox / 2 + int(x), kBox / 2 - int(y)};
}

uint32_t At(const QImage &image, QPoint p) {
    return image.pixel(p);
}

} // namespace

TEST(PaintPlot, ColoursOfAProgramInTheTopView) {
    EnsureApplication();
    test::InterpreterHarness harness;
    // A rapid move along Y = 5, a feed move down X = 15, a clockwise and a counter-clockwise
    // half circle below it.
    harness.RunAll("G0 X5 Y5\nG0 X15 Y5\nG1 X15 Y-5 F100\nG2 X15 Y-15 I0 J-5\n"
                   "G3 X15 Y-25 I0 J-5\nM30\n");
    ASSERT_GT(harness.lines.Count(), test::kFixedPoints);
    ViewState view = PlotView(FixedView::Top, 8); // world (x, y) -> (200 + 8x, 200 - 8y)
    QImage bit(400, 400, kPlotFormat);
    PaintPlot(bit, harness.lines, view, EndpointMarks::RapidMoves);

    const uint32_t rapid = PlotPixel(kColourRapid);
    int rapidPixels = 0;
    for (int x = 245; x < 316; ++x) { // row of Y = 5, clear of the squares at both ends
        const uint32_t p = bit.pixel(x, 160);
        EXPECT_TRUE(p == rapid || p == kBlackPixel) << x;
        rapidPixels += p == rapid;
    }
    EXPECT_NEAR(rapidPixels, 71 / 3.0, 1.0) << "dotted";
    EXPECT_EQ(qRed(rapid), 0);
    EXPECT_GT(qBlue(rapid), qGreen(rapid)) << "blue-ish";
    for (int y = 170; y < 196; ++y)
        EXPECT_EQ(bit.pixel(320, y), kWhitePixel) << "feed at row " << y;

    // Near the arcs' outermost points: the right of the clockwise arc at (20, -10), the left of
    // the counter-clockwise arc at (10, -20).
    auto colourNear = [&](QPoint centre, uint32_t colour) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (bit.pixel(centre + QPoint(dx, dy)) == colour)
                    return true;
        return false;
    };
    EXPECT_TRUE(colourNear({360, 280}, PlotPixel(kColourCw)));
    EXPECT_TRUE(colourNear({280, 360}, PlotPixel(kColourCcw)));
    EXPECT_EQ(PlotPixel(kColourCw), 0xFF00FF00u);
    EXPECT_EQ(PlotPixel(kColourCcw), 0xFFFF0000u);
}

TEST(PaintPlot, EndPointSquaresFollowTheOption) {
    EnsureApplication();
    TPlotList lines;
    // A dotted move to B = (0, 0), then a solid one down to C = (0, -30).
    Fill(lines, {{-40, 0, 0}, {0, 0, 1, kColourRapid, psDot}, {0, -30, 1, kColourWhite, psSolid}});
    const QPoint b = PixelOf(0, 0), c = PixelOf(0, -30);
    const QPoint corner(3, -3); // the square's upper right corner, clear of both lines
    struct Case {
        EndpointMarks marks;
        bool atRapidEnd, atFeedEnd;
    };
    for (const Case &k :
         {Case{EndpointMarks::RapidMoves, true, false}, Case{EndpointMarks::All, true, true},
          Case{EndpointMarks::None, false, false}}) {
        SCOPED_TRACE(int(k.marks));
        ViewState view = PlotView();
        QImage bit(kBox, kBox, kPlotFormat);
        PaintPlot(bit, lines, view, k.marks);
        EXPECT_EQ(At(bit, b + corner), k.atRapidEnd ? PlotPixel(kColourRapid) : kBlackPixel);
        EXPECT_EQ(At(bit, c + corner), k.atFeedEnd ? kWhitePixel : kBlackPixel);
        EXPECT_EQ(At(bit, c + QPoint(-3, 3)), k.atFeedEnd ? kWhitePixel : kBlackPixel);
    }
}

TEST(PaintPlot, AxisLabelsSitBeyondTheAxisEnds) {
    EnsureApplication();
    const QFontMetrics metrics(LabelFont());
    const QPoint anchor(70, kBox - 70);
    struct Label {
        const char *text;
        QPoint end;
        bool left, above; // the axis points left or up on screen
    };
    struct Case {
        FixedView view;
        std::vector<Label> labels;
    };
    // Top: X right, Y up. Bottom: X left, Y up. Z looks at the viewer in both.
    const Case cases[] = {
        {FixedView::Top,
         {{"+X", anchor + QPoint(50, 0), false, false},
          {"+Y", anchor + QPoint(0, -50), false, true}}},
        {FixedView::Bottom,
         {{"+X", anchor + QPoint(-50, 0), true, false},
          {"+Y", anchor + QPoint(0, -50), false, true}}},
    };
    auto whiteIn = [](const QImage &bit, const QRect &box) {
        int white = 0;
        for (const QPoint &p : LitPixels(bit))
            white += bit.pixel(p) == kWhitePixel && box.contains(p);
        return white;
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.view));
        TPlotList empty;
        ViewState view = PlotView(c.view);
        QImage bit(kBox, kBox, kPlotFormat);
        PaintPlot(bit, empty, view, EndpointMarks::RapidMoves);
        for (const Label &l : c.labels) {
            SCOPED_TRACE(l.text);
            const QSize size(metrics.horizontalAdvance(QString::fromLatin1(l.text)),
                             metrics.height());
            const QPoint topLeft(l.left ? l.end.x() - size.width() : l.end.x(),
                                 l.above ? l.end.y() - size.height() : l.end.y());
            EXPECT_GT(whiteIn(bit, QRect(topLeft, size)), 10) << "the label in its place";
            if (l.left || l.above) { // where the label would be without turning it around,
                // clear of the smoothed edge of the turned label's last letter
                EXPECT_EQ(
                    whiteIn(bit,
                            QRect(l.end, size).adjusted(l.left ? 2 : 0, l.above ? 2 : 0, 0, 0)),
                    0);
            }
            EXPECT_NE(At(bit, anchor + (l.end - anchor) * 9 / 10), kBlackPixel) << "the axis";
        }
    }
}

TEST(PaintPlot, RecordsTheMatricesAndThePixelBoxOfSegmentsWithASourceLine) {
    EnsureApplication();
    TPlotList lines;
    Fill(lines, {{-90, 90, 0},                                    // pen-up: moves only
                 {90, 90, 1, kColourWhite, psDashDotDot, -1, -1}, // the interpreter's own cross
                 {-20, 10, 0},
                 {30, -40, 1},
                 {10, 20, 1}});
    for (const bool pick : {false, true}) {
        SCOPED_TRACE(pick ? "pick map" : "picture");
        ViewState view = PlotView();
        QImage image(kBox, kBox, pick ? kPickFormat : kPlotFormat);
        if (pick)
            PaintPickMap(image, lines, view);
        else
            PaintPlot(image, lines, view, EndpointMarks::None);
        EXPECT_TRUE(view.hasinverted);
        EXPECT_EQ(view.lastmat, ViewMatrix(view, kBox, kBox));
        ASSERT_TRUE(view.minxs);
        EXPECT_EQ(QRect(QPoint(view.minx, view.miny), QPoint(view.maxx, view.maxy)),
                  QRect(PixelOf(10, 20), PixelOf(30, -40)));
    }
    TPlotList empty;
    ViewState view = PlotView();
    QImage bit(kBox, kBox, kPlotFormat);
    PaintPlot(bit, empty, view, EndpointMarks::All);
    EXPECT_FALSE(view.minxs);
    // Only the axis cross in the lower left corner: its axes end 50 pixels from (70, 130); the
    // labels beyond their ends are as large as the font makes them, measured as it is drawn.
    const QFontMetrics metrics(LabelFont());
    auto labelInk = [&](const char *text, QPoint topLeft) {
        return metrics.boundingRect(QString::fromLatin1(text))
            .translated(topLeft + QPoint(0, metrics.ascent()))
            .adjusted(-1, -1, 1, 1); // smoothed edges
    };
    const QRect axes(0, kBox - 140, 140, 140);
    const QRect labels[] = {labelInk("+X", {120, 130}), labelInk("+Y", {70, 80 - metrics.height()}),
                            labelInk("+Z", {70, 130})};
    for (const QPoint &p : LitPixels(bit))
        EXPECT_TRUE(
            axes.contains(p) ||
            std::ranges::any_of(labels, [&](const QRect &label) { return label.contains(p); }))
            << p.x() << ", " << p.y();
}

TEST(PaintPlot, ClearPenDrawsNothingAndDoesNotStopThePen) {
    EnsureApplication();
    TPlotList lines;
    Fill(lines, {{-50, 0, 0}, {0, 0, 1, kColourWhite, 5}, {0, 50, 1, kColourCw, psSolid}});
    ViewState view = PlotView();
    QImage bit(kBox, kBox, kPlotFormat);
    PaintPlot(bit, lines, view, EndpointMarks::None);
    EXPECT_EQ(At(bit, PixelOf(-25, 0)), kBlackPixel);
    EXPECT_EQ(At(bit, PixelOf(0, 25)), PlotPixel(kColourCw)); // drawn from the clear line's end
}

TEST(CaretMarker, PointsAtTheLastDrawnSegmentOfTheCaretLine) {
    TPlotList lines;
    // Line 1 holds the text 0 .. 9, line 2 the text 10 .. 19; the axis cross has no line.
    Fill(lines, {{0, 0, 1, kColourWhite, psSolid, -1, -1},
                 {-40, 0, 0, kColourWhite, psSolid, 0, 9},
                 {-20, 0, 1, kColourRapid, psDot, 0, 9},
                 {-20, 20, 1, kColourRapid, psSolid, 0, 9},
                 {-20, 30, 0, kColourRapid, psSolid, 0, 9}, // pen-up: never marked
                 {20, 20, 1, kColourRapid, psSolid, 10, 19}});
    struct Case {
        int64_t caret;
        std::optional<uint32_t> segment;
    };
    for (const Case &c :
         {Case{0, 3}, Case{9, 3}, Case{10, 5}, Case{19, 5}, Case{20, {}}, Case{-1, {}}}) {
        EXPECT_EQ(CaretSegment(lines, c.caret), c.segment) << c.caret;
    }

    EnsureApplication();
    ViewState view = PlotView();
    QImage bit(kBox, kBox, kPlotFormat);
    PaintPlot(bit, lines, view, EndpointMarks::None);
    QImage shown = bit.copy();
    {
        QPainter painter(&shown);
        DrawCaretMarker(painter, lines[3], view, false);
    }
    // The triangle (with its edge) at the segment's end, the text to the right of it; the text's
    // height and length depend on the font, so only its side is checked.
    const QPoint end = PixelOf(-20, 20);
    const QRect triangle(end + QPoint(-3, -13), end + QPoint(18, 3));
    int inText = 0, elsewhere = 0;
    for (int y = 0; y < kBox; ++y)
        for (int x = 0; x < kBox; ++x) {
            const QPoint p(x, y);
            if (shown.pixel(p) == bit.pixel(p))
                continue;
            const bool text = x >= end.x() + 18;
            inText += text;
            elsewhere += !text && !triangle.contains(p);
        }
    EXPECT_EQ(At(shown, end), kWhitePixel) << "the triangle's tip on the segment's end";
    EXPECT_EQ(At(shown, end + QPoint(10, -10)), kWhitePixel);
    EXPECT_GT(inText, 50);
    EXPECT_EQ(elsewhere, 0);
}

// The window draws a run's points as they come: painted in pieces while the list grows (pieces
// of a block, whole blocks, arcs cut in two), from the list or from the points as the run hands
// them out (on the drawing thread; secondary and rotary axes changing between and within
// pieces), the picture, the matrix and the pixel box are those of one paint of the whole list.
TEST(PaintPlot, APaintInPiecesWhileTheListGrowsIsThePaintOfTheWholeList) {
    EnsureApplication();
    std::mt19937 random(7);
    TPlotList lines;
    TPlotPaint paint, handed;
    ViewState pieces = PlotView(FixedView::Isometric, 2);
    ViewState whole = pieces, fromPoints = pieces;
    QImage bit(kBox, kBox, kPlotFormat), handedBit(kBox, kBox, kPlotFormat);
    paint.Begin(bit, pieces, EndpointMarks::RapidMoves);
    handed.Begin(handedBit, fromPoints, EndpointMarks::RapidMoves);
    TPlotPoints piece;
    t9dline r{};
    for (int step = 0; step < 60; ++step) {
        const int points = int(random() % 300);
        for (int k = 0; k < points; ++k) {
            if (random() % 97 == 0)
                r.u = double(int(random() % 100)) / 10, r.a = double(int(random() % 90));
            r.x = double(int(random() % 2000) - 1000) / 20;
            r.y = double(int(random() % 2000) - 1000) / 20;
            r.z = double(int(random() % 200)) / 10;
            r.typ = int8_t(random() % 5 != 0);
            const bool rapid = random() % 3 == 0;
            r.col = rapid ? kColourRapid : kColourWhite;
            r.style = rapid ? psDot : psSolid;
            r.zeilevon = random() % 20 == 0 ? -1 : int64_t(step * 1000 + k * 3);
            r.zeilebis = r.zeilevon < 0 ? -1 : r.zeilevon + 2;
            if (random() % 50 == 0) {
                const TPlotArcPoints arc{0, 3, 40, 30, r.x, r.y, r.z, 0, 0, 1, 2};
                const uint32_t count = 1 + random() % 40;
                ASSERT_TRUE(lines.AddArcPoints(arc, count, r));
                MotionArc motion{};
                motion.division = arc;
                motion.count = count;
                motion.point = r;
                const uint32_t cut = uint32_t(random() % (count + 1));
                piece.Add(motion, 0, cut);
                if (random() % 2 == 0) {
                    handed.Continue(handedBit, piece);
                    piece.Clear();
                }
                piece.Add(motion, cut, count);
            } else {
                ASSERT_TRUE(lines.Add(r));
                piece.Add(r);
            }
        }
        paint.Continue(bit, lines);
        handed.Continue(handedBit, piece);
        piece.Clear();
    }
    paint.Finish(bit, pieces);
    handed.Finish(handedBit, fromPoints);
    const Difference handedDifference = Compare(handedBit, bit);
    EXPECT_EQ(handedDifference.count, 0) << handedDifference.first;
    EXPECT_EQ(handed.Drawn(), lines.Count());
    EXPECT_TRUE(fromPoints.lastmat == pieces.lastmat);
    EXPECT_EQ(fromPoints.minx, pieces.minx);
    EXPECT_EQ(fromPoints.maxx, pieces.maxx);
    EXPECT_EQ(fromPoints.miny, pieces.miny);
    EXPECT_EQ(fromPoints.maxy, pieces.maxy);
    QImage reference(kBox, kBox, kPlotFormat);
    PaintPlot(reference, lines, whole, EndpointMarks::RapidMoves);
    const Difference d = Compare(bit, reference);
    EXPECT_EQ(d.count, 0) << d.first;
    EXPECT_GT(lines.Count(), 5000u);
    EXPECT_EQ(paint.Drawn(), lines.Count());
    EXPECT_TRUE(pieces.lastmat == whole.lastmat);
    EXPECT_TRUE(pieces.minxs && whole.minxs);
    EXPECT_EQ(pieces.minx, whole.minx);
    EXPECT_EQ(pieces.maxx, whole.maxx);
    EXPECT_EQ(pieces.miny, whole.miny);
    EXPECT_EQ(pieces.maxy, whole.maxy);

    // Measured without drawing: the same matrix and box.
    ViewState measured = PlotView(FixedView::Isometric, 2);
    MeasurePlot(lines, measured, reference.size());
    EXPECT_TRUE(measured.lastmat == whole.lastmat);
    EXPECT_EQ(measured.minx, whole.minx);
    EXPECT_EQ(measured.maxx, whole.maxx);
    EXPECT_EQ(measured.miny, whole.miny);
    EXPECT_EQ(measured.maxy, whole.maxy);
}

// The text keeps its look whatever lies under it: white letters on their own black box, the same
// pixels on black, on the white cuts of a relief and on any colour.
TEST(CaretMarker, TextReadsOnAnyBackground) {
    EnsureApplication();
    TPlotList lines;
    Fill(lines, {{-20, 20, 1, kColourWhite, psSolid, 0, 5}});
    ViewState view = PlotView();
    RememberPaintMatrix(view, ViewMatrix(view, kBox, kBox));
    const QPoint end = PixelOf(-20, 20);
    const uint32_t backgrounds[] = {kBlackPixel, kWhitePixel, 0xFF808080u, PlotPixel(kColourRapid),
                                    PlotPixel(kColourCw)};
    std::vector<QImage> images;
    for (const uint32_t background : backgrounds) {
        QImage image(kBox, kBox, kPlotFormat);
        image.fill(background);
        QPainter painter(&image);
        DrawCaretMarker(painter, lines[0], view, false);
        painter.end();
        images.push_back(image);
    }
    // The text's pixels: right of the triangle, changed on any of the backgrounds.
    std::vector<QPoint> text;
    for (int y = 0; y < kBox; ++y)
        for (int x = end.x() + 18; x < kBox; ++x)
            for (size_t k = 0; k < images.size(); ++k)
                if (images[k].pixel(x, y) != backgrounds[k]) {
                    text.push_back({x, y});
                    break;
                }
    int light = 0, dark = 0;
    for (const QPoint &p : text) {
        for (size_t k = 1; k < images.size(); ++k)
            ASSERT_EQ(images[k].pixel(p), images[0].pixel(p))
                << "background " << k << " at " << p.x() << ", " << p.y();
        const int grey = qGray(images[0].pixel(p));
        light += grey > 200;
        dark += grey < 55;
    }
    EXPECT_GT(light, 30) << "letters";
    EXPECT_GT(dark, 30) << "the box around them";
    // On white, the triangle shows its dark edge.
    int edge = 0;
    for (int y = end.y() - 13; y <= end.y() + 3; ++y)
        for (int x = end.x() - 3; x <= end.x() + 18; ++x)
            edge += qGray(images[1].pixel(x, y)) < 55;
    EXPECT_GT(edge, 20);
}

TEST(CaretMarker, TextHasTwoDecimalsAndDoublesXInDiameterMode) {
    struct Case {
        double x, y, z;
        bool diametermode;
        const char *text;
    };
    const Case cases[] = {
        {10, 0, 0, false, "X 10.00, Y 0.00, Z 0.00"},
        {10, 0, 0, true, "X 20.00, Y 0.00, Z 0.00"},
        {-1.234, 2.5, -0.006, false, "X -1.23, Y 2.50, Z -0.01"},
        {-1.234, 2.5, 1e6, true, "X -2.47, Y 2.50, Z 1000000.00"},
    };
    for (const Case &c : cases) {
        t9dline r{};
        r.x = c.x;
        r.y = c.y;
        r.z = c.z;
        r.u = 5; // the secondary axes are not part of the text
        EXPECT_EQ(CaretMarkerText(r, c.diametermode).toStdString(), c.text);
    }
}

TEST(CaretMarker, DiameterViewShowsTheDoubledXBesideTheMarker) {
    EnsureApplication();
    // X 10 in the diameter view at zoom 4 and X 20 in the radius display at zoom 2 lie on the
    // same pixel and must be marked alike: "X 20.00".
    auto marked = [](double x, bool diametermode, double zoom) {
        TPlotList lines;
        Fill(lines,
             {{0, 0, 0, kColourWhite, psSolid, 0, 5}, {x, 0, 1, kColourWhite, psSolid, 0, 5}});
        ViewState view = PlotView(FixedView::LatheDiameter, zoom);
        QImage bit(kBox, kBox, kPlotFormat);
        PaintPlot(bit, lines, view, EndpointMarks::None);
        QPainter painter(&bit);
        DrawCaretMarker(painter, lines[1], view, diametermode);
        painter.end();
        return bit;
    };
    const QImage diameter = marked(10, true, 4);
    EXPECT_EQ(Compare(diameter, marked(20, false, 2)).count, 0);
    const Difference radius = Compare(diameter, marked(10, false, 4));
    EXPECT_GT(radius.count, 0) << "the radius display writes X 10.00 at the same place";
}

TEST(PickMap, ReturnsTheSegmentUnderAPixel) {
    EnsureApplication();
    TPlotList lines;
    Fill(lines, {{-60, 40, 0},
                 {60, 40, 1, kColourWhite, psDashDotDot, -1, -1}, // 1: axis cross, not pickable
                 {-60, 0, 0, kColourWhite, psSolid, 0, 9},
                 {60, 0, 1, kColourWhite, psSolid, 0, 9}, // 3: along Y = 0
                 {20, -50, 0, kColourWhite, psSolid, 10, 19},
                 {20, 50, 1, kColourRapid, psDot, 10, 19}}); // 5: dotted, across 3 and 1
    ViewState view = PlotView();
    QImage bitclick;
    FitBitmap(bitclick, QSize(kBox, kBox), kPickFormat);
    PaintPickMap(bitclick, lines, view);
    struct Case {
        QPoint pixel;
        std::optional<uint32_t> index;
    };
    const Case cases[] = {
        {PixelOf(-30, 0), 3},
        {PixelOf(-30, 0) + QPoint(0, 1), 3}, // the pick line is 3 pixels wide
        {PixelOf(-30, 0) + QPoint(0, -1), 3},
        {PixelOf(-30, 0) + QPoint(0, 2), {}}, // but no wider
        {PixelOf(20, 0), 5},                  // crossing: the later segment
        {PixelOf(20, -30), 5},                // a gap of the dotted line is picked too
        {PixelOf(-30, 40), {}},               // the axis cross has no source line
        {PixelOf(20, 40), 5},
        {PixelOf(-90, -90), {}}, // background
        {QPoint(-1, 10), {}},    // outside the map
        {QPoint(kBox, 10), {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PickSegment(bitclick, lines, c.pixel), c.index)
            << c.pixel.x() << ", " << c.pixel.y();
}

TEST(PickMap, PositionsBeyond24BitsAreKeptWhole) {
    QImage bitclick(20, 10, kPickFormat);
    bitclick.fill(0u);
    constexpr uint32_t kPosition = (1u << 24) + 5, kLast = UINT32_MAX;
    DrawWideLine(TPixelTarget::Of(bitclick), 2, 3, 10, 3, kPosition);
    DrawWideLine(TPixelTarget::Of(bitclick), 15, 0, 15, 9, kLast);
    EXPECT_EQ(PickPosition(bitclick, {5, 3}, kPosition), kPosition);
    EXPECT_EQ(PickPosition(bitclick, {5, 3}, kLast), kPosition);
    // A map that kept only the low 24 bits would name position 5 here.
    EXPECT_EQ(PickPosition(bitclick, {5, 3}, 5), std::nullopt);
    EXPECT_EQ(PickPosition(bitclick, {15, 5}, kLast), kLast);
    EXPECT_EQ(PickPosition(bitclick, {0, 0}, kLast), std::nullopt);
    // A map of another depth holds no positions.
    EXPECT_EQ(PickPosition(bitclick.convertToFormat(QImage::Format_RGB888), {5, 3}, kLast),
              std::nullopt);
}

TEST(PlotBitmaps, FollowThePaintBoxSize) {
    QImage bit, bitclick;
    FitBitmap(bit, QSize(30, 20), kPlotFormat);
    FitBitmap(bitclick, QSize(30, 20), kPickFormat);
    const uchar *before = bit.constBits();
    FitBitmap(bit, QSize(30, 20), kPlotFormat);
    EXPECT_EQ(bit.constBits(), before) << "kept when the size is unchanged";
    FitBitmap(bit, QSize(40, 25), kPlotFormat);
    EXPECT_EQ(bit.size(), QSize(40, 25));
    EXPECT_EQ(bitclick.format(), kPickFormat);
    // A paint into a box without area draws nothing and fails nothing.
    EnsureApplication();
    QImage none;
    TPlotList lines;
    Fill(lines, {{0, 0, 0}, {10, 10, 1}});
    ViewState view;
    PaintPlot(none, lines, view, EndpointMarks::All);
    PaintPickMap(none, lines, view);
    EXPECT_EQ(PickSegment(none, lines, {0, 0}), std::nullopt);
}
