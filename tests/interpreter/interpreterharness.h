#pragma once
// Runs G-code through the interpreter as the window would, without a window.

#include "../common/testfiles.h"
#include "editor/editorcore.h"
#include "expressions/variablestore.h"
#include "interpreter/calcrun.h"
#include "interpreter/runlog.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace morvilo::test {

// Points of the axis cross and the start point that every run stores first.
inline constexpr size_t kFixedPoints = 7;

class InterpreterHarness {
public:
    // Writes text to a file, opens it and runs it; returns every stored point.
    std::vector<t9dline> RunAll(const std::string &text) {
        const auto path = scratch / "program.nc";
        WriteFile(path, text);
        EXPECT_TRUE(memo1.OpenFileWithName(path));
        CalcBtnClick(Environment());
        std::vector<t9dline> points;
        points.reserve(lines.Count());
        TPlotReader reader(lines);
        for (uint32_t k = 0; k < lines.Count(); ++k)
            points.push_back(reader[k]);
        return points;
    }
    // The points the program produced, after the axis cross and the start point.
    std::vector<t9dline> Run(const std::string &text) {
        auto all = RunAll(text);
        return std::vector<t9dline>(all.begin() + std::min(all.size(), kFixedPoints), all.end());
    }

    // The run's consumers as the window has them: the plot list (with the arcs' true curves
    // when a log is kept), the log, the sink.
    CalcEnvironment Environment() {
        plotList.emplace(lines, log != nullptr);
        logWriter.reset();
        if (log)
            logWriter.emplace(*log);
        motion = MotionFanOut{&*plotList, logWriter ? &*logWriter : nullptr, sink};
        CalcEnvironment env;
        env.memo1 = &memo1;
        env.motion = &motion;
        env.options = &options;
        env.variables = variables.get();
        env.flags = &flags;
        env.events = events;
        env.subeditors = subeditors;
        env.message = message;
        env.variableline = variableline;
        env.notice = notice;
        return env;
    }

    ScratchFolder scratch;
    TEditorCore memo1;
    TPlotList lines;
    DialectOptions options;
    std::unique_ptr<VariableStore> variables = std::make_unique<VariableStore>();
    RunFlags flags;
    PointSink *sink = nullptr;
    RunEvents *events = nullptr;
    SubprogramEditors *subeditors = nullptr;
    MacroMessage message;
    VariableListLine variableline;
    RunNotice notice;
    RunLog *log = nullptr;
    std::optional<PlotListWriter> plotList;
    std::optional<RunLogWriter> logWriter;
    MotionFanOut motion;
};

// Dialect choices that cases of a table set on their harness.
using Configure = std::function<void(InterpreterHarness &)>;
inline void latheA(InterpreterHarness &h) {
    h.options.machine = MachineType::Dreh1;
}
inline void latheB(InterpreterHarness &h) {
    h.options.machine = MachineType::Dreh2;
}
inline void haas(InterpreterHarness &h) {
    h.options.Haas = true;
}

// A point of a path as X, Y, Z.
struct Xyz {
    double x, y, z;
};

// points are the path, point by point.
inline void ExpectPath(const std::vector<t9dline> &points, const std::vector<Xyz> &path) {
    ASSERT_EQ(points.size(), path.size());
    for (size_t k = 0; k < path.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(points[k].x, path[k].x, 1e-9);
        EXPECT_NEAR(points[k].y, path[k].y, 1e-9);
        EXPECT_NEAR(points[k].z, path[k].z, 1e-9);
    }
}

} // namespace morvilo::test
