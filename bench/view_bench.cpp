// The per-point transform of the backplot: koordmat over 10 million plot points through the
// isometric view, once without rotary axes (the usual milling program) and once with A, B and C
// turned on every point. Reports the time per point (per_point) and points per second.

#include "view/viewmath.h"
#include "view/viewstate.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

using namespace morvilo;

namespace {

constexpr int64_t kPoints = 10'000'000;
constexpr size_t kRing = 1 << 16; // points cycled through (4.5 MB): a plot list streams from memory

struct Point {
    double x, y, z, a, b, c, u, v, w;
};

std::vector<Point> makePoints(bool rotary) {
    std::vector<Point> points(kRing);
    for (size_t i = 0; i < kRing; ++i) {
        const double t = double(i);
        points[i] = {t * 0.01, 50 - t * 0.003, -2 + (i % 17) * 0.1, 0, 0, 0, 0, 0, 0};
        if (rotary)
            points[i].a = (i % 360) + 0.5, points[i].b = (i % 90) * 0.25, points[i].c = -t * 0.01;
    }
    return points;
}

void runKoordmat(benchmark::State &state, bool rotary) {
    const std::vector<Point> points = makePoints(rotary);
    const tmat44 mat = ViewMatrix(ViewState{}, 1600, 1000);
    for (auto _ : state) {
        int64_t sum = 0;
        for (int64_t i = 0; i < kPoints; ++i) {
            const Point &p = points[size_t(i) & (kRing - 1)];
            int32_t sx, sy;
            koordmat(mat, p.x, p.y, p.z, p.a, p.b, p.c, p.u, p.v, p.w, sx, sy);
            sum += sx ^ sy;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
    state.counters["per_point"] =
        benchmark::Counter(double(kPoints), benchmark::Counter::kIsIterationInvariantRate |
                                                benchmark::Counter::kInvert);
}

void BM_KoordmatNoRotary(benchmark::State &state) {
    runKoordmat(state, false);
}

void BM_KoordmatRotary(benchmark::State &state) {
    runKoordmat(state, true);
}

} // namespace

BENCHMARK(BM_KoordmatNoRotary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KoordmatRotary)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
