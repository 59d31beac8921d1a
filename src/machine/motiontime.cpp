#include "machine/motiontime.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace morvilo {

namespace {
constexpr size_t kChunk = 8192;
}

double SpeedPlanner::JunctionSpeedSqr(const double (&from)[3], const double (&to)[3],
                                      double acceleration, double deviation) {
    const double cosTheta = -(from[0] * to[0] + from[1] * to[1] + from[2] * to[2]);
    if (cosTheta > 0.999999)
        return 0;
    if (cosTheta < -0.999999)
        return 1e300;
    const double sinHalf = std::sqrt(0.5 * (1 - cosTheta));
    return acceleration * deviation * sinHalf / (1 - sinHalf);
}

double SpeedPlanner::MoveTime(double length, double v0, double v1, double vmax,
                              double acceleration) {
    v0 = std::min(v0, vmax);
    v1 = std::min(v1, vmax);
    const double a2 = 2 * acceleration;
    const double up = (vmax * vmax - v0 * v0) / a2, down = (vmax * vmax - v1 * v1) / a2;
    if (up + down <= length)
        return (vmax - v0) / acceleration + (vmax - v1) / acceleration +
               (length - up - down) / vmax;
    // A triangle: the peak speed where the way up and the way down meet.
    const double peak = std::max({std::sqrt((a2 * length + v0 * v0 + v1 * v1) / 2), v0, v1});
    return (peak - v0) / acceleration + (peak - v1) / acceleration;
}

double SpeedPlanner::RestToRestTime(double length, double speed, double acceleration) {
    if (!(length > 0))
        return 0;
    return acceleration > 0 ? MoveTime(length, 0, 0, speed, acceleration) : length / speed;
}

void SpeedPlanner::Add(double length, double speed, double acceleration, double entrySpeedSqr) {
    double entryMax = stopped ? 0 : std::min({entrySpeedSqr, speed * speed, lastSpeed * lastSpeed});
    stopped = false;
    lastSpeed = speed;
    moves.push_back({length, speed, acceleration, entryMax, 0});
    if (moves.size() >= planAt)
        plan(false);
}

double SpeedPlanner::Finish() {
    plan(true);
    stopped = true;
    lastSpeed = 0;
    return seconds;
}

// Backward from the last move (at rest after it) each entry speed is bounded by what can still
// be braked to the next one; forward from the first, by what can be reached from the one
// before. Moves whose following path is shorter than the stop distance wait for more moves,
// unless all moves are in.
void SpeedPlanner::plan(bool all) {
    const size_t n = moves.size();
    if (n == 0)
        return;
    double nextSqr = 0;
    for (size_t i = n; i-- > 0;) {
        Move &m = moves[i];
        m.plannedSqr = std::min(m.entryMaxSqr, nextSqr + 2 * m.acceleration * m.length);
        nextSqr = m.plannedSqr;
    }
    size_t final = n;
    if (!all) {
        // Move i is final when the path after it is at least the stop distance.
        double after = 0;
        final = n;
        while (final > 0 && after < stopDistance)
            after += moves[--final].length;
    }
    double vSqr = std::min(entrySqr, moves[0].plannedSqr);
    for (size_t i = 0; i < final; ++i) {
        const Move &m = moves[i];
        const double next = i + 1 < n ? moves[i + 1].plannedSqr : 0;
        const double exitSqr = std::min(next, vSqr + 2 * m.acceleration * m.length);
        seconds += MoveTime(m.length, std::sqrt(vSqr), std::sqrt(exitSqr), m.speed, m.acceleration);
        vSqr = exitSqr;
    }
    entrySqr = vSqr;
    moves.erase(moves.begin(), moves.begin() + ptrdiff_t(final));
    planAt = std::max(kChunk, 2 * moves.size());
}

std::string RunTimeText(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 1e15)
        return "-";
    const double whole = std::floor(seconds + 0.5);
    char text[64];
    std::snprintf(text, sizeof text, "%.0f:%02d:%02d", std::floor(whole / 3600),
                  int(std::fmod(whole, 3600) / 60), int(std::fmod(whole, 60)));
    return text;
}

} // namespace morvilo
