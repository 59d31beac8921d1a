// DXF export of a plot list of 10 million points: a milling program whose coordinates have up to
// three decimals (the usual case), and arcs whose coordinates need all 15 digits. Each is written
// once to /dev/null (the cost of making the text) and once into a file in the temporary folder
// (with the disk). Reports the time and the bytes per second.

#include "view/dxfexport.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <filesystem>

using namespace morvilo;

namespace {

constexpr uint32_t kPoints = 10'000'000;
constexpr uint32_t kRunLength = 1000; // a pen-up move after every 1000 points

void fillPlot(TPlotList &lines, bool arcs) {
    for (uint32_t i = 0; i < kPoints; ++i) {
        t9dline p{};
        p.zeilevon = int64_t(i) * 20;
        p.zeilebis = p.zeilevon + 19;
        p.typ = i % kRunLength == 0 ? 0 : 1;
        if (arcs) {
            const double t = i * 0.001;
            p.x = 40 * std::cos(t);
            p.y = 40 * std::sin(t);
            p.z = -0.0001 * (i % 5000);
        } else {
            p.x = (i % 2000) * 0.125;
            p.y = (i / 2000) * 0.2;
            p.z = -double(i % 7) * 0.001;
        }
        lines.Add(p);
    }
}

void runExport(benchmark::State &state, bool arcs, bool toDisk) {
    TPlotList lines;
    fillPlot(lines, arcs);
    const std::string file =
        toDisk ? (std::filesystem::temp_directory_path() / "morvilo_dxf_bench.dxf").string()
               : "/dev/null";
    uint64_t bytes = 0;
    for (auto _ : state) {
        const std::string error = DXFExport(lines, file);
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            break;
        }
        if (toDisk)
            bytes = std::filesystem::file_size(file);
    }
    if (toDisk) {
        std::filesystem::remove(file);
        state.SetBytesProcessed(int64_t(bytes) * int64_t(state.iterations()));
    }
    state.counters["points"] = kPoints;
}

void BM_DxfMilling(benchmark::State &state) {
    runExport(state, false, false);
}
void BM_DxfArcs(benchmark::State &state) {
    runExport(state, true, false);
}
void BM_DxfMillingToDisk(benchmark::State &state) {
    runExport(state, false, true);
}
void BM_DxfArcsToDisk(benchmark::State &state) {
    runExport(state, true, true);
}

} // namespace

BENCHMARK(BM_DxfMilling)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_DxfArcs)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_DxfMillingToDisk)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DxfArcsToDisk)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_MAIN();
