// The "Formatieren" commands over a 1,000,000-line program as the relief generator writes it
// (four lines per run, CR between them, CR LF after each group): renumbering, renumbering a
// program that carries block numbers and jumps already, the removal of block numbers, and each
// clean-up command. Every iteration opens the program afresh (constant time) and runs one
// command in one editor update. MORVILO_BENCH_RELIEF_PROGRAM names another program; made
// files are removed at exit.

#include "editor/editorcore.h"
#include "formatting/cleanup.h"
#include "formatting/renumbering.h"
#include "vantrel/outputfile.h"
#include "vantrel/tempfile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace morvilo;

namespace {

constexpr int64_t kLines = 1000000;

class BenchFile {
public:
    explicit BenchFile(const char *stem) : path(MYGetTempFileName(stem, ".nc")) {}
    ~BenchFile() { ::unlink(path.c_str()); }
    std::string path;
};

// The four lines of one run; numbered: N words on every line and a jump every 1000 runs.
std::string reliefRun(int64_t run, bool numbered) {
    char text[256];
    const int x = int(run % 400), y = int(run / 400), depth = int(run * 7 % 3000);
    const char *format =
        numbered ? "N%lld G0 X%d.000 Y%d.500\rN%lld G1 Z-%d.%03d\r"
                   "N%lld G1 X%d.000 Y%d.500\rN%lld G0 Z5.000%s\r\n"
                 : "G0 X%d.000 Y%d.500\rG1 Z-%d.%03d\rG1 X%d.000 Y%d.500\rG0 Z5.000\r\n";
    const char *jump = run % 1000 == 999 ? " IF[#1EQ1]GOTO8" : "";
    const long long n = 4 * run + 1;
    const int len =
        numbered
            ? std::snprintf(text, sizeof text, format, n, x, y, n + 1, depth / 1000, depth % 1000,
                            n + 2, x + 3, y, n + 3, jump)
            : std::snprintf(text, sizeof text, format, x, y, depth / 1000, depth % 1000, x + 3, y);
    return std::string(text, size_t(len));
}

// The same runs as untidy hand-made text, in which each command changes every G-code line: lower
// case, no spaces between words, comments, spaces at both ends, an empty line after each run.
std::string untidyRun(int64_t run) {
    char text[256];
    const int x = int(run % 400), y = int(run / 400);
    const int len = std::snprintf(text, sizeof text,
                                  "  g0x%d.000y%d.500 (run %lld) \r\n  g1z-1.000 (down) \r\n"
                                  "  g1x%d.000 (cut) \r\n  g0z5.000 (up) \r\n\r\n",
                                  x, y, (long long)run, x + 3);
    return std::string(text, size_t(len));
}

std::string plainRun(int64_t run) {
    return reliefRun(run, false);
}

std::string numberedRun(int64_t run) {
    return reliefRun(run, true);
}

// Writes kLines / 4 runs: kLines lines of G-code.
std::string makeProgram(BenchFile &file, std::string (*makeRun)(int64_t)) {
    OutputFile out;
    out.Open(file.path, OutputFile::Mode::OwnTemporary);
    std::string chunk;
    for (int64_t run = 0; run < kLines / 4; ++run) {
        chunk += makeRun(run);
        if (chunk.size() > (1 << 20)) {
            out.Write(chunk);
            chunk.clear();
        }
    }
    out.Write(chunk);
    out.Commit();
    return file.path;
}

const std::string &reliefProgram() {
    static const char *given = std::getenv("MORVILO_BENCH_RELIEF_PROGRAM");
    static BenchFile file("morvilo-format-relief");
    static const std::string path = given ? std::string(given) : makeProgram(file, plainRun);
    return path;
}

const std::string &numberedProgram() {
    static BenchFile file("morvilo-format-numbered");
    static const std::string path = makeProgram(file, numberedRun);
    return path;
}

const std::string &untidyProgram() {
    static BenchFile file("morvilo-format-untidy");
    static const std::string path = makeProgram(file, untidyRun);
    return path;
}

template <typename Command>
void runOver(benchmark::State &state, const std::string &program, Command command) {
    TEditorCore core;
    core.SetMetrics(8, 16);
    core.SetClientSize(1600, 1200);
    for (auto _ : state) {
        state.PauseTiming();
        core.OpenFileWithName(program); // constant time; empties the undo list
        state.ResumeTiming();
        command(core);
    }
    state.counters["records"] = double(core.undos.Count());
    state.counters["MB"] = double(core.size()) / 1e6;
}

TNummerBlocksSettings renumbering() {
    TNummerBlocksSettings settings;
    settings.startnumed = 10;
    settings.inced = 10;
    settings.addspacecheck = true;
    return settings;
}

void BM_RenumberReliefProgram(benchmark::State &state) {
    runOver(state, reliefProgram(),
            [](TEditorCore &core) { BlckeneuNummerieren(core, renumbering()); });
}
BENCHMARK(BM_RenumberReliefProgram)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RenumberNumberedProgram(benchmark::State &state) {
    runOver(state, numberedProgram(),
            [](TEditorCore &core) { BlckeneuNummerieren(core, renumbering()); });
}
BENCHMARK(BM_RenumberNumberedProgram)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_UnnumberNumberedProgram(benchmark::State &state) {
    runOver(state, numberedProgram(), Nummierungentfernen);
}
BENCHMARK(BM_UnnumberNumberedProgram)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CleanUp(benchmark::State &state, void (*command)(TEditorCore &)) {
    runOver(state, reliefProgram(), command);
}
// Every line changes (and a fifth of them are empty for LeereZeilenentfernen).
void BM_CleanUpUntidy(benchmark::State &state, void (*command)(TEditorCore &)) {
    runOver(state, untidyProgram(), command);
}

#define CLEAN_UP_BENCHMARKS(name)                                                                  \
    BENCHMARK_CAPTURE(BM_CleanUp, name, name)->Unit(benchmark::kMillisecond)->Iterations(3);       \
    BENCHMARK_CAPTURE(BM_CleanUpUntidy, name, name)->Unit(benchmark::kMillisecond)->Iterations(3)

CLEAN_UP_BENCHMARKS(Leerzeichenhinzufgen);
CLEAN_UP_BENCHMARKS(Leerzeichenentfernen);
CLEAN_UP_BENCHMARKS(LeerzeichenamZeilenanfangentfernen);
CLEAN_UP_BENCHMARKS(LeerzeichenamZeilenendeentfernen);
CLEAN_UP_BENCHMARKS(LeereZeilenentfernen);
CLEAN_UP_BENCHMARKS(Kommentareentfernen);
CLEAN_UP_BENCHMARKS(AllesinGrossbuchstabenumwandeln);

} // namespace

BENCHMARK_MAIN();
