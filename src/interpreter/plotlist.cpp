#include "interpreter/plotlist.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace morvilo {

// The coding of a point stored one by one, against the point stored before it:
//
//   header byte   bits 0-2: x, y, z differ from the point before (in their bits)
//                 bits 3-4: the source line: 0 the same, 1 the line right after it (its
//                           length follows), 2 another line (both offsets follow)
//                 bit 5:    another style (its index follows)
//                 bit 6:    an escape byte follows: its bits 0-2 mark the axes coded whole
//   per axis that differs, in order x, y, z:
//     plain:   the difference of its units, zigzag, as a variable-length number
//     escaped: the scale byte (0 ... 9: the units follow as above, but absolute; 15: the
//              double's eight bytes follow)
//   source 1:     bis - von; source 2: von - (last bis + 1), then bis - von (zigzag each)
//   style:        the index
//
// A coordinate of a program written with d decimals is n / 10^d for a whole n, and the
// interpreter read it as the double nearest to that; n / 10^d in double arithmetic is that
// very double. So a coordinate is held as n whenever n / 10^d gives back its bits (checked when
// it is added); -0.0, NaN, values beyond 2^50 units and results of arithmetic that no decimal
// text gives are held whole. An axis keeps its scale while its values fit it and moves to a
// finer one when they need it.

namespace {

constexpr double kPow10[kPlotMaxScale + 1] = {1,      10,      100,      1000,      10000,
                                              100000, 1000000, 10000000, 100000000, 1000000000};
constexpr double kMaxUnits = double(int64_t(1) << 50);
constexpr uint64_t kMaxPointBytes = 64; // 3 + 3 * 11 + 2 * 10 + 5, rounded up
constexpr uint64_t kBlockBytes = kMaxPointBytes * kPlotBlock;
constexpr uint64_t kFirstChunk = uint64_t(1) << 16, kLargestChunk = uint64_t(1) << 23;

enum : uint8_t { kSourceSame = 0, kSourceNext = 1 << 3, kSourceOther = 2 << 3 };
constexpr uint8_t kSourceBits = 3 << 3, kStyleBit = 1 << 5, kEscapeBit = 1 << 6;

uint64_t bitsOf(double value) {
    return std::bit_cast<uint64_t>(value);
}

// n with n / 10^scale == value in its bits, if there is one.
bool unitsOf(double value, uint8_t scale, int64_t &units) {
    const double scaled = value * kPow10[scale];
    if (!(scaled > -kMaxUnits && scaled < kMaxUnits))
        return false;
    units = int64_t(scaled + (scaled < 0 ? -0.5 : 0.5));
    return bitsOf(double(units) / kPow10[scale]) == bitsOf(value);
}

double valueOf(int64_t units, uint8_t scale) {
    return scale == kPlotWhole ? std::bit_cast<double>(units) : double(units) / kPow10[scale];
}

uint64_t zigzag(int64_t value) {
    return (uint64_t(value) << 1) ^ uint64_t(value >> 63);
}

int64_t unzigzag(uint64_t value) {
    return int64_t(value >> 1) ^ -int64_t(value & 1);
}

uint8_t *putNumber(uint8_t *p, uint64_t value) {
    while (value >= 0x80) {
        *p++ = uint8_t(value | 0x80);
        value >>= 7;
    }
    *p++ = uint8_t(value);
    return p;
}

uint64_t getNumber(const uint8_t *&p) {
    uint64_t value = *p++;
    if (value < 0x80)
        return value;
    value &= 0x7F;
    for (int shift = 7;; shift += 7) {
        const uint64_t byte = *p++;
        value |= (byte & 0x7F) << shift;
        if (byte < 0x80)
            return value;
    }
}

// A difference of units or source offsets, most often a single byte.
inline int64_t getDifference(const uint8_t *&p) {
    const uint8_t byte = *p;
    if (byte < 0x80) {
        ++p;
        return int64_t(byte >> 1) ^ -int64_t(byte & 1);
    }
    return unzigzag(getNumber(p));
}

// Decodes one point at p into state and xyz (which hold the point before it).
void decodePoint(const uint8_t *&p, TPlotCodeState &state, double (&xyz)[3]) {
    const uint8_t header = *p++;
    const uint8_t escaped = header & kEscapeBit ? *p++ : 0;
    for (int axis = 0; axis < 3; ++axis) {
        if (!(header & (1 << axis)))
            continue;
        if (escaped & (1 << axis)) {
            const uint8_t scale = *p++;
            state.scale[axis] = scale;
            if (scale == kPlotWhole) {
                std::memcpy(&state.units[axis], p, 8);
                p += 8;
            } else {
                state.units[axis] = unzigzag(getNumber(p));
            }
        } else {
            state.units[axis] += unzigzag(getNumber(p));
        }
        xyz[axis] = valueOf(state.units[axis], state.scale[axis]);
    }
    switch (header & kSourceBits) {
    case kSourceNext:
        state.zeilevon = state.zeilebis + 1;
        state.zeilebis = int64_t(uint64_t(state.zeilevon) + uint64_t(unzigzag(getNumber(p))));
        break;
    case kSourceOther:
        state.zeilevon = int64_t(uint64_t(state.zeilebis) + 1 + uint64_t(unzigzag(getNumber(p))));
        state.zeilebis = int64_t(uint64_t(state.zeilevon) + uint64_t(unzigzag(getNumber(p))));
        break;
    default:
        break;
    }
    if (header & kStyleBit)
        state.style = uint32_t(getNumber(p));
}

void stateValues(const TPlotCodeState &state, double (&xyz)[3]) {
    for (int axis = 0; axis < 3; ++axis)
        xyz[axis] = valueOf(state.units[axis], state.scale[axis]);
}

// Index of the last record whose key is at most k (the first when none is).
template <typename Record>
uint32_t lastAtMost(const TDynaArray<Record> &records, uint32_t Record::*key, uint32_t k) {
    uint32_t low = 0, high = records.Count(); // the record is in [low, high)
    while (high - low > 1) {
        const uint32_t mid = low + (high - low) / 2;
        if (records[mid].*key <= k)
            low = mid;
        else
            high = mid;
    }
    return low;
}

// Index of the run that holds point k: the last run whose first point is at most k.
template <typename Run> uint32_t runOf(const TDynaArray<Run> &runs, uint32_t k) {
    return lastAtMost(runs, &Run::first, k);
}

// Moves run/end (the run holding point k and the first point after it) to point k: the same
// run, the next or the previous one, or one found by bisection. True when the run changed.
template <typename Run>
bool follow(const TDynaArray<Run> &runs, uint32_t points, uint32_t k, uint32_t &run, uint32_t &end,
            bool &valid) {
    if (valid && k >= runs[run].first && k < end)
        return false;
    if (valid && k == end && run + 1 < runs.Count())
        ++run;
    else if (valid && run > 0 && k < runs[run].first && k >= runs[run - 1].first)
        --run;
    else
        run = runOf(runs, k);
    end = run + 1 < runs.Count() ? runs[run + 1].first : points;
    valid = true;
    return true;
}

bool sameBits(double a, double b) {
    return bitsOf(a) == bitsOf(b);
}

bool sameStyle(const TPlotStyle &s, const t9dline &p) {
    const TPlotMove &m = p.move;
    return s.col == p.col && s.typ == p.typ && s.style == p.style && s.kind == m.kind &&
           s.feedMode == m.feedMode && s.units == m.units && s.feedGiven == m.feedGiven &&
           s.tool == m.tool && sameBits(s.feed, m.feed) && sameBits(s.speed, m.speed);
}

void copyStyle(const TPlotStyle &s, t9dline &p) {
    p.col = s.col, p.typ = s.typ, p.style = s.style;
    TPlotMove &m = p.move;
    m.kind = s.kind, m.feedMode = s.feedMode, m.units = s.units, m.feedGiven = s.feedGiven;
    m.tool = s.tool, m.feed = s.feed, m.speed = s.speed;
}

// A program alternates between a few styles (rapid, plunge and cut) far more often than it has
// new ones: the latest entries of the table are looked at before one is added.
constexpr uint32_t kRecentStyles = 64;

bool sameAxes(const TPlotAxesRun &run, const t9dline &p) {
    const uint64_t differ = (bitsOf(run.a) ^ bitsOf(p.a)) | (bitsOf(run.b) ^ bitsOf(p.b)) |
                            (bitsOf(run.c) ^ bitsOf(p.c)) | (bitsOf(run.u) ^ bitsOf(p.u)) |
                            (bitsOf(run.v) ^ bitsOf(p.v)) | (bitsOf(run.w) ^ bitsOf(p.w));
    return differ == 0;
}

void copyAxes(const TPlotAxesRun &run, t9dline &p) {
    p.a = run.a, p.b = run.b, p.c = run.c;
    p.u = run.u, p.v = run.v, p.w = run.w;
}

} // namespace

TPlotList::~TPlotList() {
    for (const Chunk &c : chunks)
        std::free(c.bytes);
}

uint64_t TPlotList::CodedBytes() const {
    return coded;
}

bool TPlotList::room(uint64_t bytes) {
    if (uint64_t(writeEnd - write) >= bytes)
        return true;
    if (chunk + 1 < chunks.size()) { // a chunk kept from an earlier filling
        ++chunk;
        write = chunks[chunk].bytes;
        writeEnd = write + chunks[chunk].size;
        return true;
    }
    // The coding counts as one block against the limit of a block.
    const uint64_t limit = DynaArrayBlockLimit();
    uint64_t size = chunks.empty() ? kFirstChunk : std::min(chunks.back().size * 2, kLargestChunk);
    if (chunkBytes + size > limit)
        size = limit > chunkBytes ? limit - chunkBytes : 0;
    uint8_t *block = size >= bytes ? static_cast<uint8_t *>(std::malloc(size)) : nullptr;
    if (!block) {
        ReportAllocationFailure(chunkBytes + std::max(size, bytes));
        return false;
    }
    chunks.push_back({block, size});
    chunkBytes += size;
    chunk = chunks.size() - 1;
    write = block;
    writeEnd = block + size;
    return true;
}

inline bool TPlotList::styleOf(const t9dline &p, uint32_t &index) {
    const uint32_t count = styles.Count();
    // The styles found last and the one before it: a program mostly alternates between two.
    for (const uint32_t known : foundStyles)
        if (known < count && sameStyle(styles[known], p)) {
            index = known;
            return true;
        }
    return findStyle(p, index);
}

bool TPlotList::findStyle(const t9dline &p, uint32_t &index) {
    const uint32_t count = styles.Count();
    index = UINT32_MAX;
    for (uint32_t back = 0; back < kRecentStyles && back < count; ++back)
        if (sameStyle(styles[count - 1 - back], p)) {
            index = count - 1 - back;
            break;
        }
    if (index != UINT32_MAX) {
        foundStyles[1] = foundStyles[0];
        foundStyles[0] = index;
        return true;
    }
    TPlotStyle *entry = styles.Add();
    if (!entry)
        return false;
    entry->col = p.col, entry->typ = p.typ, entry->style = p.style;
    const TPlotMove &m = p.move;
    entry->kind = m.kind, entry->feedMode = m.feedMode, entry->units = m.units;
    entry->feedGiven = m.feedGiven, entry->tool = m.tool, entry->feed = m.feed;
    entry->speed = m.speed;
    index = count;
    foundStyles[1] = foundStyles[0];
    foundStyles[0] = index;
    return true;
}

// Point k continues the last axes run, or starts one; false when memory ran out.
inline bool TPlotList::addAxes(uint32_t k, const t9dline &p) {
    const uint32_t count = axes.Count();
    return (count > 0 && sameAxes(axes[count - 1], p)) || newAxes(k, p);
}

bool TPlotList::newAxes(uint32_t k, const t9dline &p) {
    TPlotAxesRun *run = axes.Add();
    if (!run)
        return false;
    run->first = k;
    run->a = p.a, run->b = p.b, run->c = p.c;
    run->u = p.u, run->v = p.v, run->w = p.w;
    return true;
}

bool TPlotList::Add(const t9dline &p) {
    if (total == UINT32_MAX) {
        ReportAllocationFailure(CodedBytes() + kMaxPointBytes);
        return false;
    }
    const uint32_t styleCount = styles.Count(), axesCount = axes.Count();
    const uint32_t checkpointCount = checkpoints.Count();
    uint32_t style = 0;
    bool ok = styleOf(p, style) && addAxes(total, p);
    if (ok && stored % kPlotBlock == 0) {
        ok = room(kBlockBytes);
        TPlotCheckpoint *checkpoint = ok ? checkpoints.Add() : nullptr;
        if ((ok = checkpoint != nullptr)) {
            if (checkpointCount > 0) { // the block before is full
                checkpoints[checkpointCount - 1].lowest = lowest;
                checkpoints[checkpointCount - 1].highest = highest;
            }
            checkpoint->bytes = write;
            checkpoint->state = last;
            // A point on the line of the point before it begins the block.
            lowest = last.zeilevon, highest = last.zeilebis;
        }
    }
    if (!ok) { // take back what this point added
        if (checkpoints.Count() > checkpointCount)
            checkpoints.Delete(checkpoints.Count() - 1);
        if (axes.Count() > axesCount)
            axes.Delete(axes.Count() - 1);
        if (styles.Count() > styleCount)
            styles.Delete(styles.Count() - 1);
        return false;
    }

    uint8_t *p0 = write;
    uint8_t header = 0, escaped = 0;
    uint8_t *q = write + 2; // the header and the escape byte go before the values
    const double xyz[3] = {p.x, p.y, p.z};
    for (int axis = 0; axis < 3; ++axis) {
        const double value = xyz[axis];
        if (bitsOf(value) == bitsOf(lastXyz[axis]))
            continue;
        header |= uint8_t(1 << axis);
        lastXyz[axis] = value;
        uint8_t &scale = last.scale[axis];
        int64_t units = 0;
        if (scale != kPlotWhole && unitsOf(value, scale, units)) {
            q = putNumber(q, zigzag(units - last.units[axis]));
            last.units[axis] = units;
            continue;
        }
        // A finer scale, or the one the axis had before it held whole doubles.
        uint8_t found = kPlotWhole;
        if (scale == kPlotWhole) {
            if (unitsOf(value, preferred[axis], units))
                found = preferred[axis];
        } else {
            // Finer scales first, then the coarser ones.
            for (uint8_t step = 1; step <= kPlotMaxScale && found == kPlotWhole; ++step) {
                const uint8_t s = uint8_t((scale + step) % (kPlotMaxScale + 1));
                if (unitsOf(value, s, units))
                    found = s;
            }
        }
        escaped |= uint8_t(1 << axis);
        *q++ = found;
        scale = found;
        if (found == kPlotWhole) {
            std::memcpy(q, &value, 8);
            std::memcpy(&last.units[axis], &value, 8);
            q += 8;
        } else {
            preferred[axis] = found;
            q = putNumber(q, zigzag(units));
            last.units[axis] = units;
        }
    }
    if (p.zeilevon != last.zeilevon || p.zeilebis != last.zeilebis) {
        const uint64_t next = uint64_t(last.zeilebis) + 1;
        if (uint64_t(p.zeilevon) == next) {
            header |= kSourceNext;
        } else {
            header |= kSourceOther;
            q = putNumber(q, zigzag(int64_t(uint64_t(p.zeilevon) - next)));
        }
        q = putNumber(q, zigzag(int64_t(uint64_t(p.zeilebis) - uint64_t(p.zeilevon))));
        last.zeilevon = p.zeilevon, last.zeilebis = p.zeilebis;
        lowest = std::min(lowest, p.zeilevon);
        highest = std::max(highest, p.zeilebis);
    }
    if (style != last.style) {
        header |= kStyleBit;
        q = putNumber(q, style);
        last.style = style;
    }
    // The values were written two bytes on; close the gap the escape byte does not need.
    uint8_t *values = p0 + 2;
    p0[0] = header | (escaped ? kEscapeBit : 0);
    if (escaped) {
        p0[1] = escaped;
    } else if (q - values <= 16 && writeEnd - values >= 16) {
        // Most points: one move of 16 bytes (the bytes after q are free room).
        uint8_t moved[16];
        std::memcpy(moved, values, 16);
        std::memcpy(p0 + 1, moved, 16);
        --q;
    } else {
        std::memmove(p0 + 1, values, size_t(q - values));
        --q;
    }
    coded += uint64_t(q - p0);
    write = q;
    ++stored;
    ++total;
    return true;
}

bool TPlotList::AddArcPoints(const TPlotArcPoints &arc, uint32_t count, const t9dline &p) {
    if (uint64_t(total) + count > UINT32_MAX) {
        ReportAllocationFailure(CodedBytes() + uint64_t(count) * kMaxPointBytes);
        return false;
    }
    const uint32_t styleCount = styles.Count(), axesCount = axes.Count();
    uint32_t style = 0;
    TPlotArcPointsRun *run = nullptr;
    if (styleOf(p, style) && addAxes(total, p))
        run = arcPoints.Add();
    if (!run) {
        if (axes.Count() > axesCount)
            axes.Delete(axes.Count() - 1);
        if (styles.Count() > styleCount)
            styles.Delete(styles.Count() - 1);
        return false;
    }
    run->arc = arc;
    run->zeilevon = p.zeilevon;
    run->zeilebis = p.zeilebis;
    run->first = total;
    run->count = count;
    run->before = stored;
    run->style = style;
    total += count;
    return true;
}

void TPlotList::ShortenLastArc(uint32_t count) {
    if (arcPoints.Count() == 0)
        return;
    TPlotArcPointsRun &run = arcPoints[arcPoints.Count() - 1];
    if (run.first + run.count == total && count >= 1 && count <= run.count) {
        run.count = count;
        total = run.first + count;
        ++generation;
    }
}

void TPlotList::storedPoint(uint32_t k, double (&p)[3], int64_t &zeilevon, int64_t &zeilebis,
                            uint32_t &style) const {
    uint32_t index = k;
    if (arcPoints.Count() > 0 && arcPoints[0].first <= k) {
        const TPlotArcPointsRun &run =
            arcPoints[lastAtMost(arcPoints, &TPlotArcPointsRun::first, k)];
        if (k - run.first < run.count) {
            run.arc.Point(double(k - run.first), p);
            zeilevon = run.zeilevon, zeilebis = run.zeilebis, style = run.style;
            return;
        }
        index = run.before + (k - run.first - run.count);
    }
    const TPlotCheckpoint &checkpoint = checkpoints[index / kPlotBlock];
    TPlotCodeState state = checkpoint.state;
    stateValues(state, p);
    const uint8_t *bytes = checkpoint.bytes;
    for (uint32_t n = index % kPlotBlock + 1; n > 0; --n)
        decodePoint(bytes, state, p);
    zeilevon = state.zeilevon, zeilebis = state.zeilebis, style = state.style;
}

t9dline TPlotList::operator[](uint32_t k) const {
    t9dline p{};
    double xyz[3];
    uint32_t style = 0;
    storedPoint(k, xyz, p.zeilevon, p.zeilebis, style);
    p.x = xyz[0], p.y = xyz[1], p.z = xyz[2];
    copyStyle(styles[style], p);
    copyAxes(axes[runOf(axes, k)], p);
    return p;
}

uint32_t TPlotList::LastDrawnAt(int64_t offset, uint32_t first) const {
    const auto holds = [offset](int64_t von, int64_t bis) {
        return von <= offset && offset <= bis;
    };
    TPlotReader reader(*this);
    // From the end back: an arc at a time, and the points stored one by one between the arcs a
    // block at a time.
    uint32_t k = total; // the points before k are left to search
    uint32_t arc = arcPoints.Count();
    while (k > first) {
        while (arc > 0 && arcPoints[arc - 1].first >= k)
            --arc;
        // The points k - 1, k - 2 ... down to end are stored one by one, from stored index s.
        uint32_t end = 0, s = k - 1;
        if (arc > 0) {
            const TPlotArcPointsRun &run = arcPoints[arc - 1];
            end = run.first + run.count;
            if (k - 1 < end) { // in the arc
                if (styles[run.style].typ == 1 && holds(run.zeilevon, run.zeilebis))
                    return k - 1;
                k = run.first;
                continue;
            }
            s = run.before + (k - 1 - end);
        }
        end = std::max(end, first);
        // Block by block, the one being filled has no recorded offsets yet.
        while (k > end) {
            const uint32_t b = s / kPlotBlock;
            const uint32_t n = std::min(s % kPlotBlock + 1, k - end); // points of it to look at
            const bool full = b + 1 < checkpoints.Count();
            if (!full || holds(checkpoints[b].lowest, checkpoints[b].highest)) {
                for (uint32_t i = 0; i < n; ++i) {
                    const t9dline &point = reader[k - 1 - i];
                    if (point.typ == 1 && holds(point.zeilevon, point.zeilebis))
                        return k - 1 - i;
                }
            }
            k -= n;
            s -= n;
        }
    }
    return UINT32_MAX;
}

bool TPlotList::AddArc(const TPlotArc &arc) {
    TPlotArc *record = arcs.Add();
    if (record)
        *record = arc;
    return record != nullptr;
}

void TPlotList::Truncate() {
    ++generation;
    total = stored = 0;
    last = TPlotCodeState{};
    foundStyles[0] = foundStyles[1] = 0;
    lowest = highest = 0;
    std::fill(std::begin(lastXyz), std::end(lastXyz), 0.0);
    std::fill(std::begin(preferred), std::end(preferred), uint8_t(0));
    coded = 0;
    chunk = 0;
    write = chunks.empty() ? nullptr : chunks[0].bytes;
    writeEnd = chunks.empty() ? nullptr : write + chunks[0].size;
    checkpoints.Truncate();
    styles.Truncate();
    arcPoints.Truncate();
    arcs.Truncate();
    axes.Truncate();
}

void TPlotList::Clear() {
    Truncate();
    for (const Chunk &c : chunks)
        std::free(c.bytes);
    chunks.clear();
    chunkBytes = 0;
    write = writeEnd = nullptr;
    checkpoints.Clear();
    styles.Clear();
    arcPoints.Clear();
    arcs.Clear();
    axes.Clear();
}

void TPlotList::swap(TPlotList &o) {
    std::swap(total, o.total);
    std::swap(stored, o.stored);
    std::swap(last, o.last);
    std::swap(foundStyles, o.foundStyles);
    std::swap(lowest, o.lowest);
    std::swap(highest, o.highest);
    std::swap(lastXyz, o.lastXyz);
    std::swap(preferred, o.preferred);
    std::swap(coded, o.coded);
    std::swap(chunks, o.chunks);
    std::swap(chunkBytes, o.chunkBytes);
    std::swap(chunk, o.chunk);
    std::swap(write, o.write);
    std::swap(writeEnd, o.writeEnd);
    checkpoints.Swap(o.checkpoints);
    styles.Swap(o.styles);
    axes.Swap(o.axes);
    arcPoints.Swap(o.arcPoints);
    // The true curves stay: the rewrites change them in place.
}

// Every point read, changed and added to a new list, which then takes this one's place; the
// arcs' points become single points.
template <typename Change> bool TPlotList::rewrite(Change change) {
    TPlotList out;
    TPlotReader reader(*this);
    for (uint32_t k = 0; k < total; ++k) {
        t9dline p = reader[k];
        change(p);
        if (!out.Add(p))
            return false;
    }
    swap(out);
    ++generation;
    return true;
}

bool TPlotList::Scale(double factor) {
    const bool done = rewrite([factor](t9dline &p) {
        p.x *= factor, p.y *= factor, p.z *= factor;
        p.u *= factor, p.v *= factor, p.w *= factor;
    });
    if (!done)
        return false;
    for (uint32_t k = 0; k < arcs.Count(); ++k) {
        TPlotArc &arc = arcs[k];
        for (int axis = 0; axis < 3; ++axis) {
            arc.centre[axis] *= factor;
            arc.u[axis] *= factor, arc.v[axis] *= factor, arc.h[axis] *= factor;
        }
    }
    return true;
}

bool TPlotList::Shift(const double (&delta)[9], unsigned which) {
    const auto add = [which, &delta](double &value, int axis) {
        if (which & (1u << axis))
            value += delta[axis];
    };
    const bool done = rewrite([&add](t9dline &p) {
        add(p.x, 0), add(p.y, 1), add(p.z, 2);
        add(p.a, 3), add(p.b, 4), add(p.c, 5);
        add(p.u, 6), add(p.v, 7), add(p.w, 8);
    });
    if (!done)
        return false;
    for (uint32_t k = 0; k < arcs.Count(); ++k)
        for (int axis = 0; axis < 3; ++axis)
            add(arcs[k].centre[axis], axis);
    return true;
}

// A point without an escape, the most common kind, is decoded here; the others by decodePoint.
void TPlotReader::decodeBlock(uint32_t b) {
    const TPlotCheckpoint &checkpoint = list.checkpoints[b];
    TPlotCodeState state = checkpoint.state;
    double p[3];
    stateValues(state, p);
    const uint8_t *bytes = checkpoint.bytes;
    const uint32_t n = std::min(kPlotBlock, list.stored - b * kPlotBlock);
    for (uint32_t k = 0; k < n; ++k) {
        const uint8_t header = *bytes;
        if (header & kEscapeBit) {
            decodePoint(bytes, state, p);
        } else {
            ++bytes;
            for (int axis = 0; axis < 3; ++axis)
                if (header & (1 << axis)) {
                    state.units[axis] += getDifference(bytes);
                    p[axis] = double(state.units[axis]) / kPow10[state.scale[axis]];
                }
            if (const uint8_t source = header & kSourceBits; source != kSourceSame) {
                const uint64_t next = uint64_t(state.zeilebis) + 1;
                state.zeilevon =
                    int64_t(source == kSourceNext ? next : next + uint64_t(getDifference(bytes)));
                state.zeilebis = int64_t(uint64_t(state.zeilevon) + uint64_t(getDifference(bytes)));
            }
            if (header & kStyleBit)
                state.style = uint32_t(getNumber(bytes));
        }
        xyz[k][0] = p[0], xyz[k][1] = p[1], xyz[k][2] = p[2];
        von[k] = state.zeilevon, bis[k] = state.zeilebis;
        styleIndex[k] = state.style;
    }
    block = b;
    decoded = n;
}

void TPlotReader::followAxes(uint32_t k) {
    if (follow(list.axes, list.total, k, axesRun, axesEnd, axesValid))
        copyAxes(list.axes[axesRun], record);
}

TPlotBatch TPlotReader::Batch(uint32_t k) {
    followAxes(k);
    TPlotBatch batch{};
    batch.axes = &list.axes[axesRun];
    uint32_t end = std::min(axesEnd, k + kPlotBlock); // the batch ends before this point
    uint32_t index = k;
    const TDynaArray<TPlotArcPointsRun> &arcs = list.arcPoints;
    if (arcs.Count() > 0 && arcs[0].first <= k) {
        follow(arcs, list.total, k, arc, arcEnd, arcValid);
        const TPlotArcPointsRun &run = arcs[arc];
        if (k - run.first < run.count) {
            const uint32_t n = std::min(end, run.first + run.count) - k;
            for (uint32_t i = 0; i < n; ++i) {
                run.arc.Point(double(k - run.first + i), arcXyz[i]);
                arcVon[i] = run.zeilevon, arcBis[i] = run.zeilebis, arcStyle[i] = run.style;
            }
            batch.count = n;
            batch.xyz = arcXyz, batch.zeilevon = arcVon, batch.zeilebis = arcBis;
            batch.style = arcStyle;
            return batch;
        }
        index = run.before + (k - run.first - run.count);
        end = std::min(end, arcEnd);
    } else if (arcs.Count() > 0) {
        end = std::min(end, arcs[0].first);
    }
    const uint32_t b = index / kPlotBlock, i = index % kPlotBlock;
    if (b != block || i >= decoded)
        decodeBlock(b);
    batch.count = std::min(decoded - i, end - k);
    batch.xyz = xyz + i, batch.zeilevon = von + i, batch.zeilebis = bis + i;
    batch.style = styleIndex + i;
    return batch;
}

const t9dline &TPlotReader::operator[](uint32_t k) {
    const uint32_t count = list.total;
    uint32_t index = k, styleNow = 0;
    if (list.arcPoints.Count() > 0 && list.arcPoints[0].first <= k) {
        follow(list.arcPoints, count, k, arc, arcEnd, arcValid);
        const TPlotArcPointsRun &run = list.arcPoints[arc];
        index = run.before + (k - run.first - run.count);
        if (k - run.first < run.count) {
            double p[3];
            run.arc.Point(double(k - run.first), p);
            record.x = p[0], record.y = p[1], record.z = p[2];
            record.zeilevon = run.zeilevon, record.zeilebis = run.zeilebis;
            index = UINT32_MAX;
            styleNow = run.style;
        }
    }
    if (index != UINT32_MAX) {
        const uint32_t b = index / kPlotBlock, i = index % kPlotBlock;
        if (b != block || i >= decoded)
            decodeBlock(b);
        record.x = xyz[i][0], record.y = xyz[i][1], record.z = xyz[i][2];
        record.zeilevon = von[i], record.zeilebis = bis[i];
        styleNow = styleIndex[i];
    }
    if (styleNow != style) {
        style = styleNow;
        copyStyle(list.styles[style], record);
    }
    followAxes(k);
    return record;
}

} // namespace morvilo
