// Any bytes as a G-code program, run to its end by the interpreter under a dialect chosen by the
// first byte. A run may loop without end (GOTO, WHILE, huge arcs); the event pump stops every run
// after a short time budget, as the stop command would. Besides the sanitizers' findings, a run
// that does not end or leaves its flags set is a fault.

#include "editor/editorcore.h"
#include "expressions/variablestore.h"
#include "interpreter/calcrun.h"
#include "interpreter/runlog.h"
#include "linetext/linetext.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using namespace morvilo;

class BudgetEvents : public RunEvents {
public:
    explicit BudgetEvents(RunFlags &flags) : flags(flags) {}
    void ProcessEvents() override {
        if (std::chrono::steady_clock::now() - started > std::chrono::milliseconds(60))
            flags.breakprogram = true;
    }
    void Sleep(int32_t) override {}

private:
    RunFlags &flags;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};

// Draws nowhere, but takes every point the run draws.
class CountingSink : public PointSink {
public:
    void Clear() override {}
    void Plot(const t9dline &point) override { sum += uint64_t(point.typ) + uint64_t(point.col); }
    void RepaintAll() override {}
    uint64_t sum = 0;
};

// The program lives in a memory file, so that nothing is left behind.
const std::string &programPath() {
    static const std::string path = [] {
        const int fd = ::memfd_create("program.nc", 0);
        return fd < 0 ? std::string() : "/proc/self/fd/" + std::to_string(fd);
    }();
    return path;
}

bool writeProgram(const uint8_t *data, size_t size) {
    const int fd = ::open(programPath().c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, data, size) == ssize_t(size);
    ::close(fd);
    return written;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t dialect = data[0];
    if (!writeProgram(data + 1, size - 1))
        return 0;

    TEditorCore memo1;
    if (!memo1.OpenFileWithName(programPath()))
        return 0;
    TPlotList lines;
    DialectOptions options;
    options.machine = MachineType(dialect % 3);
    options.Haas = dialect & 0x04;
    options.diametermode = dialect & 0x01;
    options.absolutecheck = dialect & 0x08;
    options.IJKsindModal1 = dialect & 0x10;
    options.IJKsindInkremental1 = dialect & 0x20;
    options.donotprocessdeletedlines = dialect & 0x40;
    SetSquareBracketComments(dialect & 0x80);
    auto variables = std::make_unique<VariableStore>();
    RunFlags flags;
    BudgetEvents events(flags);
    CountingSink sink;
    // The consumers of the window's runs: the plot list with the true curves, the log, the sink.
    PlotListWriter plotList(lines, true);
    RunLog log;
    RunLogWriter logWriter(log);
    MotionFanOut motion{&plotList, &logWriter, &sink};
    CalcEnvironment env;
    env.memo1 = &memo1;
    env.motion = &motion;
    env.options = &options;
    env.variables = variables.get();
    env.flags = &flags;
    env.events = &events;
    env.message = [](const std::string &, const std::string &) {};
    CalcBtnClick(env);
    if (flags.inrender || lines.Count() < 7)
        std::abort();
    SetSquareBracketComments(false);
    return 0;
}
