// Programs of the strategy "Fläche" milled by the machining preview, through the command line's
// relief and simulate commands: the finished part stays above the target surface within the
// tolerance (at a wall: above the lowest target within one pixel, a wall's position inside a
// pixel is no gouge), the roughed part above the target plus the stock to leave.

#include "cli/cli.h"
#include "relief/dropcutter.h"
#include "relief/surfacerelief.h"

#include "../common/testfiles.h"
#include "testpictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

namespace morvilo {
namespace {

using test::Grey;
using test::Rgb;

// 60 x 40 pixels: a dome, a raised block with sharp walls, a ramp.
dib testPicture() {
    std::vector<std::vector<Rgb>> rows;
    for (int r = 0; r < 40; ++r) {
        std::vector<Rgb> row;
        for (int c = 0; c < 60; ++c) {
            const double dome =
                std::max(0.0, 1 - (std::pow(c - 18, 2) + std::pow(r - 20, 2)) / 250);
            const bool block = c >= 38 && c <= 50 && r >= 8 && r <= 30;
            const double ramp = c > 52 ? (c - 52) / 8.0 : 0;
            row.push_back(Grey(
                uint8_t(std::min(255.0, 30 + 200 * std::max({dome, ramp}) + (block ? 180 : 0)))));
        }
        rows.push_back(row);
    }
    return test::MakePicture24(rows);
}

struct Pfm {
    int width = 0, height = 0;
    std::vector<float> cells;
};

Pfm readPfm(const std::string &bytes) {
    Pfm pfm;
    std::istringstream in(bytes);
    std::string magic, scale;
    in >> magic >> pfm.width >> pfm.height >> scale;
    in.get();
    pfm.cells.resize(size_t(pfm.width) * size_t(pfm.height));
    in.read(reinterpret_cast<char *>(pfm.cells.data()), std::streamsize(pfm.cells.size() * 4));
    return pfm;
}

int run(const std::vector<std::string> &arguments) {
    std::ostringstream out, err;
    const int status = cli::RunCli(arguments, out, err);
    EXPECT_EQ(status, 0) << err.str();
    return status;
}

// The lowest target height within one pixel pitch of (x, y): at the corners of the bilinear
// pieces of the square around it.
double lowestNear(const HeightGrid &grid, double x, double y) {
    std::vector<double> us{x - grid.pitch, x + grid.pitch, x},
        vs{y - grid.pitch, y + grid.pitch, y};
    for (int c = 0; c < grid.columns; ++c)
        if (std::fabs(c * grid.pitch - x) < grid.pitch)
            us.push_back(c * grid.pitch);
    for (int r = 0; r < grid.rows; ++r)
        if (std::fabs(r * grid.pitch - y) < grid.pitch)
            vs.push_back(r * grid.pitch);
    double lowest = INFINITY;
    for (double u : us)
        for (double v : vs)
            lowest = std::min(lowest, grid.Height(u, v));
    return lowest;
}

struct Scores {
    int cells = 0, gouges = 0, within = 0;
    double rms = 0;
};

// The milled part of program against the target raised by raise.
Scores score(const test::ScratchFolder &folder, const std::string &program, const std::string &tool,
             const HeightGrid &grid, double raise, double tolerance) {
    const double width = grid.pitch * (grid.columns - 1), height = grid.pitch * (grid.rows - 1);
    const std::string pfm = (folder / "part.pfm").string();
    std::ostringstream stock;
    stock << "0,0," << width << "," << height << ",0";
    run({"simulate", "--tool", tool, "--stock", stock.str(), "--resolution", "0.05", "--heightmap",
         pfm, program});
    const Pfm part = readPfm(test::ReadFile(pfm));
    Scores s;
    for (int j = 0; j < part.height; ++j)
        for (int i = 0; i < part.width; ++i) {
            const double x = (i + 0.5) * width / part.width, y = (j + 0.5) * height / part.height;
            const double cell = part.cells[size_t(j) * size_t(part.width) + size_t(i)];
            const double target = std::min(0.0, grid.Height(x, y) + raise);
            const double lowest = std::min(0.0, lowestNear(grid, x, y) + raise);
            ++s.cells;
            s.gouges += cell < lowest - tolerance - 1e-4;
            s.within += std::fabs(cell - target) <= 0.05;
            s.rms += (cell - target) * (cell - target);
        }
    s.rms = std::sqrt(s.rms / s.cells);
    return s;
}

// The target of the test picture, 12 mm wide, 1 mm deep, Z growing upwards.
HeightGrid targetGrid() {
    ReliefParameters p;
    p.width = 12;
    p.tiefe = -1;
    const TargetSurface target = ComputeTargetSurface(p, testPicture());
    HeightGrid grid;
    grid.columns = target.columns;
    grid.rows = target.rows;
    grid.pitch = target.pitch;
    grid.heights = target.depth;
    return grid;
}

std::vector<std::string> reliefArguments(const std::string &picture, const std::string &output,
                                         const std::string &tool) {
    return {"relief",  picture,     output,       "--strategy", "surface", "--tool", tool,
            "--width", "12",        "--distance", "0.2",        "--depth", "-1",     "--safe",
            "5",       "--profile", "linuxcnc",   "--decimals", "4"};
}

// With arcs (G18 along X, G19 along Y): their direction and centres as the interpreter reads
// them keep the part on the target.
TEST(SurfaceMilling, FinishedPartStaysOnTheTarget) {
    test::ScratchFolder folder;
    const std::string picture = (folder / "picture.bmp").string();
    test::WriteBmp24(picture, testPicture());
    const HeightGrid grid = targetGrid();
    const struct {
        std::string tool, direction;
    } cases[] = {{"ball:1", "x"}, {"flat:1", "x"}, {"vbit:1:90", "x"}, {"ball:1", "y"}};
    for (const auto &[tool, direction] : cases) {
        SCOPED_TRACE(tool + " " + direction);
        const std::string program = (folder / "finish.nc").string();
        std::vector<std::string> arguments = reliefArguments(picture, program, tool);
        arguments.insert(arguments.end(), {"--direction", direction});
        run(arguments);
        const std::string text = test::ReadFile(program);
        EXPECT_NE(text.find(direction == "x" ? "G18 G" : "G19 G"), std::string::npos);
        const Scores s = score(folder, program, tool, grid, 0, 0.01);
        EXPECT_EQ(s.gouges, 0);
        if (tool == "ball:1") {
            EXPECT_GT(s.within, s.cells * 85 / 100);
            EXPECT_LT(s.rms, 0.1);
        }
    }
}

TEST(SurfaceMilling, RoughedPartKeepsTheStockToLeave) {
    test::ScratchFolder folder;
    const std::string picture = (folder / "picture.bmp").string();
    test::WriteBmp24(picture, testPicture());
    const HeightGrid grid = targetGrid();
    for (const std::string tool : {"flat:2", "ball:1.5", "vbit:2:60"}) {
        SCOPED_TRACE(tool);
        const std::string rough = (folder / "rough.nc").string();
        std::vector<std::string> arguments =
            reliefArguments(picture, (folder / "finish.nc").string(), "ball:1");
        for (const std::string &word :
             {std::string("--rough"), tool, std::string("--stepdown"), std::string("0.3"),
              std::string("--leave"), std::string("0.2"), std::string("--rough-output"), rough})
            arguments.push_back(word);
        run(arguments);
        const Scores s = score(folder, rough, tool, grid, 0.2, 0.01);
        EXPECT_EQ(s.gouges, 0);
        // The roughing took most of the material above the target plus the stock to leave.
        EXPECT_GT(s.within, s.cells / 4);
    }
}

} // namespace
} // namespace morvilo
