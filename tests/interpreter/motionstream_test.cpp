// The motion stream: one run feeds its consumers side by side, and a stored run told again
// (the replay) gives the consumers that work after a run the machine's moves and true arcs.

#include "interpreterharness.h"

#include "interpreter/motionreplay.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace morvilo::test {
namespace {

// Every call it gets, for the tests to look at; takes at most `limit` points of an arc.
class RecordingStream : public MotionStream {
public:
    struct ArcCall {
        uint32_t count;
        std::vector<t9dline> points;
        double sweep;
        double centre[3];
    };
    bool WantsCurves() const override { return wantsCurves; }
    bool Line(const t9dline &point) override {
        lines.push_back(point);
        return true;
    }
    uint32_t Arc(const MotionArc &arc) override {
        ArcCall call{std::min(arc.count, limit), {}, arc.sweep, {}};
        std::copy(arc.centre, arc.centre + 3, call.centre);
        for (uint32_t k = 0; k < call.count; ++k)
            arc.DrawnPoint(k, call.points.emplace_back());
        arcs.push_back(call);
        return call.count;
    }
    void CutArc(uint32_t count) override { cuts.push_back(count); }
    void ToolChange(int64_t line, double tool, uint64_t count) override {
        toolChanges.push_back({line, tool, count});
    }
    void Warning(int64_t line, const UserMessage &) override { warnings.push_back(line); }
    void End(const MotionEnd &end) override { ends.push_back(end); }

    struct Event {
        int64_t line;
        double value;
        uint64_t count;
    };
    bool wantsCurves = true;
    uint32_t limit = UINT32_MAX;
    std::vector<t9dline> lines;
    std::vector<ArcCall> arcs;
    std::vector<uint32_t> cuts;
    std::vector<Event> toolChanges;
    std::vector<int64_t> warnings;
    std::vector<MotionEnd> ends;
};

bool samePoint(const t9dline &a, const t9dline &b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.zeilevon == b.zeilevon && a.typ == b.typ &&
           a.col == b.col && a.move.kind == b.move.kind;
}

// Draws the points and asks the run to stop after `stopAfter` of them.
class StoppingSink : public PointSink {
public:
    explicit StoppingSink(RunFlags &flags) : flags(flags) {}
    void Clear() override {}
    void Plot(const t9dline &) override {
        if (++plotted == stopAfter)
            flags.breakprogram = true;
    }
    void RepaintAll() override {}

    RunFlags &flags;
    uint32_t stopAfter = 1000, plotted = 0;
};

// A run computes an arc's true curve only when a consumer wants it: the others get the same
// drawn points and a curve that is not a number; one consumer that wants it is enough for all
// behind a fan-out. The curve is the one the plot list keeps (here of an arc rotated by G68).
TEST(MotionStream, TheTrueCurveIsComputedOnlyWhenAConsumerWantsIt) {
    InterpreterHarness h;
    RunLog log;
    h.log = &log;
    h.RunAll("G0X10Y0\nG68X5Y0R30\nG2X0Y-10I-10J0\nM30\n");
    ASSERT_EQ(h.lines.ArcCount(), 1u);
    const TPlotArc &kept = h.lines.Arc(0);

    RecordingStream without, with;
    without.wantsCurves = false;
    CalcEnvironment env = h.Environment();
    env.motion = &without;
    CalcBtnClick(env);
    MotionFanOut both{&without, &with};
    env.motion = &both;
    CalcBtnClick(env);

    ASSERT_EQ(without.arcs.size(), 2u);
    ASSERT_EQ(with.arcs.size(), 1u);
    EXPECT_TRUE(std::isnan(without.arcs[0].sweep));
    EXPECT_TRUE(std::isnan(without.arcs[0].centre[0]));
    for (const RecordingStream::ArcCall *call : {&without.arcs[1], &with.arcs[0]}) {
        EXPECT_EQ(call->sweep, kept.sweep);
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_EQ(call->centre[axis], kept.centre[axis]);
    }
    ASSERT_EQ(without.arcs[0].count, with.arcs[0].count);
    for (uint32_t k = 0; k < with.arcs[0].count; ++k)
        EXPECT_TRUE(samePoint(without.arcs[0].points[k], with.arcs[0].points[k])) << k;
}

// The paint box, the last consumer, stops the run inside a long arc (it asks every 4096
// points): the plot list before it drops the arc's points from there on and keeps no true
// curve, the log counts only the points kept.
TEST(MotionStream, AConsumerThatStopsInsideAnArcCutsItForTheOthers) {
    InterpreterHarness h;
    RunLog log;
    h.log = &log;
    StoppingSink sink(h.flags);
    h.sink = &sink;
    h.RunAll("G0X10\nG2X10I-10L60\nG1X0T3M6\nM30\n");
    EXPECT_EQ(h.lines.Count(), kFixedPoints + 1 + 4096);
    EXPECT_EQ(sink.plotted, kFixedPoints + 1 + 4096);
    EXPECT_EQ(h.lines.ArcCount(), 0u);
    EXPECT_TRUE(log.events.empty()); // the run ended with the arc's line
}

// With its log, a run is told again as the machine moves: a drilling cycle drawn as a stroke
// (G99: back to the R level) is the rapid to the R level and the feed to the bottom; an arc
// is one call whose drawn points are the stored ones; tool changes, warnings and the end
// come with their lines.
TEST(MotionStream, TheReplayTellsTheMachinesMovesArcsAndEvents) {
    InterpreterHarness h;
    RunLog log;
    h.log = &log;
    const std::string program = "G21 G90 G0 X0 Y0 Z5\n"
                                "T2 M6\n"
                                "G99 G81 X10 Y0 Z-3 R1 F100\n"
                                "G80 G0 Z5\n"
                                "G1 X20 F300\n"
                                "G3 X30 Y0 I5 J0\n"
                                "G2 X50 Y0 R1\n"
                                "M30\n";
    const std::vector<t9dline> stored = h.RunAll(program);
    RecordingStream replay;
    ReplayRun(h.lines, &log, replay);

    bool rapidToR = false, feedToBottom = false;
    for (size_t k = 0; k + 1 < replay.lines.size(); ++k) {
        const t9dline &a = replay.lines[k], &b = replay.lines[k + 1];
        if (a.move.kind == MoveKind::Rapid && a.x == 10 && a.z == 1 &&
            b.move.kind == MoveKind::Cycle && b.x == 10 && b.z == -3)
            rapidToR = feedToBottom = true;
    }
    EXPECT_TRUE(rapidToR && feedToBottom);

    ASSERT_EQ(replay.arcs.size(), 2u);
    const RecordingStream::ArcCall &arc = replay.arcs[0];
    EXPECT_GT(arc.sweep, 0); // counter-clockwise
    // The arc's drawn points are the stored ones, in order.
    size_t first = 0;
    while (first < stored.size() && !samePoint(stored[first], arc.points[0]))
        ++first;
    ASSERT_LT(first + arc.count, stored.size() + 1);
    for (uint32_t k = 0; k < arc.count; ++k)
        EXPECT_TRUE(samePoint(stored[first + k], arc.points[k])) << "point " << k;

    ASSERT_EQ(replay.toolChanges.size(), 1u);
    EXPECT_EQ(replay.toolChanges[0].line, 2);
    EXPECT_EQ(replay.toolChanges[0].value, 2);
    EXPECT_EQ(replay.warnings, std::vector<int64_t>{7}); // R too small for the chord
    ASSERT_EQ(replay.ends.size(), 1u);
    EXPECT_EQ(replay.ends[0].units, MoveUnits::Millimetre);
    EXPECT_EQ(replay.ends[0].blocks, 8u);
}

// One run feeds several consumers: a plot list fed beside another gets the very points of a
// list fed alone, and a units change rewrites what each of them holds.
TEST(MotionStream, ConsumersSideBySideGetTheSameRun) {
    const std::string program = "G0 X1 Y2\nG2 X3 Y2 R1\nG20\nG1 X1 F10\nG68 X0 Y0 R30\n"
                                "G3 X0 Y1 R1\nM30\n";
    InterpreterHarness alone;
    const std::vector<t9dline> expected = alone.RunAll(program);

    InterpreterHarness side;
    RunLog log;
    side.log = &log;
    TPlotList second;
    PlotListWriter secondWriter(second);
    const auto path = side.scratch / "program.nc";
    WriteFile(path, program);
    ASSERT_TRUE(side.memo1.OpenFileWithName(path));
    const CalcEnvironment env = side.Environment();
    side.motion.Add(&secondWriter);
    CalcBtnClick(env);
    ASSERT_EQ(side.lines.Count(), expected.size());
    ASSERT_EQ(second.Count(), expected.size());
    TPlotReader a(side.lines), b(second);
    for (uint32_t k = 0; k < second.Count(); ++k) {
        EXPECT_TRUE(samePoint(a[k], expected[k])) << "point " << k;
        EXPECT_TRUE(samePoint(b[k], expected[k])) << "point " << k;
    }
    EXPECT_EQ(log.units, MoveUnits::Inch);
}

} // namespace
} // namespace morvilo::test
