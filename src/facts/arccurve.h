#pragma once
// The true curve of an arc or helix as the motion stream gives it (MotionArc): its points, its
// direction of travel, its length and the box it sweeps. Program facts take their arc maths from
// here; the drawn points stay the interpreter's (MotionArc::DrawnPoint).

#include "interpreter/motionstream.h"

namespace morvilo {

// The curve's point at t (0 its start, 1 its end).
void ArcCurvePoint(const MotionArc &arc, double t, double (&p)[3]);
// The unit direction of travel at t; 0 on every axis where the curve does not move.
void ArcCurveDirection(const MotionArc &arc, double t, double (&unit)[3]);
// The radius in the arc's plane.
double ArcCurveRadius(const MotionArc &arc);
// The length along the curve: the turn and the climb of a helix.
double ArcCurveLength(const MotionArc &arc);
// The smallest box that holds the curve: its ends and every point where it turns back along an
// axis.
void ArcCurveBox(const MotionArc &arc, double (&low)[3], double (&high)[3]);

} // namespace morvilo
