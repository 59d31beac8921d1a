#pragma once
// The plot list: every point the interpreter produced, in path order, with the source line it
// came from, its nine axis values and the pen of the segment that ends at it. The view
// redraws, picks, prints and exports from it without interpreting again.
//
// The list stores a point's linear axes x, y, z once per point (24 bytes). What consecutive
// points share is stored once per run of points: the source line (a block's points, an arc's
// hundred of them) in a source run (12 bytes: a line's end is where the next run's line begins),
// the pen and the point type in a pen run, and the rotary and secondary axes, which rarely change,
// in an axes run. An arc or helix is one record from which its points are computed where they are
// read (a hundred points of an arc cost one record). Readers get every point back as the record it
// was added as, with the same doubles.
//
// Besides drawing, the list says what happened: what each point's move is (rapid, feed, arc,
// cycle stroke, pattern; kept in the pen run, which changes with it anyway), the programmed feed,
// spindle speed, tool, feed mode and units (a words run, which changes rarely, pointing into a
// table of the distinct words), and, for runs that keep a log, every arc or helix as its true
// curve, so that the program facts and the machining preview read the motion instead of guessing
// it from pens and polylines.

#include "vantrel/dynaarray.h"

#include <cmath>
#include <cstdint>

namespace morvilo {

// Pen styles of plot segments (the platform's pen-style values).
enum PenStyle : uint8_t { psSolid = 0, psDot = 2, psDashDotDot = 4 };

// Segment colours, red in the low byte (0x00BBGGRR).
inline constexpr int32_t kColourWhite = 0x00FFFFFF; // feed moves, axis cross, start point
inline constexpr int32_t kColourRapid = 0x00FFAC00; // rapid moves and hole patterns
inline constexpr int32_t kColourCw = 0x0000FF00;    // clockwise arcs (green)
inline constexpr int32_t kColourCcw = 0x000000FF;   // counter-clockwise arcs (red)

// What a move is.
enum class MoveKind : uint8_t {
    None,    // no move: the axis cross and the start point
    Rapid,   // G0, G28 legs at rapid, the way out of a hole
    Feed,    // G1, and the lines into circle pockets
    ArcCw,   // G2 and the clockwise circles of G12
    ArcCcw,  // G3 and the counter-clockwise circles of G13
    Cycle,   // the feed stroke of a drilling cycle into the hole
    Pattern, // the line joining the holes of a hole pattern
};

// How F is read: units per minute (G94), inverse time (G93: the move takes 1/F minutes), units
// per spindle revolution (G95).
enum class FeedMode : uint8_t { PerMinute, InverseTime, PerRevolution };

// The units in force: none chosen yet (no G20/G21 read so far), millimetres, inches.
enum class MoveUnits : uint8_t { Unset, Millimetre, Inch };

// What the move ending at a point is, and the words in force when it was made.
struct TPlotMove {
    MoveKind kind = MoveKind::None;
    FeedMode feedMode = FeedMode::PerMinute;
    MoveUnits units = MoveUnits::Unset;
    bool feedGiven = false; // an F word was read before the move
    int32_t tool = 0;       // the last T word (0: none)
    double feed = 0;        // the last F word
    double speed = 0;       // the last S word
};

// One point as readers see it and writers add it.
struct t9dline {
    int64_t zeilevon; // text offset of the first byte of the source line; -1: axis cross
    int64_t zeilebis; // text offset of that line's last byte, its line end included; -1: axis cross
    double x, y, z;   // linear axes
    double a, b, c;   // rotary axes, degrees
    double u, v, w;   // secondary linear axes
    int32_t col;      // pen colour of the segment ending here, 0x00BBGGRR
    int8_t typ;       // 0: pen-up point, 1: a line is drawn from the previous point
    uint8_t style;    // PenStyle of that segment
    TPlotMove move;   // the move ending here
};

// The stored parts of the list.
struct TPlotPoint {
    double x, y, z;
};
// A source run's line ends where the next run's line begins (consecutive lines of the text), so
// only its start is kept; the end of a line that does not, and of the last run, is kept apart.
#pragma pack(push, 4)
struct TPlotSourceRun {
    int64_t zeilevon;
    uint32_t first; // index of the run's first point
};
#pragma pack(pop)
struct TPlotPenRun {
    uint32_t first;
    int32_t col;
    int8_t typ;
    uint8_t style;
    MoveKind kind;
};
struct TPlotAxesRun { // the rotary and secondary axes
    double a, b, c, u, v, w;
    uint32_t first;
};
// An arc or helix of the interpreter's tessellation: its point k has on the plane's axes u and v
// (indices of x, y, z) cos(w) * r + mu and sin(w) * r + mv with w = w1 + sweep * k / divisor,
// and on the third axis h0 + climb * k / divisor. The interpreter computes its points with Point
// too, so a stored arc gives back the very doubles it would have stored point by point.
struct TPlotArcPoints {
    double w1, sweep, divisor, r, mu, mv, h0, climb;
    uint8_t u, v, h;

    void Point(double k, double (&p)[3]) const {
        const double w = w1 + sweep * k / divisor;
        p[u] = std::cos(w) * r + mu;
        p[v] = std::sin(w) * r + mv;
        p[h] = h0 + climb * k / divisor;
    }
};
struct TPlotArcPointsRun {
    TPlotArcPoints arc;
    uint32_t first;  // list index of the arc's first point
    uint32_t count;  // its points
    uint32_t before; // points stored one by one before it
};
// The words of a move (its kind is in the pen run).
struct TPlotWords {
    FeedMode feedMode;
    MoveUnits units;
    bool feedGiven;
    int32_t tool;
    double feed, speed;
};
struct TPlotWordsRun {
    uint32_t first;
    uint32_t words; // index into the table of words
};
// An arc or helix as the true curve through points first ... last, after rotation, scaling and
// mirror: point(t) = centre + cos(start + t sweep) u + sin(start + t sweep) v + t h for t from
// 0 to 1. u and v are perpendicular and of the radius' length, h (the climb) is perpendicular
// to both; sweep is negative for a clockwise turn in the (u, v) frame.
struct TPlotArc {
    uint32_t first, last;
    double centre[3], u[3], v[3], h[3];
    double start, sweep;
};
struct TPlotLineEnd { // the end of a source run's line that is not right before the next run's
    uint32_t run;
    int64_t zeilebis;
};

class TPlotList {
public:
    TPlotList() = default;
    TPlotList(const TPlotList &) = delete;
    TPlotList &operator=(const TPlotList &) = delete;

    uint32_t Count() const { return total; }
    bool Empty() const { return total == 0; }
    // Bytes held by the list's blocks.
    uint64_t MemSize() const {
        return points.MemSize() + sources.MemSize() + pens.MemSize() + axes.MemSize() +
               lineEnds.MemSize() + arcPoints.MemSize() + words.MemSize() + wordRuns.MemSize() +
               arcs.MemSize();
    }

    // Point k (k < Count()) as it was added. Finds its runs by bisection; a loop over many
    // points reads faster through a TPlotReader.
    t9dline operator[](uint32_t k) const;

    // Appends a point; false when memory ran out (the failure was reported, the list is
    // unchanged then).
    bool Add(const t9dline &point);
    // Appends the count points of arc (count >= 1), each with the line, pen and axes of
    // point; false when memory ran out or the list cannot count so many points (reported; the
    // list is unchanged then).
    bool AddArcPoints(const TPlotArcPoints &arc, uint32_t count, const t9dline &point);
    // Drops the points of the last arc from its point count on (count >= 1, at most its size);
    // nothing when the last point is not an arc's.
    void ShortenLastArc(uint32_t count);

    // The true curve of the arc whose points were just added (runs that keep a log store them);
    // false when memory ran out.
    bool AddArc(const TPlotArc &arc);
    uint32_t ArcCount() const { return arcs.Count(); }
    const TPlotArc &Arc(uint32_t k) const { return arcs[k]; }

    // Empties the list but keeps its memory for the points to come.
    void Truncate();
    void Clear();

    // Rewrites of the whole list, value by value as on every point: the linear axes (x, y, z,
    // u, v, w) times factor; the axes whose bit is set in which (bit 0: x ... bit 8: w) plus
    // their delta. Stored arcs become single points first; false when memory for them ran out
    // (reported; the list is unchanged then).
    bool Scale(double factor);
    bool Shift(const double (&delta)[9], unsigned which = 0x1FF);

private:
    friend class TPlotReader;
    int64_t zeilebisOf(uint32_t run) const;
    // The linear axes of point k.
    void linearAxes(uint32_t k, double (&p)[3]) const;
    // Every arc as single points.
    bool expandArcs();
    bool addRuns(uint32_t k, const t9dline &point);
    bool addWords(uint32_t k, const TPlotMove &move);

    uint32_t total = 0;       // points, those of the arcs included
    int64_t lastZeilebis = 0; // the line end of the last source run

    TDynaArray<TPlotPoint> points;
    TDynaArray<TPlotSourceRun> sources;
    TDynaArray<TPlotPenRun> pens;
    TDynaArray<TPlotAxesRun> axes;
    TDynaArray<TPlotLineEnd> lineEnds;
    TDynaArray<TPlotArcPointsRun> arcPoints;
    TDynaArray<TPlotWords> words;
    TDynaArray<TPlotWordsRun> wordRuns;
    TDynaArray<TPlotArc> arcs;
};

// Reads a plot list point by point; in order (forward or backward) each point costs
// O(1), a jump costs a bisection. One reader per thread; the list must not change meanwhile.
class TPlotReader {
public:
    explicit TPlotReader(const TPlotList &list) : list(list) {}
    const t9dline &operator[](uint32_t k);

private:
    const TPlotList &list;
    t9dline record{};
    // the current runs and the first points after them
    uint32_t source = 0, sourceEnd = 0, pen = 0, penEnd = 0, axes = 0, axesEnd = 0, words = 0,
             wordsEnd = 0;
    bool sourceValid = false, penValid = false, axesValid = false, wordsValid = false;
    // The arc holding or last preceding the point read (arcPoints.Count() when none does).
    uint32_t arc = 0, arcEnd = 0;
    bool arcValid = false;
    // The first line end kept apart whose run is at least the current source run.
    uint32_t lineEnd = 0;
    int64_t lineEndOf(uint32_t run);
};

} // namespace morvilo
