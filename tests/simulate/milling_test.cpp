#include "toolpaths.h"

#include "../interpreter/interpreterharness.h"

#include "simulate/heightfield.h"
#include "simulate/milling.h"
#include "simulate/toolsweep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <random>

using namespace morvilo;
using test::ToolPath;

namespace {

const MillingTool kFlat{ToolShape::Flat, 2.0, 0};
const MillingTool kBall{ToolShape::Ball, 2.0, 0};
const MillingTool kVBit{ToolShape::VBit, 2.0, 60};

HeightField milled(const TPlotList &lines, const MillingTool &tool, const Stock &stock,
                   double resolution, unsigned threads = 0) {
    HeightField field;
    UserMessage message;
    EXPECT_TRUE(field.Reset(stock, resolution, message)) << message.Filled();
    EXPECT_EQ(MillPart(lines, tool, field, {threads, nullptr, {}}), MillingResult::Done);
    return field;
}

// Compares every cell with expected(x, y) (nothing: the stock's top); where skip(x, y) says so
// the cell is left out. Returns the number of cells compared that were cut.
int expectCells(const HeightField &field, const std::function<double(double, double)> &expected,
                double tolerance, const char *what,
                const std::function<bool(double, double)> &skip = {}) {
    int cut = 0, wrong = 0;
    for (int32_t j = 0; j < field.Rows(); ++j)
        for (int32_t i = 0; i < field.Columns(); ++i) {
            const double x = field.CellX(i), y = field.CellY(j);
            if (skip && skip(x, y))
                continue;
            const double want = std::min(expected(x, y), field.GetStock().top);
            cut += want < field.GetStock().top;
            if (std::abs(field.At(i, j) - want) > tolerance && ++wrong <= 5)
                ADD_FAILURE() << what << ": cell " << i << "," << j << " at (" << x << ", " << y
                              << ") is " << field.At(i, j) << ", expected " << want;
        }
    return cut;
}

// The height of tool over a point at the horizontal distance d from the path of a level move at z.
double levelGroove(const MillingTool &tool, double z, double d) {
    const double r = tool.Radius();
    return d <= r ? z + test::ToolProfile(tool, d * d) : HUGE_VAL;
}

double distanceToSegment(double px, double py, double ax, double ay, double bx, double by) {
    const double vx = bx - ax, vy = by - ay;
    const double t = std::clamp(((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    return std::hypot(px - ax - t * vx, py - ay - t * vy);
}

// Flat grooves change height where the tool's edge passes; cells that close to it are left out,
// where a float of the path's coordinates decides.
bool nearTheEdge(const MillingTool &tool, double d, double margin) {
    return tool.shape == ToolShape::Flat && std::abs(d - tool.Radius()) < margin;
}

const Stock kStock{-10, -8, 10, 8, 0};

TEST(Milling, LevelGroovesStraightDiagonalAndBeyondTheirEnds) {
    const struct {
        double ax, ay, bx, by;
    } paths[] = {{-6, 0.3, 5, 0.3}, {-5, -4, 6, 5}, {2, 6, -3, -7}};
    for (const MillingTool &tool : {kFlat, kBall, kVBit})
        for (const auto &p : paths) {
            ToolPath path;
            path.AxisCross().Start(p.ax, p.ay, 5).Rapid(p.ax, p.ay, -1.25).Feed(p.bx, p.by, -1.25);
            path.Rapid(p.bx, p.by, 5);
            const HeightField field = milled(path.Lines(), tool, kStock, 0.1);
            const auto d = [&](double x, double y) {
                return distanceToSegment(x, y, p.ax, p.ay, p.bx, p.by);
            };
            const int cut = expectCells(
                field, [&](double x, double y) { return levelGroove(tool, -1.25, d(x, y)); }, 1e-6,
                "level groove",
                [&](double x, double y) { return nearTheEdge(tool, d(x, y), 1e-9); });
            EXPECT_GT(cut, 1000);
        }
}

// A ramp descending along X: over a point at the lateral distance e, far from the ramp's ends,
// a flat tool leaves the height of the tip where its edge last passes the point, a ball
// -m x + r - sqrt(r^2 - e^2) sqrt(1 + m^2), a V-bit flatter than its flank -m x + e sqrt(k^2 -
// m^2).
TEST(Milling, SlopedGroovesMatchTheirClosedForms) {
    const double m = 0.25; // z = -m (x + 8)
    ToolPath path;
    path.Start(-8, 1, 0).Feed(8, 1, -4);
    for (const MillingTool &tool : {kFlat, kBall, kVBit}) {
        const HeightField field = milled(path.Lines(), tool, kStock, 0.05);
        const double r = tool.Radius(), k = tool.Slope();
        const auto expected = [&](double x, double y) {
            const double e = std::abs(y - 1);
            if (e > r)
                return HUGE_VAL;
            const double q = std::sqrt(r * r - e * e);
            switch (tool.shape) {
            case ToolShape::Flat:
                return -m * (x + q + 8);
            case ToolShape::Ball:
                return -m * (x + 8) + r - q * std::sqrt(1 + m * m);
            case ToolShape::VBit:
                return -m * (x + 8) + e * std::sqrt(k * k - m * m);
            }
            return 0.0;
        };
        const int cut = expectCells(field, expected, 2e-6, "ramp", [&](double x, double y) {
            return x < -6 || x > 6 || nearTheEdge(tool, std::abs(y - 1), 1e-9);
        });
        EXPECT_GT(cut, 2000);
    }
}

// A circle of radius 5 as the interpreter plots arcs, in short chords: the groove follows the
// circle within the chords' sag.
TEST(Milling, FullCircleGroove) {
    constexpr int kChords = 2000;
    const double rho = 5, sag = rho * (1 - std::cos(std::numbers::pi / kChords));
    ToolPath path;
    path.Start(rho, 0, 1).Feed(rho, 0, -0.5);
    for (int k = 1; k <= kChords; ++k) {
        const double a = 2 * std::numbers::pi * k / kChords;
        path.Feed(rho * std::cos(a), rho * std::sin(a), -0.5);
    }
    for (const MillingTool &tool : {kFlat, kBall, kVBit}) {
        const HeightField field = milled(path.Lines(), tool, kStock, 0.1);
        const auto d = [&](double x, double y) { return std::abs(std::hypot(x, y) - rho); };
        // the profiles rise at most by their slope (the ball's is steep at its edge)
        const double tolerance = tool.shape == ToolShape::Ball ? 2e-3 : 2 * sag;
        const int cut = expectCells(
            field, [&](double x, double y) { return levelGroove(tool, -0.5, d(x, y)); }, tolerance,
            "circle", [&](double x, double y) { return nearTheEdge(tool, d(x, y), 2 * sag); });
        EXPECT_GT(cut, 1500);
    }
}

// Small random programs against the brute-force height of every move at every cell, with one
// thread and with several: the same field to the float.
TEST(Milling, RandomProgramsMatchTheBruteForceReference) {
    const struct {
        unsigned seed;
        MillingTool tool;
    } cases[] = {
        {1, kFlat},
        {2, kBall},
        {3, kVBit},
        {4, {ToolShape::Flat, 0.7, 0}},
        {5, {ToolShape::Ball, 3.1, 0}},
        {6, {ToolShape::VBit, 1.3, 90}},
        {7, {ToolShape::VBit, 4.0, 150}},
        {8, {ToolShape::VBit, 2.5, 20}},
    };
    const Stock stock{-4, -3, 4, 3, 0.25};
    for (const auto &c : cases) {
        std::mt19937 random(c.seed);
        std::uniform_real_distribution<double> x(-6, 6), y(-5, 5), z(-2, 1);
        ToolPath path;
        std::vector<std::array<double, 3>> points{{x(random), y(random), z(random)}};
        path.Start(points[0][0], points[0][1], points[0][2]);
        std::vector<std::pair<size_t, size_t>> moves;
        for (int k = 0; k < 25; ++k) {
            std::array<double, 3> p{x(random), y(random), z(random)};
            const int kind = int(random() % 6);
            if (kind == 0) // a plunge or a lift
                p = {points.back()[0], points.back()[1], z(random)};
            else if (kind == 1) // level
                p[2] = points.back()[2];
            if (kind == 2) {
                path.Start(p[0], p[1], p[2]);
            } else {
                moves.emplace_back(points.size() - 1, points.size());
                (kind == 3 ? path.Rapid(p[0], p[1], p[2]) : path.Feed(p[0], p[1], p[2]));
            }
            points.push_back(p);
        }
        const HeightField one = milled(path.Lines(), c.tool, stock, 0.2, 1);
        const HeightField several = milled(path.Lines(), c.tool, stock, 0.2, 3);
        EXPECT_EQ(one.Cells(), several.Cells()) << "seed " << c.seed;
        const auto reference = [&](double px, double py) {
            double h = HUGE_VAL;
            for (const auto &[from, to] : moves)
                h = std::min(h, test::BruteForceHeight(c.tool, points[from].data(),
                                                       points[to].data(), px, py));
            return h;
        };
        const int cut = expectCells(one, reference, 2e-6, "random program");
        EXPECT_GT(cut, 100) << "seed " << c.seed;
    }
}

// Moves beyond the stock cut only the cells they reach; a move of enormous length through the
// stock cuts as a short one does.
TEST(Milling, StockClipsTheMoves) {
    const Stock stock{0, 0, 4, 3, 0};
    ToolPath path;
    path.Start(-20, 1, -1).Feed(20, 1, -1);    // through the stock and out on both sides
    path.Start(-3, 3.6, -2).Feed(10, 3.6, -2); // outside, within the radius of the top edge
    path.Start(-9, -9, -3).Feed(-9, 20, -3);   // far outside
    path.Start(2.05, -1e300, -0.5).Feed(2.05, 1e300, -0.5); // enormous, through the middle
    for (const MillingTool &tool : {kFlat, kBall, kVBit}) {
        const HeightField field = milled(path.Lines(), tool, stock, 0.1);
        EXPECT_EQ(field.Columns(), 40);
        EXPECT_EQ(field.Rows(), 30);
        const auto expected = [&](double x, double y) {
            return std::min({levelGroove(tool, -1, std::abs(y - 1)),
                             levelGroove(tool, -2, std::abs(y - 3.6)),
                             levelGroove(tool, -0.5, std::abs(x - 2.05))});
        };
        expectCells(field, expected, 1e-6, "clipped", [&](double x, double y) {
            return nearTheEdge(tool, std::abs(y - 1), 1e-9) ||
                   nearTheEdge(tool, std::abs(y - 3.6), 1e-9) ||
                   nearTheEdge(tool, std::abs(x - 2.05), 1e-9);
        });
    }
}

// Every drawn point ends a move, rapid or not; pen-up points and the axis cross are none.
TEST(Milling, RapidsCutAndPenUpPointsDoNot) {
    ToolPath path;
    path.AxisCross().Start(-5, 0, -3).Start(5, 0, -3).Rapid(5, 4, -2);
    const HeightField field = milled(path.Lines(), kFlat, kStock, 0.25);
    // rising: the lowest tip over a cell is where the edge first reaches it
    const int cut = expectCells(
        field,
        [](double x, double y) {
            const double e = std::abs(x - 5);
            if (distanceToSegment(x, y, 5, 0, 5, 4) > 1)
                return HUGE_VAL;
            return -3 + std::max(0.0, y - std::sqrt(std::max(0.0, 1 - e * e))) / 4;
        },
        1e-6, "rapid",
        [](double x, double y) {
            return nearTheEdge(kFlat, distanceToSegment(x, y, 5, 0, 5, 4), 1e-9);
        });
    EXPECT_GT(cut, 50);
}

TEST(Milling, LastCutIsTheLastMoveAtTheCellsHeight) {
    ToolPath path;
    path.Start(-5, 0, -1).Feed(5, 0, -1);     // 1
    path.Feed(5, 3, -1);                      // 2
    path.Start(-5, 0, -0.5).Feed(5, 0, -0.5); // 4: above the first, cuts nothing new
    path.Start(0, -5, -1).Feed(0, 5, -1);     // 6: crosses the first at its depth
    const HeightField field = milled(path.Lines(), kFlat, kStock, 0.5);
    const auto cellAt = [&](double x, double y) {
        return std::pair{int32_t((x - kStock.xmin) / 0.5), int32_t((y - kStock.ymin) / 0.5)};
    };
    const auto lastCut = [&](double x, double y) {
        const auto [i, j] = cellAt(x, y);
        return LastCut(path.Lines(), kFlat, field, i, j);
    };
    EXPECT_EQ(lastCut(-3.25, 0.25), 1u);
    EXPECT_EQ(lastCut(4.75, 2.25), 2u);
    EXPECT_EQ(lastCut(0.25, 0.25), 6u);
    EXPECT_EQ(lastCut(-7.75, 6.25), std::nullopt);
    EXPECT_EQ(LastCut(path.Lines(), kFlat, field, -1, 0), std::nullopt);
}

// Each move is milled with the tool in the spindle: a flat groove, then after the change to
// T2 a ball groove beside it; the run log's tool changes and the table give the spans. A
// number without a tool and a table without entries keep the one tool throughout.
TEST(Milling, ToolChangesSwitchTheToolForTheMovesAfterThem) {
    ToolPath path;
    path.Start(0, 2, -1).Feed(10, 2, -1); // points 0, 1: T1
    path.Start(0, 6, -1).Feed(10, 6, -1); // points 2, 3: T2 from point 2
    path.Start(0, 9, -1).Feed(10, 9, -1); // points 4, 5: T7, not in the table
    RunLog log;
    log.Event(0, RunEventKind::ToolChange, 1, 1);
    log.Event(2, RunEventKind::Dwell, 1, 3);
    log.Event(2, RunEventKind::ToolChange, 2, 3);
    log.Event(4, RunEventKind::ToolChange, 7, 5);
    const MillingTool big{ToolShape::Flat, 1.0, 90}, ball{ToolShape::Ball, 2.0, 90};
    const std::map<int, MillingTool> table = {{1, kFlat}, {2, ball}};
    const ToolSpans tools = ToolsOfRun(log, table, big);
    EXPECT_EQ(tools, (ToolSpans{{0, kFlat}, {2, ball}, {4, big}}));
    EXPECT_EQ(ToolsOfRun(log, {}, big), (ToolSpans{{0, big}}));
    EXPECT_EQ(LargestRadius(tools), 1.0);

    HeightField field;
    UserMessage message;
    ASSERT_TRUE(field.Reset({-2, 0, 12, 11, 0}, 0.05, message));
    ASSERT_EQ(MillPart(path.Lines(), tools, field), MillingResult::Done);
    const auto at = [&](double x, double y) {
        return field.At(int32_t(std::floor((x + 2) / 0.05)), int32_t(std::floor(y / 0.05)));
    };
    // flat 2 mm: 1 deep 0.9 off the axis; ball 2 mm: shallower off the axis; 1 mm flat: uncut
    EXPECT_EQ(at(5, 2.9), -1.0f);
    const double off = field.CellY(int32_t(std::floor(6.9 / 0.05))) - 6;
    EXPECT_NEAR(at(5, 6.9), -1 + (1 - std::sqrt(1 - off * off)), 1e-5);
    EXPECT_EQ(at(5, 9.4), -1.0f);
    EXPECT_EQ(at(5, 9.6), 0.0f);
    // the last cut of a cell is found with the tool that made it
    const auto cell = [&](double x, double y) {
        return LastCut(path.Lines(), tools, field, int32_t(std::floor((x + 2) / 0.05)),
                       int32_t(std::floor(y / 0.05)));
    };
    EXPECT_EQ(cell(5, 6.9), std::optional<uint32_t>(3));
    EXPECT_EQ(cell(5, 2.9), std::optional<uint32_t>(1));
}

TEST(Milling, CancelAndProgress) {
    ToolPath path;
    path.Start(-5, 0, -1).Feed(5, 0, -1);
    HeightField field;
    UserMessage message;
    ASSERT_TRUE(field.Reset(kStock, 0.1, message));
    std::vector<double> shares;
    EXPECT_EQ(MillPart(path.Lines(), kBall, field,
                       {2, nullptr, [&](double share) { shares.push_back(share); }}),
              MillingResult::Done);
    ASSERT_FALSE(shares.empty());
    EXPECT_EQ(shares.back(), 1.0);
    const std::atomic<bool> cancel{true};
    ASSERT_TRUE(field.Reset(kStock, 0.1, message));
    EXPECT_EQ(MillPart(path.Lines(), kBall, field, {2, &cancel, {}}), MillingResult::Cancelled);
    EXPECT_EQ(field.Deepest(), 0.0f);
}

TEST(HeightField, GridLayoutDefaultsAndRefusals) {
    HeightField field;
    UserMessage message;
    // 3 * 0.1 / 0.1 is a little above 3: still 3 columns
    ASSERT_TRUE(field.Reset({1, 2, 1 + 3 * 0.1, 2.25, -1}, 0.1, message));
    EXPECT_EQ(field.Columns(), 3);
    EXPECT_EQ(field.Rows(), 3); // ceil(2.5)
    EXPECT_DOUBLE_EQ(field.CellX(0), 1.05);
    EXPECT_DOUBLE_EQ(field.CellY(2), 2.25);
    EXPECT_EQ(field.Deepest(), -1.0f);

    ToolPath path;
    path.AxisCross().Start(0, 0, 0).Feed(10, 5, -1).Feed(-2, 7, -1);
    const std::optional<Stock> stock = DefaultStock(path.Lines(), kBall);
    ASSERT_TRUE(stock);
    EXPECT_EQ(*stock, (Stock{-3, -1, 11, 8, 0}));
    const double resolution = DefaultResolution(*stock);
    EXPECT_EQ(resolution, 0.0057); // sqrt(14 * 9 / 4e6) = 0.00561..., up to two digits
    const double cells = GridCells(14, resolution) * GridCells(9, resolution);
    EXPECT_LE(cells, kDefaultCells);
    EXPECT_GT(cells, 0.95 * kDefaultCells);
    EXPECT_FALSE(DefaultStock(ToolPath().AxisCross().Lines(), kBall));

    const struct {
        Stock stock;
        double resolution;
        const char *message;
    } refused[] = {
        {{0, 0, 0, 1, 0}, 0.1, "Das Rohteil ist ungültig"},
        {{0, 0, 1, 1, NAN}, 0.1, "Das Rohteil ist ungültig"},
        {{0, 0, 1, 1, 0}, 0, "Die Auflösung muss größer als 0 sein."},
        {{0, 0, 1e6, 1, 0}, 1e-6, "Das Werkstück aus 1000000000000 × 1000000 Zellen ist zu groß"},
        {{0, 0, 1000, 1000, 0}, 1e-4, "Das Werkstück aus 10000000 × 10000000 Zellen braucht 400"},
        {{0, 0, 1, 1, 0},
         std::ldexp(1.0, -1000), // 2^1000 columns and rows
         "Das Werkstück aus 1.0715086071862673e+301 × 1.0715086071862673e+301 Zellen ist zu groß"},
    };
    for (const auto &r : refused) {
        EXPECT_FALSE(field.Reset(r.stock, r.resolution, message));
        EXPECT_TRUE(field.Empty());
        EXPECT_EQ(message.Filled().rfind(r.message, 0), 0u) << message.Filled();
    }
}

// A drilling cycle mills the hole the machine drills, whether the backplot draws it to scale or
// as a stroke: G99 holes from Z5 with R-1 below the stock's top, so the traverse between the
// holes at the R level cuts a groove 1 deep.
TEST(Milling, DrillingCyclesMillTheirTrueHolesWhateverTheDrawing) {
    const std::string program = "G0 X0 Y0 Z5\nG99 G81 X2 Y5 Z-4 R-1 F100\nX8\nG80\nG0 Z5\n";
    const Stock stock{0, 0, 10, 10, 0};
    const MillingTool tool{ToolShape::Flat, 1.0, 0};
    const auto mill = [&](bool toScale) {
        test::InterpreterHarness h;
        h.options.cyclesToScale = toScale;
        RunLog log;
        h.log = &log;
        h.Run(program);
        HeightField field;
        UserMessage message;
        EXPECT_TRUE(field.Reset(stock, 0.25, message));
        EXPECT_EQ(MillPart(h.lines, tool, field, {1, nullptr, {}}, &log), MillingResult::Done);
        return field;
    };
    const HeightField drawn = mill(false), scaled = mill(true);
    ASSERT_EQ(drawn.Columns(), scaled.Columns());
    ASSERT_EQ(drawn.Rows(), scaled.Rows());
    int differ = 0;
    for (int32_t j = 0; j < drawn.Rows(); ++j)
        for (int32_t i = 0; i < drawn.Columns(); ++i)
            differ += drawn.At(i, j) != scaled.At(i, j);
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(drawn.Deepest(), -4.0f);
    EXPECT_EQ(drawn.At(20, 20), -1.0f); // (5.125, 5.125): on the way from hole to hole at R
    EXPECT_EQ(drawn.At(20, 30), 0.0f);  // beside it
}

// The tool stands where the view draws it and the program facts measure it: U, V and W add to
// X, Y and Z, for the milling and for the default stock alike.
TEST(Milling, SecondaryAxesMoveTheTool) {
    test::InterpreterHarness h;
    h.Run("G0 X1 Y5 Z5 U2 V-1\nG1 Z-1 F100\nX5\nG0 Z5\n");
    const MillingTool tool{ToolShape::Flat, 1.0, 0};
    const std::optional<Stock> stock = DefaultStock(h.lines, tool);
    ASSERT_TRUE(stock);
    // from the start at the origin to X7 (X5 + U2) and Y4 (Y5 + V-1)
    EXPECT_DOUBLE_EQ(stock->xmin, -0.5);
    EXPECT_DOUBLE_EQ(stock->xmax, 7 + 0.5);
    EXPECT_DOUBLE_EQ(stock->ymin, -0.5);
    EXPECT_DOUBLE_EQ(stock->ymax, 4 + 0.5);
    HeightField field;
    UserMessage message;
    ASSERT_TRUE(field.Reset({0, 0, 10, 10, 0}, 0.25, message));
    ASSERT_EQ(MillPart(h.lines, tool, field, {1, nullptr, {}}), MillingResult::Done);
    EXPECT_EQ(field.At(26, 16), -1.0f); // (6.625, 4.125): in the groove from X3 to X7 at Y4
    EXPECT_EQ(field.At(6, 16), 0.0f);   // (1.625, 4.125): where X alone would have cut
    EXPECT_EQ(field.At(26, 20), 0.0f);  // (6.625, 5.125): where Y alone would have cut
}

} // namespace
