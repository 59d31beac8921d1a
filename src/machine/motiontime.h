#pragma once
// Run time with acceleration: every move on a trapezoidal speed profile (accelerate, cruise,
// decelerate; a triangle when the move is too short to reach its speed), the speed at each
// junction of two moves bounded by the angle between them, as motion planners of machine
// controls do it: a circle through the corner that deviates from it by the junction deviation
// gives the highest speed whose centripetal acceleration the machine can take.
//
// The planner sees the moves in program order and keeps only those whose speeds the moves to
// come may still lower: a move is final once the path after it is long enough to stop from any
// speed, so a program of any length is planned in little memory, with the same result as a
// plan of the whole program at once (a backward pass from the end at rest, a forward pass from
// the start at rest).

#include <cstddef>
#include <string>
#include <vector>

namespace morvilo {

class SpeedPlanner {
public:
    // stopDistance: the longest way any move needs to stop (highest speed² / (2 lowest
    // acceleration)).
    explicit SpeedPlanner(double stopDistance) : stopDistance(stopDistance) {}

    // A move of length > 0 at speed > 0 with acceleration > 0 (units, units/s, units/s²),
    // entered at most at sqrt(entrySpeedSqr) (the junction's bound; the speeds of this move
    // and the one before bound it too).
    void Add(double length, double speed, double acceleration, double entrySpeedSqr);
    // The machine stands still before the next move (a dwell, a tool change).
    void Stop() { stopped = true; }
    // All moves ended, the last at rest: the time of all of them, seconds.
    double Finish();

    // The highest speed² through the corner from the unit direction from into the unit
    // direction to: the junction deviation's circle (0 for a reversal, unbounded when straight
    // on).
    static double JunctionSpeedSqr(const double (&from)[3], const double (&to)[3],
                                   double acceleration, double deviation);

    // The time of one move from speed v0 to v1 with at most vmax, seconds.
    static double MoveTime(double length, double v0, double v1, double vmax, double acceleration);
    // The time of one move from rest to rest at most at speed: a move between two that meet it
    // at a right angle or turn back. An acceleration of 0 is ignored: the move goes at its speed
    // throughout.
    static double RestToRestTime(double length, double speed, double acceleration);

private:
    struct Move {
        double length, speed, acceleration, entryMaxSqr, plannedSqr;
    };
    void plan(bool all);

    double stopDistance;
    std::vector<Move> moves;
    size_t planAt = 8192;
    double entrySqr = 0;  // entry speed² of moves[0], known from the moves before it
    double lastSpeed = 0; // speed of the last move added
    bool stopped = true;
    double seconds = 0;
};

// A run time as "1:02:03" (hours, minutes, seconds; "0:02:03" below an hour), rounded to the
// second; "-" when it is no time (negative, not finite, beyond 10^15 seconds).
std::string RunTimeText(double seconds);

} // namespace morvilo
