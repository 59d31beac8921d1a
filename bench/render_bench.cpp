// The backplot's full repaint: 10 million plot points through the isometric view, zoomed to fit,
// into a 1200 x 800 picture (segments in their pens, squares at the rapid-move ends, the axis
// cross) and into the pick map. Two plots: a surface of short feed moves in rows, each row
// reached by a dotted rapid move, and relief runs (rapid, plunge, cut, retract), whose rapid
// ends all get a square; and half circles stored as arc records. Reports milliseconds per paint,
// and for the search of the caret marker's segment.

#include "interpreter/plotlist.h"
#include "view/plotrenderer.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>

#include <cmath>
#include <cstdint>
#include <memory>

using namespace morvilo;

namespace {

constexpr uint32_t kSegments = 10'000'000;
constexpr QSize kBoxSize(1200, 800);

void addPoint(TPlotList &lines, int64_t source, double x, double y, double z, int8_t typ,
              int32_t col, uint8_t style) {
    t9dline r{};
    r.zeilevon = source;
    r.zeilebis = source + 19; // the last byte of a 20-byte line: the next line begins after it
    r.x = x;
    r.y = y;
    r.z = z;
    r.typ = typ;
    r.col = col;
    r.style = style;
    lines.Add(r);
}

// 2000 rows of 5000 points; z follows a smooth surface.
std::unique_ptr<TPlotList> surfacePlot() {
    auto lines = std::make_unique<TPlotList>();
    constexpr uint32_t kRows = 2000, kColumns = kSegments / kRows;
    for (uint32_t row = 0; row < kRows; ++row) {
        const double y = row * 0.05;
        addPoint(*lines, row * 100000, 0, y, 5, 1, kColourRapid, psDot);
        for (uint32_t c = 1; c < kColumns; ++c) {
            const double x = c * 0.02;
            const double z = std::sin(x * 0.1) * std::cos(y * 0.07) * 3;
            addPoint(*lines, row * 100000 + c * 20, x, y, z, 1, kColourWhite, psSolid);
        }
    }
    return lines;
}

// Relief runs of four points: rapid approach, plunge, cut, retract.
std::unique_ptr<TPlotList> reliefPlot() {
    auto lines = std::make_unique<TPlotList>();
    constexpr uint32_t kRuns = kSegments / 4, kPerRow = 2500;
    for (uint32_t run = 0; run < kRuns; ++run) {
        const double y = (run / kPerRow) * 0.1, x = (run % kPerRow) * 0.04;
        const double depth = -1 - (run % 7) * 0.3;
        const int64_t source = int64_t(run) * 80;
        addPoint(*lines, source, x, y, 2, 1, kColourRapid, psDot);
        addPoint(*lines, source + 20, x, y, depth, 1, kColourWhite, psSolid);
        addPoint(*lines, source + 40, x + 0.03, y, depth, 1, kColourWhite, psSolid);
        addPoint(*lines, source + 60, x + 0.03, y, 2, 1, kColourWhite, psSolid);
    }
    return lines;
}

// Half circles of a hundred points each, stored as arc records: their points are computed as
// they are read.
std::unique_ptr<TPlotList> arcPlot() {
    auto lines = std::make_unique<TPlotList>();
    constexpr uint32_t kArcs = kSegments / 100, kPerRow = 400;
    for (uint32_t k = 0; k < kArcs; ++k) {
        const double mx = (k % kPerRow) * 5.0, my = (k / kPerRow) * 5.0;
        t9dline r{};
        r.zeilevon = int64_t(k) * 30;
        r.zeilebis = r.zeilevon + 29;
        r.typ = 1;
        r.col = k % 2 ? kColourCw : kColourCcw;
        r.style = psSolid;
        const TPlotArcPoints arc{0, k % 2 ? -M_PI : M_PI, 99, 2, mx, my, -1, 0, 0, 1, 2};
        lines->AddArcPoints(arc, 100, r);
    }
    return lines;
}

const char *plotName(int which) {
    return which == 0 ? "surface" : which == 1 ? "relief" : "arcs";
}

// Each plot is made at its first use, so that a run of one benchmark holds only its own.
const TPlotList &plotOf(int which) {
    if (which == 0) {
        static const auto surface = surfacePlot();
        return *surface;
    }
    if (which == 2) {
        static const auto arcs = arcPlot();
        return *arcs;
    }
    static const auto relief = reliefPlot();
    return *relief;
}

// The start-up view, zoomed so that the plot fills the box.
ViewState fittedView(const TPlotList &lines) {
    ViewState view;
    QImage bit(kBoxSize, kPlotFormat);
    auto paint = [&] { PaintPlot(bit, lines, view, EndpointMarks::RapidMoves); };
    paint(); // zoom to fit works on the pixel box of the last paint
    ZoomToFit(view, bit.width(), bit.height(), paint);
    return view;
}

void BM_FullRepaint(benchmark::State &state) {
    const TPlotList &lines = plotOf(int(state.range(0)));
    ViewState view = fittedView(lines);
    QImage bit(kBoxSize, kPlotFormat);
    for (auto _ : state) {
        PaintPlot(bit, lines, view, EndpointMarks::RapidMoves);
        benchmark::DoNotOptimize(bit.constBits());
    }
    state.SetLabel(plotName(int(state.range(0))));
    if (qEnvironmentVariableIsSet("MORVILO_RENDER_BENCH_PICTURE"))
        bit.save(qEnvironmentVariable("MORVILO_RENDER_BENCH_PICTURE") +
                 QString::number(state.range(0)) + ".png");
}

void BM_PickMapPaint(benchmark::State &state) {
    const TPlotList &lines = plotOf(int(state.range(0)));
    ViewState view = fittedView(lines);
    QImage bitclick(kBoxSize, kPickFormat);
    for (auto _ : state) {
        PaintPickMap(bitclick, lines, view);
        benchmark::DoNotOptimize(bitclick.constBits());
    }
    state.SetLabel(plotName(int(state.range(0))));
}

// The caret marker's search at its worst: the caret in the first line, so every record is looked
// at from the last one back.
void BM_CaretSegment(benchmark::State &state) {
    const TPlotList &lines = plotOf(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(CaretSegment(lines, 0));
}

} // namespace

BENCHMARK(BM_CaretSegment)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullRepaint)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PickMapPaint)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The axis labels need fonts, and fonts the application object; no window is shown.
int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
