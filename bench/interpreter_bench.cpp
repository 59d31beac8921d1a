// The interpreter run over five kinds of program: relief output (one million lines of straight
// moves), an arc-heavy program (200,000 blocks of G1, I/J and R arcs), a loop over variables
// and expressions, a one-million-line program ending in a 1,000-pass GOTO loop, and the same
// counting loop as WHILE ... END and as IF ... GOTO. Headless (no
// drawing) and drawing every point into a 1200 x 800 image as the window does. Counters: lines/s
// (items) and plot-list points/s. MORVILO_BENCH_RELIEF_PROGRAM and MORVILO_BENCH_ARC_PROGRAM name
// other programs for the first two (bench/compare/run passes the ones it times the other
// interpreters on).

#include "editor/editorcore.h"
#include "expressions/variablestore.h"
#include "interpreter/calcrun.h"
#include "view/viewmath.h"
#include "view/viewstate.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

using namespace morvilo;

std::filesystem::path programFolder() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("morvilo-interpreter-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

struct Program {
    std::filesystem::path path;
    int64_t lines = 0;
};

// The program named by the environment variable, its lines counted by the editor's line reader.
std::optional<Program> givenProgram(const char *variable) {
    const char *path = std::getenv(variable);
    if (!path || !*path)
        return std::nullopt;
    Program program{path};
    TEditorCore core;
    if (core.OpenFileWithName(path)) {
        core.FirstLine();
        while (core.NextLine())
            ++program.lines;
    }
    return program;
}

// Writes a program once per process (unless the environment variable names one); write(out)
// returns the number of lines written.
template <typename Writer>
Program makeProgram(const char *variable, const char *name, Writer write) {
    if (auto given = givenProgram(variable))
        return *given;
    Program program{programFolder() / name};
    std::ofstream out(program.path, std::ios::binary);
    program.lines = write(out);
    return program;
}

// Relief output as the generator writes it: four lines per run joined by CR, the group ended by
// CR LF, numbers with four decimals.
const Program &reliefProgram() {
    static const Program program =
        makeProgram("MORVILO_BENCH_RELIEF_PROGRAM", "relief.nc", [](std::ofstream &out) {
            char group[160];
            constexpr int64_t kGroups = 250000;
            for (int64_t k = 0; k < kGroups; ++k) {
                const double y = double(k % 2000) * 0.05, x0 = double(k % 37) * 0.05;
                const double x1 = x0 + 1 + double(k % 101) * 0.05, z = -double(k % 16) * 0.0625;
                const int n = std::snprintf(
                    group, sizeof group,
                    "G0 X%.4f Y%.4f\rG1 Z%.4f\rG1 X%.4f Y%.4f\rG0 Z-1.0000\r\n", x0, y, z, x1, y);
                out.write(group, n);
            }
            return kGroups * 4;
        });
    return program;
}

// Straight moves mixed with clockwise I/J arcs and counter-clockwise R arcs, 100 points each.
const Program &arcProgram() {
    static const Program program =
        makeProgram("MORVILO_BENCH_ARC_PROGRAM", "arcs.nc", [](std::ofstream &out) {
            char block[96];
            constexpr int64_t kBlocks = 200000;
            for (int64_t k = 0; k < kBlocks; k += 4) {
                const double x = double(k % 400) * 0.5, r = 1 + double(k % 7) * 0.25;
                const int n = std::snprintf(block, sizeof block,
                                            "G1 X%.3f Y0\nG2 X%.3f Y0 I%.3f J0\nG1 Y-1\n"
                                            "G3 X%.3f Y-1 R%.3f\n",
                                            x, x + 2 * r, r, x, r);
                out.write(block, n);
            }
            return kBlocks;
        });
    return program;
}

// A WHILE loop that computes every coordinate; lines counts the lines the run reads.
const Program &variablesProgram() {
    static const Program program = makeProgram("", "variables.nc", [](std::ofstream &out) {
        constexpr int64_t kPasses = 50000;
        out << "#1=0\n#2=0.5 (step)\n"
               "WHILE[#1LT"
            << kPasses
            << "]DO1\n"
               "#1=#1+1\n"
               "#3=[#1MOD100]*#2\n"
               "G1 X#3 Y[FIX[#1/100]*#2] Z-[#1MOD3]\n"
               "END1\nM30\n";
        return 2 + kPasses * 5 + 1 + 1; // the final WHILE test reads once more
    });
    return program;
}

// One million lines: straight moves, every tenth with a block number, ending in a Fanuc macro
// loop of 1,000 passes whose jump goes back near the end of the text. A jump costs a look-up in
// the run's label index, not a search from the first line.
const Program &jumpProgram() {
    static const Program program = makeProgram("", "jumps.nc", [](std::ofstream &out) {
        constexpr int64_t kLines = 1000000, kLoopLines = 5, kPasses = 1000;
        char line[64];
        for (int64_t k = 0; k < kLines - kLoopLines; ++k) {
            const int n = k % 10 == 0 ? std::snprintf(line, sizeof line, "N%lld G1 X%.3f Y%.3f\n",
                                                      static_cast<long long>(k + 1),
                                                      double(k % 500) * 0.1, double(k % 300) * 0.1)
                                      : std::snprintf(line, sizeof line, "G1 X%.3f Y%.3f\n",
                                                      double(k % 500) * 0.1, double(k % 300) * 0.1);
            out.write(line, n);
        }
        out << "#1=0\nN2000000 #1=#1+1\nG1 X#1 Y0\nIF[#1LT" << kPasses << "]GOTO2000000\nM30\n";
        return kLines - kLoopLines + 1 + 3 * kPasses + 1;
    });
    return program;
}

// The same counting loop written as WHILE ... END and as IF ... GOTO, with a thousand lines of
// moves before it (a search for the loop's other end would pass them): both find the other end
// through the run's label index, so both read about as many blocks per second.
constexpr int64_t kLoopPasses = 1000000;
void movesBeforeTheLoop(std::ofstream &out) {
    for (int k = 0; k < 1000; ++k)
        out << "G1 X" << k % 50 << " Y" << k % 30 << "\n";
}
const Program &whileLoopProgram() {
    static const Program program = makeProgram("", "whileloop.nc", [](std::ofstream &out) {
        movesBeforeTheLoop(out);
        out << "#1=0\nWHILE[#1LT" << kLoopPasses << "]DO1\n#1=#1+1\nEND1\nM30\n";
        return 1000 + 1 + kLoopPasses * 3 + 1 + 1;
    });
    return program;
}
const Program &gotoLoopProgram() {
    static const Program program = makeProgram("", "gotoloop.nc", [](std::ofstream &out) {
        movesBeforeTheLoop(out);
        out << "#1=0\nN10#1=#1+1\nIF[#1LT" << kLoopPasses << "]GOTO10\nM30\n";
        return 1000 + 1 + kLoopPasses * 2 + 1;
    });
    return program;
}

// Projects every point with the view and draws it into a 1200 x 800 image as the paint box does.
class ImageSink : public PointSink {
public:
    explicit ImageSink(const ViewState &view)
        : image(1200, 800, QImage::Format_RGB32), painter(&image), view(view) {}
    void Clear() override {
        image.fill(Qt::black);
        matrix = ViewMatrix(view, image.width(), image.height());
    }
    void Plot(const t9dline &p) override {
        int32_t x = 0, y = 0;
        koordmat(matrix, p.x, p.y, p.z, p.a, p.b, p.c, p.u, p.v, p.w, x, y);
        const QPoint to(x, y);
        if (p.typ == 1) {
            if (p.col != lastCol || p.style != lastStyle) {
                lastCol = p.col;
                lastStyle = p.style;
                const QColor colour(p.col & 0xFF, (p.col >> 8) & 0xFF, (p.col >> 16) & 0xFF);
                painter.setPen(QPen(colour, 0,
                                    p.style == psSolid ? Qt::SolidLine
                                    : p.style == psDot ? Qt::DotLine
                                                       : Qt::DashDotDotLine));
            }
            painter.drawLine(pen, to);
        }
        pen = to;
    }
    void RepaintAll() override {}

private:
    QImage image;
    QPainter painter;
    const ViewState &view;
    tmat44 matrix{};
    QPoint pen;
    int32_t lastCol = -1;
    uint8_t lastStyle = 255;
};

void runProgram(benchmark::State &state, const Program &program, bool draw) {
    TEditorCore memo1;
    if (!memo1.OpenFileWithName(program.path)) {
        state.SkipWithError("cannot open the program");
        return;
    }
    TPlotList lines;
    DialectOptions options;
    auto variables = std::make_unique<VariableStore>();
    RunFlags flags;
    ViewState view;
    view.zoom = 4;
    std::unique_ptr<ImageSink> sink;
    if (draw)
        sink = std::make_unique<ImageSink>(view);
    PlotListWriter plotList(lines);
    MotionFanOut drawn{&plotList, sink.get()};
    CalcEnvironment env;
    env.memo1 = &memo1;
    env.motion = sink ? static_cast<MotionStream *>(&drawn) : &plotList;
    env.options = &options;
    env.variables = variables.get();
    env.flags = &flags;
    uint64_t points = 0;
    for (auto _ : state) {
        CalcBtnClick(env);
        points += lines.Count();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * program.lines);
    state.counters["points/s"] = benchmark::Counter(double(points), benchmark::Counter::kIsRate);
    state.counters["points"] = double(lines.Count());
}

void BM_Relief(benchmark::State &state) {
    runProgram(state, reliefProgram(), state.range(0));
}
void BM_Arcs(benchmark::State &state) {
    runProgram(state, arcProgram(), state.range(0));
}
void BM_VariablesWhile(benchmark::State &state) {
    runProgram(state, variablesProgram(), state.range(0));
}
void BM_LoopAtTheEndOfAMillionLines(benchmark::State &state) {
    runProgram(state, jumpProgram(), false);
}
void BM_WhileLoop(benchmark::State &state) {
    runProgram(state, whileLoopProgram(), false);
}
void BM_GotoLoop(benchmark::State &state) {
    runProgram(state, gotoLoopProgram(), false);
}

BENCHMARK(BM_Relief)->ArgName("draw")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Arcs)->ArgName("draw")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VariablesWhile)->ArgName("draw")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoopAtTheEndOfAMillionLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WhileLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GotoLoop)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(programFolder());
    return 0;
}
