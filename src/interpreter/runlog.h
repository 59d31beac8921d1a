#pragma once
// What a run did besides storing points: the blocks it executed, the machine's stops (dwells,
// tool changes) and spindle starts between two points, the oddities of the program it met, and
// how the final work system lies on the machine. RunLogWriter keeps it as a consumer of the
// motion stream; the program facts and the machining preview replay it with the plot list.

#include "interpreter/motionstream.h"
#include "interpreter/plotlist.h"
#include "vantrel/usermessage.h"

#include <cstdint>
#include <vector>

namespace morvilo {

enum class RunEventKind : uint8_t {
    Dwell,        // G4; value: seconds
    ToolChange,   // M6; value: the tool (the last T word)
    SpindleStart, // M3 or M4 while the spindle stood or turned the other way; value: S
};

// Events of one kind at the same point (a loop that dwells or changes tools without moving) are
// one record: their values add up (dwells) and count says how many there were.
struct RunEvent {
    uint32_t point; // the event happens after the points before this index were reached
    RunEventKind kind;
    double value;
    int64_t line; // the main program's line, 1-based (of the first)
    uint64_t count;
};

struct RunWarning {
    int64_t line; // the main program's line, 1-based
    UserMessage message;
};

// Where the machine's path leaves the drawn one. A drilling cycle drawn as a stroke (drawing it
// to scale is an option of the view) goes, on the machine, at rapid to the R level, feeds to
// the hole's bottom and returns at rapid to the initial level (G98) or the R level (G99). The
// stroke's first point stands for the first two of these moves; from its second point on, the
// machine may stand apart from the drawn path (on the R level after G99) until the program sets
// that axis again. Coordinates are those of the plot list, rewritten with it.
struct RunHole {
    uint32_t point;         // the stroke's bottom as drawn
    double r[3], bottom[3]; // the R level and the bottom on the machine
};
struct RunApart {
    uint32_t point; // from this point on, until the next record,
    double by[3];   // the machine stands this far from the drawn point
};

struct RunLog {
    // A program that warns on every line would fill the memory with warnings; the list keeps
    // the first ones and counts the others.
    static constexpr size_t kMaxWarnings = 1000;

    uint64_t blocks = 0; // blocks with at least one word, repeats counted
    std::vector<RunEvent> events;
    std::vector<RunWarning> warnings;
    uint64_t warningsLeftOut = 0;
    // Machine coordinates of a stored point: its coordinates plus these (X ... W).
    double machineOffset[9] = {};
    MoveUnits units = MoveUnits::Unset; // at the end of the run
    std::vector<RunHole> holes;         // in point order
    std::vector<RunApart> apart;        // in point order

    void Clear() { *this = RunLog(); }
    void Event(uint32_t point, RunEventKind kind, double value, int64_t line, uint64_t count = 1) {
        for (size_t k = events.size(); k > 0 && events[k - 1].point == point; --k) {
            RunEvent &same = events[k - 1];
            if (same.kind != kind)
                continue;
            same.value += kind == RunEventKind::Dwell ? value : 0;
            same.count += count;
            return;
        }
        events.push_back({point, kind, value, line, count});
    }
    void Warn(int64_t line, UserMessage message) {
        if (warnings.size() < kMaxWarnings)
            warnings.push_back({line, std::move(message)});
        else
            ++warningsLeftOut;
    }
};

// Keeps a run's log from its motion stream, counting the drawn points as the plot list stores
// them. When its memory runs out (reported), the next move it is handed ends the run.
class RunLogWriter : public MotionStream {
public:
    explicit RunLogWriter(RunLog &log) : log(log) {}

    void Begin() override;
    bool Line(const t9dline &) override {
        ++points;
        return !failed;
    }
    uint32_t Arc(const MotionArc &arc) override {
        points += arc.count;
        lastArc = arc.count;
        return failed ? 0 : arc.count;
    }
    void CutArc(uint32_t count) override { points -= lastArc - count; }
    void Dwell(int64_t line, double seconds, uint64_t count) override;
    void ToolChange(int64_t line, double tool, uint64_t count) override;
    void SpindleStart(int64_t line, double speed, uint64_t count) override;
    bool Units(MoveUnits units, double factor) override;
    bool Shift(const double (&delta)[9], unsigned which) override;
    void Hole(const MotionHole &hole) override;
    void Apart(const double (&by)[3]) override;
    void ApartSoFar(const double (&by)[3]) override;
    void Warning(int64_t line, const UserMessage &message) override { log.Warn(line, message); }
    void End(const MotionEnd &end) override;

private:
    template <typename T> void append(std::vector<T> &list, const T &record);

    RunLog &log;
    uint32_t points = 0, lastArc = 0;
    bool failed = false;
};

} // namespace morvilo
