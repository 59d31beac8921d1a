// The relief generator on a photograph-sized picture: a 4000 x 3000 picture, motif width
// 400, path distance 0.1, 16 levels, written to a file. Reports output bytes per second
// (bytes_per_second) and pictures per second (items_per_second).

#include "relief/dropcutter.h"
#include "relief/reliefgenerator.h"
#include "relief/surfacerelief.h"
#include "vantrel/fixedformat.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <unistd.h>

using namespace morvilo;

namespace {

// Smooth light falling across the picture, a few bright and dark discs and grain: runs of
// every length at every level, as in a photograph.
dib photographLikePicture(int width, int height) {
    dib d;
    d.pmi.biWidth = width;
    d.pmi.biHeight = height;
    d.pmi.biBitCount = 24;
    d.bytew = (int64_t(width) * 3 + 3) / 4 * 4;
    d.pixels.resize(size_t(d.bytew) * size_t(height));
    d.poih = true;
    std::mt19937 random(2026);
    std::normal_distribution<double> grain(0, 6);
    struct Disc {
        double x, y, r, light;
    } discs[] = {{0.3, 0.4, 0.15, 80}, {0.7, 0.6, 0.2, -90}, {0.5, 0.2, 0.08, 60}};
    for (int y = 0; y < height; ++y) {
        uint8_t *row = d.row(y);
        for (int x = 0; x < width; ++x) {
            const double u = double(x) / width, v = double(y) / height;
            double light = 128 + 90 * std::sin(3.1 * u + 1.3) * std::cos(2.3 * v) + grain(random);
            for (const Disc &disc : discs)
                if (std::hypot(u - disc.x, v - disc.y) < disc.r)
                    light += disc.light;
            const auto channel = [](double c) { return uint8_t(std::clamp(c, 0.0, 255.0)); };
            row[3 * x + 0] = channel(light * 0.9);
            row[3 * x + 1] = channel(light);
            row[3 * x + 2] = channel(light * 1.05);
        }
    }
    return d;
}

// Each iteration writes a program into a temporary file with write; the bytes written per
// second and per picture.
void writeEachTime(benchmark::State &state, const std::function<void(OutputFile &)> &write) {
    char path[] = "/tmp/morvilo-bench-XXXXXX";
    const int fd = ::mkstemp(path);
    ::close(fd);
    uint64_t bytes = 0;
    for (auto _ : state) {
        OutputFile out;
        out.Open(path, OutputFile::Mode::OwnTemporary);
        write(out);
        bytes += out.BytesWritten();
        if (!out.Commit())
            state.SkipWithError(out.Error().c_str());
    }
    ::unlink(path);
    state.SetBytesProcessed(int64_t(bytes));
    state.counters["MB_per_picture"] = double(bytes) / 1e6 / double(state.iterations());
}

void BM_ReliefPhotograph(benchmark::State &state) {
    static const dib picture = photographLikePicture(4000, 3000);
    ReliefParameters p;
    p.width = 400;
    p.abstandfr = 0.1;
    p.levels = 16;
    writeEachTime(state, [&](OutputFile &out) { WriteRelief(p, picture, out); });
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReliefPhotograph)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

// The level map of the picture page for the same picture and grid (4000 x 3000 cells, kept
// as every second cell each way: the window keeps at most 2^22): what every change of a
// panel value costs. The argument is the number of levels; alternating two level counts
// (the second benchmark) is what typing into "Tiefen Abstufungen" does.
void BM_LevelMap(benchmark::State &state) {
    static const dib picture = photographLikePicture(4000, 3000);
    ReliefParameters p;
    p.width = 400;
    p.abstandfr = 0.1;
    p.levels = int(state.range(0));
    uint64_t cells = 0;
    for (auto _ : state) {
        const ReliefLevelMap map = ComputeLevelMap(p, picture, uint64_t(1) << 22);
        cells += map.cells.size();
        benchmark::DoNotOptimize(map.cells.data());
    }
    state.SetItemsProcessed(int64_t(cells));
}
BENCHMARK(BM_LevelMap)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LevelMapLevelsChange(benchmark::State &state) {
    static const dib picture = photographLikePicture(4000, 3000);
    ReliefParameters p;
    p.width = 400;
    p.abstandfr = 0.1;
    int round = 0;
    for (auto _ : state) {
        p.levels = ++round % 2 ? 16 : 17;
        const ReliefLevelMap map = ComputeLevelMap(p, picture, uint64_t(1) << 22);
        benchmark::DoNotOptimize(map.cells.data());
    }
}
BENCHMARK(BM_LevelMapLevelsChange)->Unit(benchmark::kMillisecond)->UseRealTime();

// A dry run of the photograph with the LinuxCNC profile: the figures the picture page shows.
void BM_ReliefDryRun(benchmark::State &state) {
    static const dib picture = photographLikePicture(4000, 3000);
    ReliefParameters p;
    p.width = 400;
    p.abstandfr = 0.1;
    p.sicher = 5;
    p.tiefe = -1;
    p.profile = *FindProfile(BuiltInProfiles(), "linuxcnc");
    for (auto _ : state)
        benchmark::DoNotOptimize(MeasureRelief(p, picture).bytes);
}
BENCHMARK(BM_ReliefDryRun)->Unit(benchmark::kMillisecond)->UseRealTime();

// The strategy "Fläche" on the photograph: 1 mm ball, paths 0.1 apart, rows along X, the
// LinuxCNC profile (arcs), written to a file: what `morvilo-cli relief ... --strategy surface`
// does after reading the picture.
void BM_SurfacePhotograph(benchmark::State &state) {
    static const dib picture = photographLikePicture(4000, 3000);
    ReliefParameters p;
    p.strategy = ReliefStrategy::Surface;
    p.width = 400;
    p.abstandfr = 0.1;
    p.sicher = 5;
    p.tiefe = -3;
    p.profile = *FindProfile(BuiltInProfiles(), "linuxcnc");
    p.surface.tool = {ToolShape::Ball, 1, 90};
    writeEachTime(state, [&](OutputFile &out) { WriteSurfaceRelief(p, picture, &out, nullptr); });
}
BENCHMARK(BM_SurfacePhotograph)->Unit(benchmark::kMillisecond)->MinTime(5)->UseRealTime();

// One row of tool heights across the photograph (8000 positions of a 1 mm ball), 8 (argument
// 1, where the processor has AVX2) or 4 positions at a time.
void BM_DropCutterRow(benchmark::State &state) {
    static const dib picture = photographLikePicture(4000, 3000);
    ReliefParameters p;
    p.width = 400;
    p.tiefe = -3;
    const TargetSurface target = ComputeTargetSurface(p, picture);
    HeightGrid grid;
    grid.columns = target.columns;
    grid.rows = target.rows;
    grid.pitch = target.pitch;
    grid.heights = target.depth;
    const MillingTool tool{ToolShape::Ball, 1, 90};
    const DropCutter cutter(grid, tool, DropCutter::SubdivisionsFor(grid.pitch, tool));
    const bool wide = DropCutter::UseWideVectors(state.range(0) != 0);
    std::vector<float> row(size_t(cutter.RowSamples()));
    DropCutter::RowCache cache;
    double v = 0;
    for (auto _ : state) {
        cutter.Row(v, row.data(), cache);
        benchmark::DoNotOptimize(row.data());
        v = v > 290 ? 0 : v + 0.1;
    }
    DropCutter::UseWideVectors(true);
    state.SetItemsProcessed(state.iterations() * cutter.RowSamples());
    state.counters["wide"] = wide;
}
BENCHMARK(BM_DropCutterRow)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_FormatFixed(benchmark::State &state) {
    char text[kMaxFixedText];
    long double v = 0.0L;
    const long double step = 400.0L / 3999;
    size_t total = 0;
    for (auto _ : state) {
        total += FormatFixed(v, 4, text);
        benchmark::DoNotOptimize(text);
        v += step;
        if (v > 400)
            v = 0;
    }
    state.SetBytesProcessed(int64_t(total));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatFixed);

} // namespace

BENCHMARK_MAIN();
