// Any bytes as a G-code program, run to its end by the interpreter under a dialect chosen by the
// first byte. A run may loop without end (GOTO, WHILE, huge arcs); the event pump stops every run
// after a short time budget, as the stop command would. Besides the sanitizers' findings, a run
// that does not end or leaves its flags set is a fault.

#include "frontend/headlessrun.h"
#include "interpreter/runlog.h"

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

    TPlotList lines;
    CountingSink sink;
    // The consumers of the window's runs: the plot list with the true curves, the log, the sink.
    PlotListWriter plotList(lines, true);
    RunLog log;
    RunLogWriter logWriter(log);
    MotionFanOut motion{&plotList, &logWriter, &sink};
    HeadlessRun run;
    run.path = programPath();
    run.dialect.machine = MachineType(dialect % 3);
    run.dialect.Haas = dialect & 0x04;
    run.dialect.diametermode = dialect & 0x01;
    run.dialect.absolutecheck = dialect & 0x08;
    run.dialect.IJKsindModal1 = dialect & 0x10;
    run.dialect.IJKsindInkremental1 = dialect & 0x20;
    run.dialect.donotprocessdeletedlines = dialect & 0x40;
    run.dialect.otherbreakets = dialect & 0x80;
    run.setBrackets = true;
    run.motion = &motion;
    // The event pump stops every run after a short time budget, as the stop command would.
    const auto started = std::chrono::steady_clock::now();
    run.stop = [started] {
        return std::chrono::steady_clock::now() - started > std::chrono::milliseconds(60);
    };
    run.message = [](const std::string &, const std::string &) {};
    const HeadlessOutcome outcome = RunHeadless(run);
    if (!outcome.opened)
        return 0;
    if (outcome.flagsLeftSet || lines.Count() < 7)
        std::abort();
    return 0;
}
