// The machining preview: the one-million-line relief program of bench/compare/run --quick
// (bench/compare/make_programs.py writes the same text) milled at 0.1 mm with a 1 mm ball, on one
// thread and on every core. Counters: cells/s, the cells the moves' spans visited per second,
// and points/s of the plot list. MORVILO_BENCH_RELIEF_PROGRAM names another program. The
// picture of a 4-million-cell part, from above and rotated, as the window redraws it.

#include "cli/cli.h"
#include "cli/programrun.h"
#include "simulate/heightfield.h"
#include "simulate/milling.h"
#include "view/partimage.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

using namespace morvilo;

const MillingTool kBall{ToolShape::Ball, 1.0, 0};

std::string reliefProgramPath() {
    if (const char *given = std::getenv("MORVILO_BENCH_RELIEF_PROGRAM"); given && *given)
        return given;
    const auto path = std::filesystem::temp_directory_path() /
                      ("morvilo-simulate-bench-" + std::to_string(::getpid()) + ".nc");
    std::ofstream out(path, std::ios::binary);
    char group[160];
    for (int64_t k = 0; k < 250000; ++k) {
        const double y = double(k % 2000) * 0.05, x0 = double(k % 37) * 0.05;
        const double x1 = x0 + 1 + double(k % 101) * 0.05, z = -double(k % 16) * 0.0625;
        const int n = std::snprintf(group, sizeof group,
                                    "G0 X%.4f Y%.4f\rG1 Z%.4f\rG1 X%.4f Y%.4f\rG0 Z-1.0000\r\n", x0,
                                    y, z, x1, y);
        out.write(group, n);
    }
    return path;
}

// The relief program's plot list, interpreted once per process.
const TPlotList &reliefLines() {
    static TPlotList lines;
    static const bool ran = [] {
        cli::ProgramRunOptions options;
        const std::string path = reliefProgramPath();
        options.positional = {path};
        std::ostringstream log;
        const bool done = cli::RunProgram("bench", options, lines, log) == cli::kSuccess;
        if (!done)
            std::fprintf(stderr, "the relief program did not run: %s\n", log.str().c_str());
        if (!std::getenv("MORVILO_BENCH_RELIEF_PROGRAM"))
            std::filesystem::remove(path);
        return done;
    }();
    (void)ran;
    return lines;
}

void BM_MillRelief(benchmark::State &state) {
    const TPlotList &lines = reliefLines();
    const std::optional<Stock> stock = DefaultStock(lines, kBall);
    if (!stock) {
        state.SkipWithError("no stock");
        return;
    }
    const unsigned threads =
        state.range(0) ? unsigned(state.range(0)) : std::thread::hardware_concurrency();
    HeightField field;
    UserMessage message;
    std::atomic<uint64_t> visited{0};
    for (auto _ : state) {
        state.PauseTiming();
        field.Reset(*stock, 0.1, message);
        visited = 0;
        state.ResumeTiming();
        MillingControl control;
        control.threads = threads;
        control.cellsVisited = &visited;
        MillPart(lines, kBall, field, control);
    }
    state.counters["threads"] = threads;
    state.counters["cells"] = double(field.CellCount());
    state.counters["visits/s"] = benchmark::Counter(double(visited) * double(state.iterations()),
                                                    benchmark::Counter::kIsRate);
    state.counters["points/s"] = benchmark::Counter(
        double(lines.Count()) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MillRelief)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 4-million-cell part with a groove pattern, drawn into a 1200 x 800 picture.
void BM_PaintPart(benchmark::State &state) {
    HeightField field;
    UserMessage message;
    field.Reset({0, 0, 200, 200, 0}, 0.1, message);
    float *cells = field.Writable();
    for (int32_t j = 0; j < field.Rows(); ++j)
        for (int32_t i = 0; i < field.Columns(); ++i)
            cells[size_t(j) * size_t(field.Columns()) + size_t(i)] =
                -float((i * 7 + j * 3) % 50) / 50.0f;
    ViewState view;
    if (state.range(0) == 0) {
        view.rotxv = FixedViewDataOf(FixedView::Top).rotxv;
        view.rotzv = FixedViewDataOf(FixedView::Top).rotzv;
    }
    QImage image(1200, 800, kPartFormat);
    FitPartView(view, field, image.width(), image.height());
    if (state.range(1))
        view.zoom *= 4; // closer than one cell a pixel
    for (auto _ : state)
        PaintPart(image, field, view);
    state.counters["cells"] = double(field.CellCount());
}
BENCHMARK(BM_PaintPart)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->ArgNames({"rotated", "zoomed"})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
