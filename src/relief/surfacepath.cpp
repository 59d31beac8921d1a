#include "relief/surfacepath.h"

#include <algorithm>
#include <cmath>

namespace morvilo {

namespace {

// The junction deviation the time estimate plans with, as the program facts do.
constexpr double kJunctionDeviation = 0.01;

double upOf(const ReliefParameters &p) {
    return p.sicher >= p.zstart ? 1.0 : -1.0;
}

void replaceAll(std::string &text, const std::string &from, const std::string &to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

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

void MergePath(const float *heights, int64_t from, int64_t count, double tolerance, PathRow &row) {
    row.kept.clear();
    row.heights.clear();
    if (count <= 0)
        return;
    const double below = tolerance / 2, above = tolerance;
    auto keep = [&](int64_t k) {
        row.kept.push_back(int32_t(from + k));
        row.heights.push_back(heights[from + k]);
    };
    keep(0);
    int64_t anchor = 0;
    double low = -INFINITY, high = INFINITY; // slopes from the anchor the positions between allow
    for (int64_t k = 1; k < count; ++k) {
        double dx = double(k - anchor);
        const double slope = (double(heights[from + k]) - heights[from + anchor]) / dx;
        if (slope < low || slope > high) {
            anchor = k - 1;
            keep(anchor);
            low = -INFINITY;
            high = INFINITY;
            dx = 1;
        }
        const double base = heights[from + anchor], h = heights[from + k];
        low = std::max(low, (h - below - base) / dx);
        high = std::min(high, (h + above - base) / dx);
    }
    if (anchor != count - 1)
        keep(count - 1);
}

MoveClock::MoveClock(const MachineProfile &profile)
    : rapid(profile.rapidRate / 60), feed(profile.feed / 60), plunge(profile.plungeFeed / 60),
      acceleration(profile.acceleration),
      planner(acceleration > 0 ? 3 * rapid * rapid / (2 * acceleration) : 0) {}

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
    if (acceleration > 0) {
        planner.Add(length, speed, acceleration / largest,
                    hasDirection ? SpeedPlanner::JunctionSpeedSqr(direction, unit, acceleration,
                                                                  kJunctionDeviation)
                                 : 0);
    } else {
        seconds += length / speed;
    }
    std::copy(unit, unit + 3, direction);
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
    : p(p), out(out), up(upOf(p)), zstart(p.zstart), decimals(ProgramDecimals(p, p.profile)),
      lineEnd(p.profile.pathsOnly || p.profile.crlf ? "\r\n" : "\n"), clock(p.profile) {
    if (!p.profile.pathsOnly && p.profile.feed != p.profile.plungeFeed) {
        plungeFeed = " F" + ProfileNumber(p.profile.plungeFeed, p.profile, decimals);
        cutFeed = " F" + ProfileNumber(p.profile.feed, p.profile, decimals);
    }
}

// Trailing zeros are left out (a point stays where the profile wants one on every number).
std::string GcodeWriter::number(double value) const {
    return ProfileNumber(value, p.profile, decimals);
}

void GcodeWriter::text(const std::string &line) {
    bytes += line.size();
    if (out)
        out->Write(line);
}

bool GcodeWriter::Failed() const {
    return out && !out->Error().empty();
}

void GcodeWriter::Header() {
    if (p.profile.pathsOnly) {
        MoveZ(Motion::Rapid, p.sicher);
        return;
    }
    const std::string date = p.date.empty() ? TodaysDate() : p.date;
    text(ExpandProfileTemplate(p.profile.header, p.profile, p, date));
    MoveZ(Motion::Rapid, p.sicher);
    if (cutFeed.empty())
        text("F" + ProfileNumber(p.profile.feed, p.profile, decimals) + lineEnd);
}

void GcodeWriter::Footer() {
    if (p.profile.pathsOnly)
        return;
    const std::string date = p.date.empty() ? TodaysDate() : p.date;
    text(ExpandProfileTemplate(p.profile.footer, p.profile, p, date));
}

void GcodeWriter::ToolChange(int number) {
    std::string change = p.profile.toolChange;
    replaceAll(change, "{tool}", std::to_string(number));
    const std::string date = p.date.empty() ? TodaysDate() : p.date;
    text(ExpandProfileTemplate(change + "\n{spindledir} S{spindle}", p.profile, p, date));
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

void GcodeWriter::Move(Motion kind, const ToolPoint &to) {
    const double target[3] = {to.x, to.y, zstart + up * to.h};
    move(kind, target, {true, true, true});
}

void GcodeWriter::MoveZ(Motion kind, double z) {
    const double target[3] = {position[0], position[1], z};
    move(kind, target, {false, false, true});
}

void GcodeWriter::move(Motion kind, const double (&to)[3], const bool (&given)[3]) {
    static const char *const axisLetter[3] = {"X", "Y", "Z"};
    std::string words[3];
    bool changes = false;
    for (int axis = 0; axis < 3; ++axis) {
        if (!given[axis])
            continue;
        words[axis] = number(to[axis]);
        if (!known[axis] || words[axis] != axisText[axis])
            changes = true;
    }
    if (!changes)
        return;
    std::string line;
    const char *word = kind == Motion::Rapid ? "G0" : "G1";
    if (word != motionWord) {
        line = word;
        motionWord = word;
    }
    for (int axis = 0; axis < 3; ++axis) {
        if (!given[axis] || (known[axis] && words[axis] == axisText[axis]))
            continue;
        if (!line.empty())
            line += ' ';
        line += axisLetter[axis];
        line += words[axis];
    }
    if (kind != Motion::Rapid) {
        const std::string *feedText = kind == Motion::Plunge ? &plungeFeed : &cutFeed;
        if (!feedText->empty() && feedText != feedWord) {
            line += *feedText;
            feedWord = feedText;
        }
    }
    line += lineEnd;
    text(line);

    const bool timed = known[0] && known[1] && known[2];
    const double from[3] = {position[0], position[1], position[2]};
    for (int axis = 0; axis < 3; ++axis)
        if (given[axis]) {
            axisText[axis] = std::move(words[axis]);
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

SurfaceFrame::SurfaceFrame(const ReliefParameters &p) : p(p), up(upOf(p)) {}

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
