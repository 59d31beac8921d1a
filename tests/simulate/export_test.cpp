#include "../common/testfiles.h"
#include "toolpaths.h"

#include "cli/cli.h"
#include "simulate/heightfield.h"
#include "simulate/milling.h"
#include "simulate/partexport.h"
#include "vantrel/outputfile.h"
#include "view/partimage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>

using namespace morvilo;
namespace fs = std::filesystem;

namespace {

// A part with a ramp and a crossing groove, 40 x 30 cells.
HeightField groovedPart() {
    test::ToolPath path;
    path.Start(-1, 1, 0.5).Feed(5, 2.5, -1.5).Start(2, -1, -0.75).Feed(2, 4, -0.75);
    HeightField field;
    UserMessage message;
    EXPECT_TRUE(field.Reset({0, 0, 4, 3, 0}, 0.1, message));
    MillPart(path.Lines(), {ToolShape::Ball, 1.5, 0}, field);
    return field;
}

std::string written(const std::function<void(OutputFile &)> &write) {
    test::ScratchFolder folder;
    const std::string path = (folder.path() / "out").string();
    OutputFile out;
    EXPECT_TRUE(out.Open(path, OutputFile::Mode::Replace));
    write(out);
    EXPECT_TRUE(out.Commit()) << out.Error();
    return test::ReadFile(path);
}

uint32_t uint32At(const std::string &bytes, size_t at) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k)
        v = v << 8 | uint8_t(bytes[at + size_t(k)]);
    return v;
}

float floatAt(const std::string &bytes, size_t at) {
    return std::bit_cast<float>(uint32At(bytes, at));
}

using Point = std::array<float, 3>;

// A part milled with a flat tool: two pockets of different depths side by side, a third one in
// the second's floor and a groove across, so that flat areas of several heights meet each other
// and the sloped steps between them.
HeightField pocketedPart() {
    test::ToolPath path;
    path.Start(1, 1, -1);
    for (double y = 1; y <= 4; y += 0.5)
        path.Feed(1, y, -1).Feed(4, y, -1);
    path.Start(4.5, 1, -2);
    for (double y = 1; y <= 6; y += 0.5)
        path.Feed(4.5, y, -2).Feed(8, y, -2);
    path.Start(5.5, 2, -3.5).Feed(7, 2, -3.5).Feed(7, 4, -3.5).Feed(5.5, 4, -3.5);
    path.Start(0, 5.2, -0.5).Feed(9, 5.3, -0.5);
    HeightField field;
    UserMessage message;
    EXPECT_TRUE(field.Reset({-1, -1, 10, 8, 0}, 0.05, message));
    MillPart(path.Lines(), {ToolShape::Flat, 1, 0}, field);
    return field;
}

// Reads a binary STL as an independent reader would and checks it is a closed, consistently
// oriented solid: every directed edge occurs once and its reverse once (so no T-junction opens a
// crack), each stored normal points the way the corners turn, and the enclosed volume is the
// height field's over the bottom. The top surface runs exactly through every cell's centre at
// the cell's height. Returns the triangle count.
uint32_t checkStl(const HeightField &field) {
    UserMessage message;
    const std::string stl = written(
        [&](OutputFile &out) { EXPECT_TRUE(WriteStl(field, out, message)) << message.Filled(); });
    EXPECT_GE(stl.size(), 84u);
    if (stl.size() < 84)
        return 0;
    const uint32_t count = uint32At(stl, 80);
    EXPECT_EQ(count, StlTriangles(field));
    EXPECT_EQ(stl.size(), 84 + 50 * size_t(count));
    if (stl.size() != 84 + 50 * size_t(count))
        return 0;

    std::map<std::pair<Point, Point>, int> edges;
    double volume = 0;
    int misoriented = 0, offSurface = 0;
    const int32_t nx = field.Columns(), ny = field.Rows();
    const double r = field.Resolution();
    std::vector<char> covered(size_t(nx) * size_t(ny));
    for (uint32_t t = 0; t < count; ++t) {
        const size_t at = 84 + 50 * size_t(t);
        Point corner[3];
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                corner[c][size_t(k)] = floatAt(stl, at + 12 + 12 * size_t(c) + 4 * size_t(k));
        for (int c = 0; c < 3; ++c)
            ++edges[{corner[c], corner[(c + 1) % 3]}];
        double u[3], v[3], n[3];
        for (int k = 0; k < 3; ++k) {
            u[k] = double(corner[1][size_t(k)]) - corner[0][size_t(k)];
            v[k] = double(corner[2][size_t(k)]) - corner[0][size_t(k)];
        }
        n[0] = u[1] * v[2] - u[2] * v[1];
        n[1] = u[2] * v[0] - u[0] * v[2];
        n[2] = u[0] * v[1] - u[1] * v[0];
        double stored = 0;
        for (int k = 0; k < 3; ++k)
            stored += n[k] * floatAt(stl, at + 4 * size_t(k));
        misoriented += !(stored > 0);
        // the divergence theorem: each facet adds its corner tetrahedron
        volume += (corner[0][0] * n[0] + corner[0][1] * n[1] + corner[0][2] * n[2]) / 6;
        if (!(n[2] > 0))
            continue; // a wall or the bottom
        // every centre under a top facet lies on it at the centre's height
        float lo[2] = {corner[0][0], corner[0][1]}, hi[2] = {lo[0], lo[1]};
        for (int c = 1; c < 3; ++c)
            for (size_t k = 0; k < 2; ++k) {
                lo[k] = std::min(lo[k], corner[c][k]);
                hi[k] = std::max(hi[k], corner[c][k]);
            }
        const auto index = [&](double value, double first) { return (value - first) / r; };
        const int32_t i0 = std::max(0, int32_t(std::ceil(index(lo[0], field.CellX(0)) - 1e-3)));
        const int32_t i1 =
            std::min(nx - 1, int32_t(std::floor(index(hi[0], field.CellX(0)) + 1e-3)));
        const int32_t j0 = std::max(0, int32_t(std::ceil(index(lo[1], field.CellY(0)) - 1e-3)));
        const int32_t j1 =
            std::min(ny - 1, int32_t(std::floor(index(hi[1], field.CellY(0)) + 1e-3)));
        for (int32_t j = j0; j <= j1; ++j)
            for (int32_t i = i0; i <= i1; ++i) {
                // the centre where the file has it
                const double px = float(field.CellX(i)), py = float(field.CellY(j));
                const auto side = [&](const Point &p, const Point &q) {
                    return ((double(q[0]) - p[0]) * (py - p[1]) -
                            (double(q[1]) - p[1]) * (px - p[0])) /
                           n[2];
                };
                const double w0 = side(corner[1], corner[2]), w1 = side(corner[2], corner[0]),
                             w2 = side(corner[0], corner[1]);
                if (w0 < -1e-6 || w1 < -1e-6 || w2 < -1e-6)
                    continue;
                const double z = w0 * corner[0][2] + w1 * corner[1][2] + w2 * corner[2][2];
                covered[size_t(j) * size_t(nx) + size_t(i)] = 1;
                offSurface += std::abs(z - field.At(i, j)) > 1e-5;
            }
    }
    EXPECT_EQ(misoriented, 0);
    EXPECT_EQ(offSurface, 0);
    EXPECT_EQ(std::count(covered.begin(), covered.end(), 0), 0);
    int unpaired = 0;
    for (const auto &[edge, uses] : edges) {
        const auto reverse = edges.find({edge.second, edge.first});
        unpaired += uses != 1 || reverse == edges.end() || reverse->second != 1;
    }
    EXPECT_EQ(unpaired, 0);

    // Over each square of four centres: two triangles of half its area at the mean of their
    // corners' heights above the bottom.
    const double bottom = double(float(PartBottom(field))), half = r * r / 2;
    double expected = 0;
    for (int32_t j = 0; j + 1 < ny; ++j)
        for (int32_t i = 0; i + 1 < nx; ++i) {
            const double a = field.At(i, j), b = field.At(i + 1, j), c = field.At(i + 1, j + 1),
                         d = field.At(i, j + 1);
            expected += half * ((a + b + c) / 3 - bottom) + half * ((a + c + d) / 3 - bottom);
        }
    EXPECT_NEAR(volume, expected, 1e-4 * expected);
    return count;
}

// Flat areas of one height become a few large triangles; everything else keeps two triangles a
// square of four centres. The walls and the bottom stay three triangles a border edge.
TEST(PartExport, StlIsAClosedExactSolidWithFlatAreasMerged) {
    const HeightField grooved = groovedPart();
    EXPECT_LT(grooved.Deepest(), -1.0f);
    const uint32_t unmerged = 2u * 39 * 29 + 3 * (2 * 39 + 2 * 29);
    const uint32_t groovedCount = checkStl(grooved);
    EXPECT_LT(groovedCount, unmerged);
    EXPECT_GT(groovedCount, unmerged / 4); // the ball's curved track stays fine

    const HeightField pocketed = pocketedPart();
    ASSERT_EQ(pocketed.Columns(), 220);
    EXPECT_EQ(pocketed.Deepest(), -3.5f);
    const uint32_t pocketedCount = checkStl(pocketed);
    EXPECT_LT(pocketedCount, 2u * 219 * 179 / 10);

    // untouched stock: the top is two triangles, each wall two and the bottom four
    HeightField flat;
    UserMessage message;
    ASSERT_TRUE(flat.Reset({0, 0, 3, 2, 1}, 0.1, message));
    EXPECT_EQ(checkStl(flat), 2u + 3 * 4);

    // a checkerboard of heights leaves nothing to merge
    HeightField board;
    ASSERT_TRUE(board.Reset({0, 0, 1, 1, 0}, 0.1, message));
    for (int32_t j = 0; j < 10; ++j)
        for (int32_t i = 0; i < 10; ++i)
            board.Writable()[j * 10 + i] = float((i + j) % 2) * -0.5f;
    EXPECT_EQ(checkStl(board), 2u * 9 * 9 + 3 * (2 * 9 + 2 * 9));
}

TEST(PartExport, StlNeedsTwoByTwoCells) {
    HeightField field;
    UserMessage message;
    ASSERT_TRUE(field.Reset({0, 0, 0.1, 5, 0}, 0.1, message));
    OutputFile out;
    test::ScratchFolder folder;
    ASSERT_TRUE(out.Open((folder.path() / "x.stl").string(), OutputFile::Mode::Replace));
    EXPECT_FALSE(WriteStl(field, out, message));
    EXPECT_EQ(message.Filled(),
              "Für eine STL-Datei braucht das Werkstück mindestens 2 × 2 Zellen.");
    ASSERT_TRUE(field.Reset({1e7, 0, 1e7 + 1, 1, 0}, 0.01, message));
    EXPECT_FALSE(WriteStl(field, out, message));
    EXPECT_NE(message.Filled().find("zu fein"), std::string::npos);
}

TEST(PartExport, PfmHeaderAndRowsFromTheBottomUp) {
    const HeightField field = groovedPart();
    const std::string pfm = written([&](OutputFile &out) { WritePfm(field, out); });
    const std::string header = "Pf\n40 30\n-1.0\n";
    ASSERT_EQ(pfm.size(), header.size() + 40 * 30 * 4);
    EXPECT_EQ(pfm.substr(0, header.size()), header);
    int different = 0;
    for (int32_t j = 0; j < 30; ++j)
        for (int32_t i = 0; i < 40; ++i)
            different += std::bit_cast<uint32_t>(field.At(i, j)) !=
                         uint32At(pfm, header.size() + 4 * size_t(j * 40 + i));
    EXPECT_EQ(different, 0);
    // the crossing groove at x = 2 lowers column 19 and 20 of the top row too
    EXPECT_LT(floatAt(pfm, header.size() + 4 * size_t(29 * 40 + 19)), -0.7f);
}

// From above, the part fills the picture less its margin; the groove is darker than the stock.
TEST(PartImage, TopViewShowsTheGrooveInsideTheMargin) {
    const HeightField field = groovedPart();
    ViewState view;
    view.rotxv = FixedViewDataOf(FixedView::Top).rotxv;
    view.rotzv = FixedViewDataOf(FixedView::Top).rotzv;
    QImage image(400, 300, kPartFormat);
    FitPartView(view, field, image.width(), image.height());
    PaintPart(image, field, view);
    int x0 = image.width(), x1 = -1, y0 = image.height(), y1 = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
    // 3.9 x 2.9 between the outer centres, in a 350 x 250 box: 250 / 2.9 pixels a unit
    EXPECT_NEAR(y1 - y0, 250 * 2.9 / 3.0, 2);
    EXPECT_NEAR((x0 + x1) / 2.0, 200, 1);
    EXPECT_NEAR((y0 + y1) / 2.0, 150, 1);
    // the groove at x = 2 runs up the middle; the stock's corner is untouched
    const auto brightness = [&](QPoint p) { return qGray(image.pixel(p)); };
    EXPECT_LT(brightness({200, 150}), brightness({x0 + 2, y0 + 2}) - 40);
}

// A pixel of the picture leads back to the cell drawn there: the picked cell's centre lies at
// that pixel, within a cell's size on the screen. The background leads nowhere.
TEST(PartImage, PickFindsTheCellUnderAPixel) {
    const HeightField field = groovedPart();
    for (const FixedView fixed : {FixedView::Top, FixedView::Isometric}) {
        ViewState view;
        const FixedViewData &angles = FixedViewDataOf(fixed);
        view.rotxv = angles.rotxv;
        view.rotzv = angles.rotzv;
        FitPartView(view, field, 400, 300);
        const tmat44 m = ViewMatrix(view, 400, 300);
        const double cellPixels = field.Resolution() * view.zoom;
        int picked = 0;
        for (int y = 80; y <= 220; y += 10)
            for (int x = 100; x <= 300; x += 10) {
                const auto cell = PickPartCell(field, view, 400, 300, QPoint(x, y));
                if (!cell)
                    continue;
                const auto [i, j] = *cell;
                // on a steep wall the surface between two centres spans many pixels
                const auto steep = [&](int32_t di, int32_t dj) {
                    const int32_t ni = std::clamp(i + di, 0, field.Columns() - 1);
                    const int32_t nj = std::clamp(j + dj, 0, field.Rows() - 1);
                    return std::abs(field.At(ni, nj) - field.At(i, j)) > 0.05;
                };
                if (steep(1, 0) || steep(-1, 0) || steep(0, 1) || steep(0, -1))
                    continue;
                ++picked;
                int32_t px = 0, py = 0;
                koordmat(m, field.CellX(i), field.CellY(j), field.At(i, j), 0, 0, 0, 0, 0, 0, px,
                         py);
                EXPECT_LE(std::hypot(px - x, py - y), cellPixels + 1.5) << x << "," << y;
            }
        EXPECT_GT(picked, 15);
        EXPECT_FALSE(PickPartCell(field, view, 400, 300, QPoint(2, 2)));
    }
}

class SimulateCommand : public ::testing::Test {
protected:
    int run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "simulate");
        out.str({});
        err.str({});
        return cli::RunCli(arguments, out, err);
    }
    std::string file(const std::string &name) const { return (folder.path() / name).string(); }

    test::ScratchFolder folder;
    std::ostringstream out, err;
};

// A rapid into the stock and along it cuts like a feed move.
TEST_F(SimulateCommand, WritesTheThreeOutputsOfARapidGroove) {
    test::WriteFile(file("groove.nc"), "G0 X0 Y0 Z5\nG0 Z-1\nG0 X10\nG0 Z5\nM30\n");
    ASSERT_EQ(run({"--tool", "flat:2", "--resolution=0.5", "--stock", "-2,-2,12,2,0", "--heightmap",
                   file("part.pfm"), "--stl", file("part.stl"), "--image", file("part.png"),
                   "--view", "xy", file("groove.nc")}),
              0)
        << err.str();
    EXPECT_EQ(out.str(), "Stock: X -2 to 12, Y -2 to 2, top Z 0\nGrid: 28 × 8 cells of 0.5\n"
                         "Deepest point: Z -1\n");
    const std::string pfm = test::ReadFile(file("part.pfm"));
    const std::string header = "Pf\n28 8\n-1.0\n";
    ASSERT_EQ(pfm.size(), header.size() + 28 * 8 * 4);
    EXPECT_EQ(pfm.substr(0, header.size()), header);
    EXPECT_EQ(floatAt(pfm, header.size() + 4 * (3 * 28 + 10)), -1.0f); // (3.25, -0.25): groove
    EXPECT_EQ(floatAt(pfm, header.size() + 4 * (0 * 28 + 10)), 0.0f);  // (3.25, -1.75): beside
    // the flat floor and the untouched top are merged into large triangles
    const std::string stl = test::ReadFile(file("part.stl"));
    EXPECT_LT(uint32At(stl, 80), 2u * 27 * 7 + 3 * (2 * 27 + 2 * 7));
    EXPECT_EQ(stl.size(), 84 + 50 * size_t(uint32At(stl, 80)));
    EXPECT_TRUE(QImage(QString::fromStdString(file("part.png"))).size() == QSize(1024, 768));
}

// A tool table: each T number's tool from its M6 on; a plain --tool serves before the first
// change and for numbers without a tool, else the lowest number's tool does.
TEST_F(SimulateCommand, ToolTableMillsEachToolsMoves) {
    test::WriteFile(file("two.nc"), "T1 M6\nG0 X0 Y0 Z5\nG1 Z-1 F100\nG1 X10\nG0 Z5\n"
                                    "T2 M6\nG0 X0 Y5\nG1 Z-1\nG1 X10\nG0 Z5\nM30\n");
    // cell (5.25, 0.75) beside the first groove, (5.25, 5.75) beside the second
    const auto heights = [&](std::vector<std::string> tools) {
        std::vector<std::string> arguments = {"--resolution=0.5", "--stock",       "-2,-2,12,7,0",
                                              "--heightmap",      file("two.pfm"), file("two.nc")};
        arguments.insert(arguments.begin(), tools.begin(), tools.end());
        EXPECT_EQ(run(arguments), 0) << err.str();
        const std::string pfm = test::ReadFile(file("two.pfm"));
        const size_t header = std::string("Pf\n28 18\n-1.0\n").size();
        EXPECT_EQ(pfm.size(), header + 28 * 18 * 4);
        if (pfm.size() != header + 28 * 18 * 4)
            return std::pair<float, float>{};
        return std::pair{floatAt(pfm, header + 4 * (5 * 28 + 14)),
                         floatAt(pfm, header + 4 * (15 * 28 + 14))};
    };
    const float ball = float(-1 + (1 - std::sqrt(1 - 0.75 * 0.75)));
    EXPECT_EQ(heights({"--tool", "T1=flat:2", "--tool", "T2=ball:2"}),
              (std::pair<float, float>{-1.0f, ball}));
    EXPECT_EQ(heights({"--tool", "ball:2", "--tool", "T1=flat:2"}),
              (std::pair<float, float>{-1.0f, ball}));
    EXPECT_EQ(heights({"--tool", "flat:2"}), (std::pair<float, float>{-1.0f, -1.0f}));
    EXPECT_EQ(run({"--tool", "T1=flat:2", "--tool", "t1=ball:2", file("two.nc")}), cli::kUsage);
    EXPECT_NE(err.str().find("--tool: expected Tn=TOOL"), std::string::npos) << err.str();
}

TEST_F(SimulateCommand, ErrorsSayWhatIsWrong) {
    test::WriteFile(file("p.nc"), "G1 X10 Y5 Z-1\nM30\n");
    const std::string program = file("p.nc");
    test::WriteFile(file("far.nc"), "G1 X2000000000 Y5 Z-1\nM30\n");
    const std::string far = file("far.nc");
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } cases[] = {
        {{program}, cli::kUsage, "--tool is missing"},
        {{"--tool", "cone:3", program}, cli::kUsage, "--tool: expected flat:D, ball:D or vbit"},
        {{"--tool", "vbit:3:180", program}, cli::kUsage, "--tool: expected"},
        {{"--tool", "ball:-1", program}, cli::kUsage, "--tool: expected"},
        {{"--tool", "ball:1", "--resolution", "0", program}, cli::kUsage, "--resolution: not a"},
        {{"--tool", "ball:1", "--stock", "0,0,0,1,0", program}, cli::kUsage, "--stock: expected"},
        {{"--tool", "ball:1", "--stock", "0,0,1,1", program}, cli::kUsage, "--stock: expected"},
        {{"--tool", "ball:1", "--view", "top", program}, cli::kUsage, "--view: not xy"},
        {{"--tool", "ball:1", "--stl"}, cli::kUsage, "--stl needs a value"},
        {{"--tool", "ball:1", file("missing.nc")},
         cli::kFailure,
         "cannot open " + file("missing.nc") + ": No such file or folder"},
        // Values beyond the range of a stock say what reaches beyond it.
        {{"--tool", "ball:1", "--stock", "0,0,10,10,1e300", "--heightmap", file("h.pfm"), program},
         cli::kUsage,
         "--stock: expected XMIN,YMIN,XMAX,YMAX,ZTOP with XMIN < XMAX, YMIN < YMAX and every value "
         "between -1000000000 and 1000000000: 0,0,10,10,1e300"},
        {{"--tool", "ball:1", "--stock", "-1e308,0,1e308,10,0", program},
         cli::kUsage,
         "every value between -1000000000 and 1000000000: -1e308,0,1e308,10,0"},
        {{"--tool", "flat:1e300", program},
         cli::kUsage,
         "--tool: the diameter 1e+300 is larger than 1000000000"},
        {{"--tool", "ball:1", far},
         cli::kFailure,
         "The stock X -0.5 to 2000000000.5, Y -0.5 to 5.5, top Z 0 reaches beyond ±1000000000."},
        // An empty file name is no file name.
        {{"--tool", "ball:1", "--heightmap", "", program},
         cli::kUsage,
         "--heightmap needs a file name"},
        {{"--tool", "ball:1", "--stl=", program}, cli::kUsage, "--stl needs a file name"},
        {{"--tool", "ball:1", "--image", "", program}, cli::kUsage, "--image needs a file name"},
        {{"--tool", "ball:1", "--resolution", "1e-9", program},
         cli::kFailure,
         "cells is too large: at most 2147483647 cells in each direction."},
        {{"--tool", "ball:1", "--resolution", "1e-5", program},
         cli::kFailure,
         "The part of 1100000 × 600000 cells needs 2.6 TB of memory; only "},
        {{"--tool", "ball:1", "--stl", file("no/such/folder.stl"), program},
         cli::kFailure,
         "cannot create"},
        {{"--tool", "ball:1", "--stock", "0,0,0.1,5,0", "--resolution", "0.1", "--stl",
          file("thin.stl"), program},
         cli::kFailure,
         "An STL file needs a part of at least 2 × 2 cells."},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(run(c.arguments), c.status) << c.message;
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    }
    EXPECT_EQ(test::FileNamesIn(folder.path()), (std::vector<std::string>{"far.nc", "p.nc"}));
}

// The stock is told as the program facts tell their figures: to the thousandth.
TEST_F(SimulateCommand, TheStockIsToldRounded) {
    test::WriteFile(file("p.nc"), "G0 X0 Y0\nG1 X10 Y5 F100\nG1 X-3.3 Y-11.2\nM30\n");
    ASSERT_EQ(run({"--tool", "ball:1.3", "--resolution", "0.1", file("p.nc")}), 0) << err.str();
    EXPECT_EQ(out.str(), "Stock: X -3.95 to 10.65, Y -11.85 to 5.65, top Z 0\n"
                         "Grid: 146 × 175 cells of 0.1\nDeepest point: Z 0\n");
}

} // namespace
