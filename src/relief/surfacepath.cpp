#include "relief/surfacepath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>

namespace morvilo {

namespace {

// The junction deviation the time estimate plans with, as the program facts do.
constexpr double kJunctionDeviation = 0.01;

} // namespace

std::vector<double> RasterRows(double extent, double distance) {
    std::vector<double> rows;
    for (int64_t k = 0;; ++k) {
        const double v = double(k) * distance;
        if (v >= extent - 1e-9 * std::max(1.0, extent))
            break;
        rows.push_back(v);
    }
    rows.push_back(extent);
    return rows;
}

namespace {

// The arcs from a to b (d = b - a), told apart by q = tan of half their included angle, > 0
// bulging to the left of the way: at every u between a and b an arc's height grows with q.
// The circles through a and b are (p - a)(p - b) = 2 t n (p - m), with the centre at the
// chord's middle m plus t along its left normal n, and q = -c / t for the chord's half length
// c; so the arc through p has q = -cross(d, p - a) / ((p - a)(p - b)), one division. Beyond the
// half circle over a and b (where (p - a)(p - b) >= 0) no arc of less than a half turn passes.
struct ArcBounds {
    double au, az, bu, bz, du, dz;
    double low = -INFINITY, high = INFINITY;

    // The arcs that pass over p (lower: true) or under it.
    void Add(double pu, double pz, bool lower) {
        const double cross = du * (pz - az) - dz * (pu - au);
        const double dot = (pu - au) * (pu - bu) + (pz - az) * (pz - bz);
        const bool inside = dot < 0;
        if (lower) {
            if (cross > 0)
                low = inside ? std::max(low, -cross / dot) : INFINITY;
            else if (inside)
                low = std::max(low, -cross / dot);
        } else {
            if (cross < 0)
                high = inside ? std::min(high, -cross / dot) : -INFINITY;
            else if (inside)
                high = std::min(high, -cross / dot);
        }
    }
};

// The moves of a row merged further: runs of straight moves that one arc (or one straight
// move) from the first position to the last replaces, every position between staying within
// the band. An arc replaces at least kArcLines moves (it takes about twice a move's text).
constexpr int kArcLines = 3;
// Arcs bulging less than this are straight for every purpose.
constexpr double kFlattestBulge = 1e-5;

// The positions a row's path is checked at: the given ones, each with the band around its
// height, and, between two of them, the corner where the tool's height bends down (see
// MergePath), which the path must pass over. Positions in units of the given ones.
struct Samples {
    std::vector<double> at;
    std::vector<double> lowest, highest; // the band
    double below = 0, above = 0, step = 1;
    bool kinked = false; // the heights are straight between corners: take every corner

    void Build(const float *h, int64_t count) {
        at.clear();
        lowest.clear();
        highest.clear();
        for (int64_t k = 0; k < count; ++k) {
            at.push_back(double(k));
            lowest.push_back(h[k] - below);
            highest.push_back(h[k] + above);
            if (k < 2 || k + 3 >= count)
                continue;
            // The lines through the two positions either side, where they meet between k and
            // k + 1 above the chord; only at a sharp corner, where the lines go on straight
            // beyond (a smooth curve's chords keep near it).
            const double before = double(h[k]) - h[k - 1], after = double(h[k + 2]) - h[k + 1];
            const double chord = double(h[k + 1]) - h[k];
            if (!(after < chord && chord < before))
                continue;
            const double bend = before - after;
            if (!kinked && (std::fabs(before - (double(h[k - 1]) - h[k - 2])) > bend / 2 ||
                            std::fabs(double(h[k + 3]) - h[k + 2] - after) > bend / 2))
                continue;
            const double t = (chord - after) / (before - after);
            if ((before - chord) * t > below / 4) {
                at.push_back(double(k) + t);
                lowest.push_back(h[k] + before * t - below);
                highest.push_back(INFINITY);
            }
        }
    }
    // The height at sample k (at a corner: where the lines meet).
    double Height(size_t k) const { return lowest[k] + below; }
};

// The bulge of an arc from sample i to sample j within the band (path heights zi and zj
// there), or NaN when none fits; 0 when a straight move fits. Worked out on q = tan of half
// the included angle, which grows with the arc's height at every position between.
double fitArc(const Samples &s, size_t i, double zi, size_t j, double zj) {
    const double au = s.at[i] * s.step, bu = s.at[j] * s.step;
    const double du = bu - au, dz = zj - zi;
    ArcBounds bounds{au, zi, bu, zj, du, dz};
    for (size_t k = i + 1; k < j && bounds.low <= bounds.high; ++k) {
        const double u = s.at[k] * s.step;
        bounds.Add(u, s.lowest[k], true);
        if (std::isfinite(s.highest[k]))
            bounds.Add(u, s.highest[k], false);
    }
    double low = bounds.low, high = bounds.high;
    if (!(low <= high))
        return NAN;
    if (low <= 0 && high >= 0)
        return 0;
    // The arc stays a graph over u: its tangents, half the included angle either side of the
    // chord's, stay off the vertical.
    const double steepest = 0.99 * std::fabs(du) / std::max(std::fabs(dz), 1e-300);
    low = std::max(low, -steepest);
    high = std::min(high, steepest);
    if (!(low <= high))
        return NAN;
    const double q = (low + high) / 2;
    const double bulge = q / (1 + std::sqrt(1 + q * q)); // tan of a quarter
    return std::fabs(bulge) < kFlattestBulge ? NAN : bulge;
}

// std::round (halves away from zero), inline: the fraction a whole number leaves is exact.
double roundHalfAway(double x) {
    const double whole = std::trunc(x);
    return std::fabs(x - whole) >= 0.5 ? whole + std::copysign(1.0, x) : whole;
}

// The value with the fewest decimals (down to 3) between low and high, the nearest to value
// among them: a move's end written in fewer digits.
double roundWithin(double value, double low, double high) {
    for (const double quantum : {1.0, 0.1, 0.01, 0.001}) {
        const double rounded = roundHalfAway(value / quantum) * quantum;
        if (rounded >= low && rounded <= high)
            return rounded;
        // the other neighbour on the quantum's grid
        const double other = rounded + (rounded < value ? quantum : -quantum);
        if (other >= low && other <= high)
            return other;
    }
    return value;
}

// The path's ends as sample indices (vertex), merged into arcs where they fit.
void mergeArcs(const Samples &s, std::vector<size_t> &vertex, PathRow &row) {
    const size_t count = vertex.size();
    size_t out = 1;
    for (size_t i = 0; i + 1 < count;) {
        size_t best = i + 1;
        double bestBulge = 0;
        for (size_t j = i + 2; j < count; ++j) {
            const double bulge = fitArc(s, vertex[i], row.heights[i], vertex[j], row.heights[j]);
            if (std::isnan(bulge))
                break;
            if (bulge == 0 || j - i >= size_t(kArcLines)) {
                best = j;
                bestBulge = bulge;
            }
        }
        vertex[out] = vertex[best];
        row.kept[out] = row.kept[best];
        row.heights[out] = row.heights[best];
        row.bulges[out] = float(bestBulge);
        ++out;
        i = best;
    }
    vertex.resize(out);
    row.kept.resize(out);
    row.heights.resize(out);
    row.bulges.resize(out);
}

} // namespace

void MergePath(const float *heights, int64_t from, int64_t count, double tolerance, PathRow &row,
               double arcStep, bool kinked) {
    row.kept.clear();
    row.heights.clear();
    row.bulges.clear();
    if (count <= 0)
        return;
    thread_local Samples s;
    thread_local std::vector<size_t> vertex;
    s.below = tolerance / 2;
    s.above = tolerance;
    s.step = arcStep;
    s.kinked = kinked;
    s.Build(heights + from, count);
    vertex.clear();
    auto keep = [&](size_t k, double h) {
        vertex.push_back(k);
        row.kept.push_back(double(from) + s.at[k]);
        row.heights.push_back(float(h));
        row.bulges.push_back(0);
    };
    keep(0, roundWithin(heights[from], heights[from] - s.below / 4, heights[from] + s.above));
    // A straight move from the anchor: the slopes it may take to pass every position since
    // within the band. Its end is free within the band too: where the next position cannot be
    // reached, the move ends on the position before, as near to its height as the band
    // allows.
    const size_t n = s.at.size();
    size_t anchor = 0;
    double base = row.heights[0];
    double low = -INFINITY, high = INFINITY;
    auto nearest = [&](size_t k) {
        const double dx = s.at[k] - s.at[anchor];
        const double end = std::min(base + std::clamp((s.Height(k) - base) / dx, low, high) * dx,
                                    s.Height(k) + s.above);
        // rounded hardly lower: the band's lower edge is the depth the path may cut
        return roundWithin(end, std::max(base + low * dx, end - s.below / 4),
                           std::min(base + high * dx, s.Height(k) + s.above));
    };
    for (size_t k = 1; k < n; ++k) {
        double dx = s.at[k] - s.at[anchor];
        double newLow = std::max(low, (s.lowest[k] - base) / dx);
        double newHigh = std::min(high, (s.highest[k] - base) / dx);
        if (newLow > newHigh) {
            keep(k - 1, nearest(k - 1));
            anchor = k - 1;
            base = row.heights.back();
            dx = s.at[k] - s.at[anchor];
            newLow = (s.lowest[k] - base) / dx;
            newHigh = (s.highest[k] - base) / dx;
        }
        low = newLow;
        high = newHigh;
    }
    if (anchor != n - 1)
        keep(n - 1, nearest(n - 1));
    if (arcStep > 0 && row.kept.size() > 2)
        mergeArcs(s, vertex, row);
}

bool ArcsAllowed(const ReliefParameters &p) {
    return p.profile.arcs && ProgramDecimals(p, p.profile) >= 3;
}

MoveClock::MoveClock(const MachineProfile &profile)
    : rapid(profile.rapidRate / 60), feed(profile.feed / 60), plunge(profile.plungeFeed / 60),
      acceleration(profile.acceleration),
      planner(acceleration > 0 ? 3 * rapid * rapid / (2 * acceleration) : 0) {}

double MoveClock::junction(const double (&unit)[3]) const {
    return hasDirection
               ? SpeedPlanner::JunctionSpeedSqr(direction, unit, acceleration, kJunctionDeviation)
               : 0;
}

void MoveClock::Move(Motion kind, const double (&from)[3], const double (&to)[3]) {
    const double d[3] = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
    const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (!(length > 0) || !std::isfinite(length))
        return;
    const double unit[3] = {d[0] / length, d[1] / length, d[2] / length};
    const double largest = std::max({std::fabs(unit[0]), std::fabs(unit[1]), std::fabs(unit[2])});
    const double cap = rapid / largest;
    const double speed =
        kind == Motion::Rapid ? cap : std::min(kind == Motion::Plunge ? plunge : feed, cap);
    if (acceleration > 0)
        planner.Add(length, speed, acceleration / largest, junction(unit));
    else
        seconds += length / speed;
    std::copy(unit, unit + 3, direction);
    hasDirection = true;
}

void MoveClock::Arc(double length, double radius, const double (&in)[3], const double (&out)[3]) {
    if (!(length > 0) || !std::isfinite(length))
        return;
    const double speed = std::min(feed, rapid);
    if (acceleration > 0) {
        // Along the curve the centripetal acceleration bounds the speed, as the program facts
        // have it.
        const double curve = std::min(speed, std::sqrt(acceleration * radius));
        planner.Add(length, curve > 0 ? curve : speed, acceleration, junction(in));
    } else {
        seconds += length / speed;
    }
    std::copy(out, out + 3, direction);
    hasDirection = true;
}

void MoveClock::Stop(double wait) {
    planner.Stop();
    hasDirection = false;
    seconds += wait;
}

double MoveClock::Seconds() {
    seconds += planner.Finish();
    hasDirection = false;
    return seconds;
}

GcodeWriter::GcodeWriter(const ReliefParameters &p, OutputFile *out)
    : p(p), out(out), up(SafeSide(p)), zstart(p.zstart), decimals(ProgramDecimals(p, p.profile)),
      lineEnd(p.profile.pathsOnly || p.profile.crlf ? "\r\n" : "\n"),
      decimalPoint(p.profile.decimalPoint), clock(p.profile) {
    if (!p.profile.pathsOnly && p.profile.feed != p.profile.plungeFeed) {
        plungeFeed = " F" + ProfileNumber(p.profile.plungeFeed, p.profile, decimals);
        cutFeed = " F" + ProfileNumber(p.profile.feed, p.profile, decimals);
    }
}

namespace {

constexpr uint64_t kPowersOfTen[10] = {1,      10,      100,      1000,      10000,
                                       100000, 1000000, 10000000, 100000000, 1000000000};

// The digits of n before end; returns where they begin.
char *digitsBefore(uint64_t n, char *end) {
    do {
        *--end = char('0' + n % 10);
        n /= 10;
    } while (n != 0);
    return end;
}

// value times 10^decimals rounded to the nearest whole number, halves away from zero, on the
// exact binary value (as FormatFixed rounds); false where it does not fit 64 bits.
bool scaledMagnitude(double value, int decimals, uint64_t &scaled) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = int(bits >> 52) & 0x7FF;
    uint64_t mantissa = bits & ((uint64_t(1) << 52) - 1);
    if (biased == 0x7FF)
        return false; // inf, nan
    if (biased != 0)
        mantissa |= uint64_t(1) << 52;
    const int exponent = (biased == 0 ? 1 : biased) - 1075;
    const unsigned __int128 product = (unsigned __int128)mantissa * kPowersOfTen[decimals];
    if (exponent >= 0) {
        if (exponent > 10 || (product >> (64 - exponent)) != 0)
            return false;
        scaled = uint64_t(product << exponent);
        return true;
    }
    const int shift = -exponent;
    if (shift >= 128) {
        scaled = 0;
        return true;
    }
    const unsigned __int128 whole = product >> shift;
    if ((whole >> 64) != 0)
        return false;
    scaled = uint64_t(whole);
    if (((product >> (shift - 1)) & 1) != 0)
        ++scaled; // the first bit below is set: half or more, away from zero
    return true;
}

} // namespace

// Trailing zeros are left out (a point stays where the profile wants one on every number),
// as ProfileNumber has it, without a string of its own: the writer's numbers are its hot path.
void GcodeWriter::number(double value, Word &word) const {
    char *text = word.text;
    uint64_t scaled = 0;
    if (decimals <= 9 && scaledMagnitude(value, decimals, scaled)) {
        int kept = decimals;
        while (kept > 0 && scaled % 10 == 0) {
            scaled /= 10;
            --kept;
        }
        char digits[32];
        char *end = digits + sizeof digits;
        char *start = digitsBefore(scaled, end);
        while (end - start < kept + 1)
            *--start = '0';
        char *out = text;
        if (std::signbit(value) && scaled != 0)
            *out++ = '-';
        const size_t whole = size_t(end - start) - size_t(kept);
        std::memcpy(out, start, whole);
        out += whole;
        if (kept > 0 || decimalPoint)
            *out++ = '.';
        std::memcpy(out, start + whole, size_t(kept));
        word.size = size_t(out - text) + size_t(kept);
        return;
    }
    size_t n = FormatFixed(value, decimals, text);
    if (std::memchr(text, '.', n)) {
        while (text[n - 1] == '0')
            --n;
        if (text[n - 1] == '.' && !decimalPoint)
            --n;
    } else if (decimalPoint) {
        text[n++] = '.';
    }
    if (text[0] == '-' && n >= 2 && text[1] == '0' && (n == 2 || (n == 3 && text[2] == '.'))) {
        std::memmove(text, text + 1, n - 1);
        --n;
    }
    word.size = n;
}

double GcodeWriter::written(int axis) const {
    double value = position[axis];
    const std::string &word = axisText[axis];
    std::from_chars(word.data(), word.data() + word.size(), value);
    return value;
}

void GcodeWriter::text(std::string_view line) {
    bytes += line.size();
    if (out)
        out->Write(line);
}

bool GcodeWriter::Failed() const {
    return out && !out->Error().empty();
}

std::string GcodeWriter::expand(const std::string &text, int tool, bool spindle) const {
    return ExpandProfileTemplate(text, p.profile, p, p.date.empty() ? TodaysDate() : p.date, tool,
                                 spindle);
}

void GcodeWriter::Header(bool spindle) {
    if (p.profile.pathsOnly) {
        MoveZ(Motion::Rapid, p.sicher);
        return;
    }
    text(expand(p.profile.header, 0, spindle));
    spindleOn = spindle && p.profile.spindle > 0;
    MoveZ(Motion::Rapid, p.sicher);
    if (cutFeed.empty())
        text("F" + ProfileNumber(p.profile.feed, p.profile, decimals) + lineEnd);
}

void GcodeWriter::Footer() {
    if (p.profile.pathsOnly)
        return;
    text(expand(p.profile.footer, 0, true));
}

void GcodeWriter::ToolChange(int number) {
    if (spindleOn)
        text("M5" + lineEnd);
    text(expand(p.profile.toolChange + "\n{spindledir} S{spindle}", number, true));
    spindleOn = p.profile.spindle > 0;
    clock.Stop(p.profile.toolChangeTime);
    // Where the change leaves the tool is not known: up to the safe height, and the feed set
    // again.
    known[0] = known[1] = known[2] = false;
    motionWord = nullptr;
    feedWord = nullptr;
    MoveZ(Motion::Rapid, p.sicher);
    if (cutFeed.empty())
        text("F" + ProfileNumber(p.profile.feed, p.profile, decimals) + lineEnd);
}

void GcodeWriter::PlaneXY() {
    if (plane && std::strcmp(plane, "G17") != 0) {
        pending = "G17 ";
        plane = "G17";
    }
}

void GcodeWriter::Move(Motion kind, const ToolPoint &to) {
    const double target[3] = {to.x, to.y, zstart + up * to.h};
    move(kind, target, {true, true, true});
}

void GcodeWriter::MoveZ(Motion kind, double z) {
    const double target[3] = {position[0], position[1], z};
    move(kind, target, {false, false, true});
}

namespace {

const char kAxisLetter[3] = {'X', 'Y', 'Z'};

} // namespace

void GcodeWriter::axisWords(const bool (&given)[3]) {
    for (int axis = 0; axis < 3; ++axis) {
        if (!given[axis] || (known[axis] && words[axis].View() == axisText[axis]))
            continue;
        if (!line.empty() && line.back() != ' ')
            line += ' ';
        line += kAxisLetter[axis];
        line += words[axis].View();
    }
}

void GcodeWriter::beginLine() {
    line.assign(pending);
    pending.clear();
}

void GcodeWriter::move(Motion kind, const double (&to)[3], const bool (&given)[3]) {
    bool changes = false;
    for (int axis = 0; axis < 3; ++axis) {
        if (!given[axis])
            continue;
        number(to[axis], words[axis]);
        if (!known[axis] || words[axis].View() != axisText[axis])
            changes = true;
    }
    if (!changes) {
        if (!pending.empty()) {
            pending.pop_back();
            text(pending + lineEnd);
            pending.clear();
        }
        return;
    }
    beginLine();
    const char *word = kind == Motion::Rapid ? "G0" : "G1";
    if (word != motionWord) {
        line += word;
        motionWord = word;
    }
    axisWords(given);
    if (kind != Motion::Rapid) {
        const std::string *feedText = kind == Motion::Plunge ? &plungeFeed : &cutFeed;
        if (!feedText->empty() && feedText != feedWord) {
            line += *feedText;
            feedWord = feedText;
        }
    }
    line += lineEnd;
    text(line);
    advance(kind, to, given);
}

void GcodeWriter::advance(Motion kind, const double (&to)[3], const bool (&given)[3]) {
    const bool timed = known[0] && known[1] && known[2];
    const double from[3] = {position[0], position[1], position[2]};
    for (int axis = 0; axis < 3; ++axis)
        if (given[axis]) {
            axisText[axis].assign(words[axis].View());
            position[axis] = to[axis];
            known[axis] = true;
        }
    if (!timed)
        return;
    const double length =
        std::sqrt((to[0] - from[0]) * (to[0] - from[0]) + (to[1] - from[1]) * (to[1] - from[1]) +
                  (to[2] - from[2]) * (to[2] - from[2]));
    clock.Move(kind, from, position);
    switch (kind) {
    case Motion::Rapid:
        (given[0] ? figures.rapidLength : figures.retractLength) += length;
        break;
    case Motion::Plunge:
        figures.plungeLength += length;
        ++figures.cuts;
        break;
    case Motion::Cut:
        figures.cutLength += length;
        ++figures.cuts;
        break;
    }
}

void GcodeWriter::Arc(const ToolPoint &to, double bulge, bool alongY) {
    const int along = alongY ? 1 : 0, across = 1 - along;
    const double target[3] = {to.x, to.y, zstart + up * to.h};
    for (int axis = 0; axis < 3; ++axis)
        number(target[axis], words[axis]);
    const bool given[3] = {true, true, true};
    // The arc runs between the points as written (the control measures its radius from
    // them), in the plane of u (along the row) and Z.
    double end[3];
    for (int axis = 0; axis < 3; ++axis) {
        end[axis] = target[axis];
        const Word &w = words[axis];
        std::from_chars(w.text, w.text + w.size, end[axis]);
    }
    const double startU = written(along), startZ = written(2);
    const double du = end[along] - startU, dz = end[2] - startZ;
    const double chord = std::hypot(du, dz);
    // Z against the height: an arc bulging up bulges down where Z grows downwards.
    const double b = bulge * up;
    if (!(known[0] && known[1] && known[2]) || words[across].View() != axisText[across] ||
        !(chord > 0) || !std::isfinite(b) || b == 0) {
        Move(Motion::Cut, to);
        return;
    }
    const double half = chord / 2, sagitta = b * half;
    const double offset = (sagitta * sagitta - half * half) / (2 * sagitta);
    // The centre on the chord's perpendicular through its middle, offset to its left.
    const double centreU = startU + du / 2 - dz / chord * offset;
    const double centreZ = startZ + dz / 2 + du / chord * offset;
    Word centreWords[2];
    number(centreU - startU, centreWords[0]);
    number(centreZ - startZ, centreWords[1]);
    const double radius = std::hypot(half, offset);
    if (!std::isfinite(radius) || (centreWords[0].View() == "0" && centreWords[1].View() == "0")) {
        Move(Motion::Cut, to);
        return;
    }
    // Bulging to the left of the way is clockwise seen with u to the right and Z up: G3 in the
    // ZX plane (seen from +Y, X runs to the left), G2 in the YZ plane.
    const bool clockwise = b > 0;
    const char *word = (clockwise != alongY) ? "G3" : "G2";
    const char *wantedPlane = alongY ? "G19" : "G18";
    beginLine();
    if (plane != wantedPlane) {
        line += wantedPlane;
        line += ' ';
        plane = wantedPlane;
    }
    if (word != motionWord) {
        line += word;
        motionWord = word;
    }
    axisWords(given);
    const char *centreLetter[2] = {alongY ? " J" : " I", " K"};
    for (int k = 0; k < 2; ++k)
        if (centreWords[k].View() != "0") {
            line += centreLetter[k];
            line += centreWords[k].View();
        }
    if (!cutFeed.empty() && feedWord != &cutFeed) {
        line += cutFeed;
        feedWord = &cutFeed;
    }
    line += lineEnd;
    text(line);

    // The figures: the arc's length and its tangents at both ends, half the included angle
    // either side of the chord.
    const double angle = 4 * std::atan(std::fabs(b));
    const double turn = (clockwise ? 1 : -1) * angle / 2;
    double in[3] = {0, 0, 0}, out[3] = {0, 0, 0};
    const double cu = du / chord, cz = dz / chord;
    in[along] = cu * std::cos(turn) - cz * std::sin(turn);
    in[2] = cu * std::sin(turn) + cz * std::cos(turn);
    out[along] = cu * std::cos(-turn) - cz * std::sin(-turn);
    out[2] = cu * std::sin(-turn) + cz * std::cos(-turn);
    const double length = radius * angle;
    for (int axis = 0; axis < 3; ++axis) {
        axisText[axis].assign(words[axis].View());
        position[axis] = target[axis];
    }
    clock.Arc(length, radius, in, out);
    figures.cutLength += length;
    ++figures.cuts;
}

ReliefEstimate GcodeWriter::Figures() {
    ReliefEstimate result = figures;
    result.bytes = bytes;
    result.seconds = clock.Seconds();
    return result;
}

bool RowWritten(const GcodeWriter &w, ReliefProgress *progress) {
    if (progress) {
        progress->rowsDone.fetch_add(1, std::memory_order_relaxed);
        progress->bytesWritten.store(w.Bytes(), std::memory_order_relaxed);
        if (progress->afterRow)
            progress->afterRow();
        if (progress->cancel)
            return false;
    }
    return !w.Failed();
}

SurfaceFrame::SurfaceFrame(const ReliefParameters &p) : p(p), up(SafeSide(p)) {}

void SurfaceFrame::Travel(GcodeWriter &w, const ToolPoint &to, double over) const {
    double travel = std::max(over, double(to.h));
    if (w.HasXY())
        travel = std::max(travel, w.Height());
    if (w.Height() < travel)
        w.MoveZ(Motion::Rapid, Z(travel));
    w.Move(Motion::Rapid, {to.x, to.y, travel});
    const double clearance = Clearance();
    if (clearance < travel && clearance > to.h)
        w.MoveZ(Motion::Rapid, Z(clearance));
    w.MoveZ(Motion::Plunge, Z(to.h));
}

void SurfaceFrame::Enter(GcodeWriter &w, const ToolPoint &to) const {
    Travel(w, to, (p.sicher - p.zstart) * up);
}

void SurfaceFrame::Hop(GcodeWriter &w, const ToolPoint &to) const {
    Travel(w, to, Clearance());
}

double SurfaceFrame::Clearance() const {
    // never above the safe height: the clearance only saves travel below it
    return std::min(p.surface.clearance, (p.sicher - p.zstart) * up);
}

} // namespace morvilo
