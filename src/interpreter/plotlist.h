#pragma once
// The plot list: every point the interpreter produced, in path order, with the source line it
// came from, its nine axis values and the pen of the segment that ends at it. The view
// redraws, picks, prints and exports from it without interpreting again.
//
// Points are stored one by one in a byte coding (plotlist.cpp): each point says only what
// differs from the point before it, its coordinates as differences of whole numbers at the
// program's decimals (a double no decimal text gives is kept whole, so every value comes back
// bit for bit), its source line as the length of the line after the previous one, its style
// (pen, point type, the move's kind and words) as an index into a table of the program's few
// styles. A relief point takes about five bytes. Every kPlotBlock points a checkpoint holds the
// state to decode from, for reading by index and backward. The rotary and secondary axes, which
// rarely change, are stored once per run of points. An arc or helix is one record from which its
// points are computed where they are read (a hundred points of an arc cost one record).
//
// Besides drawing, the list says what happened: what each point's move is (rapid, feed, arc,
// cycle stroke, pattern), the programmed feed, spindle speed, tool, feed mode and units (all in
// the point's style), and, for runs that keep a log, every arc or helix as its true
// curve, so that the program facts and the machining preview read the motion instead of guessing
// it from pens and polylines.

#include "vantrel/dynaarray.h"

#include <cmath>
#include <cstdint>
#include <vector>

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

// The axis cross's points have no source line (the start point has one: it is no move either).
inline bool AxisCross(const t9dline &point) {
    return point.zeilevon < 0;
}

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
// The arc's points all have its source line and its style (an index into the table of styles).
struct TPlotArcPointsRun {
    TPlotArcPoints arc;
    int64_t zeilevon, zeilebis;
    uint32_t first;  // list index of the arc's first point
    uint32_t count;  // its points
    uint32_t before; // points stored one by one before it
    uint32_t style;
};
// What a point is drawn with and what its move is; a program has few of them.
struct TPlotStyle {
    int32_t col;
    int8_t typ;
    uint8_t style;
    MoveKind kind;
    FeedMode feedMode;
    MoveUnits units;
    bool feedGiven;
    int32_t tool;
    double feed, speed;
};
struct TPlotAxesRun { // the rotary and secondary axes
    double a, b, c, u, v, w;
    uint32_t first;
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

// The coding of the points stored one by one (see plotlist.cpp): between two points a
// coordinate is a whole number of units of 10^-scale (the program's decimals) whenever that gives
// back its double exactly, else the double itself (scale kWhole, units holding its bits).
inline constexpr uint8_t kPlotMaxScale = 9, kPlotWhole = 15;
struct TPlotCodeState { // a point as the coding sees it
    int64_t units[3];
    int64_t zeilevon, zeilebis;
    uint32_t style;
    uint8_t scale[3];
};
// Every kPlotBlock stored points begin a block: its first byte and the state before it, and
// the text its points come from (the offsets from lowest to highest hold every point's source
// line), so that a search for a line passes over the blocks of other lines undecoded.
inline constexpr uint32_t kPlotBlock = 128;
struct TPlotCheckpoint {
    const uint8_t *bytes;
    TPlotCodeState state;
    int64_t lowest, highest;
};

// Points read at once (TPlotReader::Batch): count points, all stored one by one or all of one
// arc, all with the same rotary and secondary axes.
struct TPlotBatch {
    uint32_t count;
    const double (*xyz)[3];
    const int64_t *zeilevon, *zeilebis;
    const uint32_t *style; // indices for TPlotList::Style
    const TPlotAxesRun *axes;
};

class TPlotList {
public:
    TPlotList() = default;
    ~TPlotList();
    TPlotList(const TPlotList &) = delete;
    TPlotList &operator=(const TPlotList &) = delete;

    uint32_t Count() const { return total; }
    bool Empty() const { return total == 0; }
    // Bytes held by the list's blocks.
    uint64_t MemSize() const {
        return chunkBytes + checkpoints.MemSize() + styles.MemSize() + axes.MemSize() +
               arcPoints.MemSize() + arcs.MemSize();
    }

    // Point k (k < Count()) as it was added. Decodes from the block's start; a loop over many
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
    // their delta. Stored arcs become single points; false when memory for the rewritten list
    // ran out (reported; the list is unchanged then).
    bool Scale(double factor);
    bool Shift(const double (&delta)[9], unsigned which = 0x1FF);

    // Changes whenever points already in the list change or go (not when points are added):
    // what a reader found in the list stays true while it is the same.
    uint64_t Generation() const { return generation; }

    // Points stored one by one, and the bytes of their coding (for measurements).
    uint32_t StoredPoints() const { return stored; }
    uint64_t CodedBytes() const;

    // A style of the list's table (TPlotBatch::style gives the indices).
    const TPlotStyle &Style(uint32_t index) const { return styles[index]; }

    // The last point k >= first whose segment is drawn (typ 1) and whose source line holds the
    // text offset; UINT32_MAX when there is none. Blocks and arcs of other lines are passed over
    // undecoded.
    uint32_t LastDrawnAt(int64_t offset, uint32_t first = 0) const;

private:
    friend class TPlotReader;
    struct Chunk {
        uint8_t *bytes;
        uint64_t size;
    };
    // The linear axes of point k, its source line and style.
    void storedPoint(uint32_t k, double (&p)[3], int64_t &zeilevon, int64_t &zeilebis,
                     uint32_t &style) const;
    bool styleOf(const t9dline &point, uint32_t &index);
    bool findStyle(const t9dline &point, uint32_t &index); // beyond the styles found last
    bool addAxes(uint32_t k, const t9dline &point);
    bool newAxes(uint32_t k, const t9dline &point);
    // Room for bytes more bytes of coding at the write position; false when memory ran out.
    bool room(uint64_t bytes);
    template <typename Change> bool rewrite(Change change);
    void swap(TPlotList &other);

    uint64_t generation = 0;
    uint32_t total = 0;    // points, those of the arcs included
    uint32_t stored = 0;   // points stored one by one
    TPlotCodeState last{}; // the coding state after the last stored point
    // The styles styleOf found last, the latest first (checked before use).
    uint32_t foundStyles[2] = {};
    // The source offsets of the block being filled (its checkpoint gets them when it is full).
    int64_t lowest = 0, highest = 0;
    double lastXyz[3] = {}; // its coordinates
    // The scale each axis was last coded in (kept while an axis holds whole doubles).
    uint8_t preferred[3] = {};
    uint64_t coded = 0; // bytes of coding
    // The coding in chunks that never move: the chunk written, its write position and end.
    std::vector<Chunk> chunks;
    uint64_t chunkBytes = 0;
    size_t chunk = 0;
    uint8_t *write = nullptr, *writeEnd = nullptr;

    TDynaArray<TPlotCheckpoint> checkpoints;
    TDynaArray<TPlotStyle> styles;
    TDynaArray<TPlotAxesRun> axes;
    TDynaArray<TPlotArcPointsRun> arcPoints;
    TDynaArray<TPlotArc> arcs;
};

// Reads a plot list point by point; in order (forward or backward) each point costs
// O(1), a jump decodes a block. One reader per thread; the list must not change meanwhile.
class TPlotReader {
public:
    explicit TPlotReader(const TPlotList &list) : list(list) {}
    const t9dline &operator[](uint32_t k);
    // Points k, k + 1 ... (k < Count()) at once, at most kPlotBlock: a loop over the whole list
    // reads fastest this way. The batch stays valid until the reader reads again.
    TPlotBatch Batch(uint32_t k);

private:
    void decodeBlock(uint32_t block);
    // Moves to the axes run of point k, the record's axes with it.
    void followAxes(uint32_t k);

    const TPlotList &list;
    t9dline record{};
    // The decoded block of stored points.
    uint32_t block = UINT32_MAX, decoded = 0;
    double xyz[kPlotBlock][3];
    int64_t von[kPlotBlock], bis[kPlotBlock];
    uint32_t styleIndex[kPlotBlock];
    uint32_t style = UINT32_MAX; // the style in record
    // the current axes run and the first point after it
    uint32_t axesRun = 0, axesEnd = 0;
    bool axesValid = false;
    // The arc holding or last preceding the point read (arcPoints.Count() when none does).
    uint32_t arc = 0, arcEnd = 0;
    bool arcValid = false;
    // Points of an arc computed for a batch.
    double arcXyz[kPlotBlock][3];
    int64_t arcVon[kPlotBlock], arcBis[kPlotBlock];
    uint32_t arcStyle[kPlotBlock];
};

} // namespace morvilo
