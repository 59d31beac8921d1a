#pragma once
// The pieces the strategy "Fläche" writes its programs with: the frame (heights above Z start
// towards the safe height, the travels between cuts), the merging of tool positions into
// straight moves within the tolerance, and the G-code writer that dresses the moves for the
// profile and keeps the figures of the program (size, lengths, run time).

#include "machine/motiontime.h"
#include "relief/reliefgenerator.h"
#include "vantrel/fixedformat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace morvilo {

// The threads rows are computed on.
inline unsigned ThreadCount() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores < 1 ? 1 : cores > 8 ? 8 : cores;
}

// Runs work(k, thread) for k in [first, last), the threads taking every n-th k.
template <typename Work> void ParallelRows(int64_t first, int64_t last, Work work) {
    const int64_t wanted = last - first;
    const unsigned n = unsigned(wanted < int64_t(ThreadCount()) ? wanted : ThreadCount());
    if (n <= 1) {
        for (int64_t k = first; k < last; ++k)
            work(k, 0u);
        return;
    }
    std::vector<std::thread> threads;
    for (unsigned t = 1; t < n; ++t)
        threads.emplace_back([&, t] {
            for (int64_t k = first + t; k < last; k += n)
                work(k, t);
        });
    for (int64_t k = first; k < last; k += n)
        work(k, 0u);
    for (std::thread &thread : threads)
        thread.join();
}

enum class Motion { Rapid, Plunge, Cut };

// A tool position: X and Y of the program, h the tip's height above Z start (towards the safe
// height).
struct ToolPoint {
    double x = 0, y = 0, h = 0;
};

// The positions of raster rows across an extent: every distance from 0, the last at the
// extent itself.
std::vector<double> RasterRows(double extent, double distance);

// Tool positions along a row merged into moves: a move between two kept positions passes every
// position between them at most the tolerance above and at most half the tolerance below its
// height. The kept heights may lie anywhere within that band (a move ends as near to its
// position's height as the band allows). Between two positions the tool's height may bend
// down at a corner (a flat end mill's rim passing a ridge): where the lines through the
// positions either side meet above the chord, that corner is a position too (and a move may
// end there). With arcStep > 0 (the distance of the positions) runs of moves are merged further
// into arcs in the row's vertical plane (u along the row, the height up), checked against
// every position they pass in the same band.
struct PathRow {
    std::vector<double> kept;   // where the moves end, in positions (fractions at corners)
    std::vector<float> heights; // the heights of the moves' ends there
    // The move that ends at each kept position (the first has none): 0 straight, else an arc
    // with this bulge (tan of a quarter of its included angle, > 0 bulging up, the way
    // running along rising u).
    std::vector<float> bulges;
};
// kinked: the heights run straight between corners (a flat end mill's): every corner counts,
// not only those with straight lines either side.
void MergePath(const float *heights, int64_t from, int64_t count, double tolerance, PathRow &row,
               double arcStep = 0, bool kinked = false);

// Whether the surface relief writes arcs: the profile allows them and the program has the
// decimals (3 or more) for the control to find their radius again.
bool ArcsAllowed(const ReliefParameters &p);

// The time of the moves as the profile's machine makes them: at their rates, with an
// acceleration on trapezoidal speed profiles planned through the junctions.
class MoveClock {
public:
    explicit MoveClock(const MachineProfile &profile);
    void Move(Motion kind, const double (&from)[3], const double (&to)[3]);
    // An arc at the feed: its length and radius, the unit directions it starts and ends in.
    void Arc(double length, double radius, const double (&in)[3], const double (&out)[3]);
    // The machine stops (a tool change) for seconds.
    void Stop(double seconds);
    double Seconds();

private:
    double junction(const double (&unit)[3]) const;

    double rapid, feed, plunge, acceleration;
    SpeedPlanner planner;
    double direction[3] = {0, 0, 0};
    bool hasDirection = false;
    double seconds = 0;
};

class GcodeWriter {
public:
    // Without an output the program is only measured.
    GcodeWriter(const ReliefParameters &p, OutputFile *out);

    // The profile's header and the retract to the safe height, the feed when cuts and plunges
    // share it; without spindle the header's lines that start the spindle are left out (a
    // tool change follows). The profile's footer.
    void Header(bool spindle = true);
    void Footer();
    // The profile's tool change for tool number: the spindle stopped before where it runs,
    // and started after.
    void ToolChange(int number);

    // A move to the point; words that do not change are left out, a move that changes no axis
    // is not written.
    void Move(Motion kind, const ToolPoint &to);
    // A move of Z alone, to z of the program.
    void MoveZ(Motion kind, double z);
    // An arc at the feed to the point in the vertical plane through the row the tool stands
    // on (along X: G18, along Y: G19); bulge: tan of a quarter of the included angle, > 0
    // bulging to the left of the way (seen with the row's axis rising to the right and the
    // height up). The plane word is written where it changes.
    void Arc(const ToolPoint &to, double bulge, bool alongY);
    // The next line sets the plane back to XY where an arc changed it.
    void PlaneXY();

    bool HasXY() const { return known[0] && known[1]; }
    // The tip's height above Z start, towards the safe height.
    double Height() const { return (position[2] - zstart) * up; }
    double Up() const { return up; }
    uint64_t Bytes() const { return bytes; }
    bool Failed() const;
    ReliefEstimate Figures();

private:
    // The number text of a coordinate, in room for kNumberRoom characters.
    static constexpr size_t kNumberRoom = kMaxFixedText + 2;
    struct Word {
        char text[kNumberRoom];
        size_t size = 0;
        std::string_view View() const { return {text, size}; }
    };

    void move(Motion kind, const double (&to)[3], const bool (&given)[3]);
    void text(std::string_view line);
    // The profile's number text of value (as ProfileNumber writes it) into word.
    void number(double value, Word &word) const;
    // The value of an axis as written.
    double written(int axis) const;
    // A template of the profile filled in.
    std::string expand(const std::string &text, int tool, bool spindle) const;
    void advance(Motion kind, const double (&to)[3], const bool (&given)[3]);
    // The words of the axes given that change, after the line.
    void axisWords(const bool (&given)[3]);
    // The line begun with the pending words.
    void beginLine();

    const ReliefParameters &p;
    OutputFile *out;
    double up, zstart;
    int decimals;
    std::string lineEnd;
    std::string plungeFeed, cutFeed; // " F..." where they differ
    const char *motionWord = nullptr;
    const std::string *feedWord = nullptr;
    const char *plane = nullptr; // the plane an arc set; nullptr: as the header left it (XY)
    std::string pending;         // words the next line starts with
    bool spindleOn = false;
    bool decimalPoint;
    std::string axisText[3];
    Word words[3];    // the axes' words of the move being written
    std::string line; // the line being written
    double position[3] = {0, 0, 0};
    bool known[3] = {false, false, false};
    uint64_t bytes = 0;
    MoveClock clock;
    ReliefEstimate figures;
};

// A row was written: the progress told, the callback called. False when the run was cancelled
// or the output failed.
bool RowWritten(const GcodeWriter &w, ReliefProgress *progress);

// Z of the program from heights and back, and the travels between cuts.
class SurfaceFrame {
public:
    explicit SurfaceFrame(const ReliefParameters &p);
    double Up() const { return up; }
    double Z(double h) const { return p.zstart + up * h; }
    ToolPoint Point(double u, double v, double h) const { return {p.xstart + u, p.ystart + v, h}; }

    // From the safe height to the first point: over it, a rapid down to the clearance above
    // the stock, the plunge.
    void Enter(GcodeWriter &w, const ToolPoint &to) const;
    // Up to the clearance above the stock, over to the point, the plunge.
    void Hop(GcodeWriter &w, const ToolPoint &to) const;
    // The clearance above the stock, at most the safe height.
    double Clearance() const;
    // Up to the height over (at least), over to the point, the plunge from the clearance.
    void Travel(GcodeWriter &w, const ToolPoint &to, double over) const;

private:
    const ReliefParameters &p;
    double up;
};

} // namespace morvilo
