// The editor core on a large relief program: reading it line by line to the end (bytes per
// second), finding the last line by number, and one layout pass in the middle.
// The program is MORVILO_BENCH_PROGRAM when set, else a relief-like file of
// MORVILO_BENCH_MB megabytes (default 1024) made in the temporary folder and removed at exit.

#include "editor/editorcore.h"
#include "vantrel/outputfile.h"
#include "vantrel/tempfile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace morvilo;

namespace {

class BenchProgram {
public:
    BenchProgram() {
        if (const char *given = std::getenv("MORVILO_BENCH_PROGRAM")) {
            path = given;
            return;
        }
        const char *mb = std::getenv("MORVILO_BENCH_MB");
        const uint64_t bytes = uint64_t(mb ? std::atoll(mb) : 1024) << 20;
        path = MYGetTempFileName("morvilo-editor-bench", ".nc");
        owned = true;
        OutputFile out;
        out.Open(path, OutputFile::Mode::OwnTemporary);
        // Groups of four relief lines: bare CR inside, CR LF at the end.
        for (int64_t row = 0; out.BytesWritten() < bytes; ++row) {
            for (int x = 0; x < 200; x += 7) {
                char group[160];
                const int n = std::snprintf(
                    group, sizeof group,
                    "G0 X%d.%04d Y%lld.%04d\rG1 Z0.%04d\rG1 X%d.%04d Y%lld.%04d\rG0 Z-1.0000\r\n",
                    x, x * 37 % 10000, (long long)(row / 100), int(row % 100) * 97, x % 16 * 625,
                    x + 6, x * 53 % 10000, (long long)(row / 100), int(row % 100) * 97);
                out.Write(std::string_view(group, size_t(n)));
            }
        }
        out.Commit();
    }
    ~BenchProgram() {
        if (owned)
            ::unlink(path.c_str());
    }
    std::string path;
    bool owned = false;
};

const BenchProgram &program() {
    static BenchProgram instance;
    return instance;
}

void BM_NextLineToTheEnd(benchmark::State &state) {
    TEditorCore core;
    core.OpenFileWithName(program().path);
    int64_t lines = 0;
    for (auto _ : state) {
        core.FirstLine();
        while (core.NextLine())
            ++lines;
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * core.size());
    state.counters["lines"] = double(lines) / double(state.iterations());
}
BENCHMARK(BM_NextLineToTheEnd)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GetLinenrOfTheLastLine(benchmark::State &state) {
    TEditorCore core;
    core.OpenFileWithName(program().path);
    int64_t last = 0;
    core.FirstLine();
    while (core.NextLine())
        last = core.alinenr;
    for (auto _ : state)
        benchmark::DoNotOptimize(core.GetLinenr(last));
    state.SetBytesProcessed(int64_t(state.iterations()) * core.size());
}
BENCHMARK(BM_GetLinenrOfTheLastLine)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LayoutInTheMiddle(benchmark::State &state) {
    TEditorCore core;
    core.OpenFileWithName(program().path);
    core.SetMetrics(8, 16);
    core.SetClientSize(1600, 1200);
    core.posy = core.curx = core.size() / 2;
    for (auto _ : state)
        core.SilentLayout();
}
BENCHMARK(BM_LayoutInTheMiddle)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
