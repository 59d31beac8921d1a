#pragma once
// The machine's rates and travel as run times and travel checks use them, in millimetres
// (degrees for rotary axes) and seconds, whatever units the machine's profile is given in.

#include "machine/machineprofile.h"

#include <array>

namespace morvilo {

struct MachineRates {
    double rapidRate = 5000;           // per axis, mm/min
    double acceleration = 500;         // per axis, mm/s²; 0: ignored, every move at its speed
    double toolChangeTime = 10;        // seconds
    double defaultFeed = 1000;         // feed moves without a usable F, mm/min
    double junctionDeviation = 0.01;   // mm
    std::array<AxisRange, 3> travel{}; // X, Y, Z in machine coordinates, mm
};

// The rates of a machine profile (given in its units); its acceleration of 0 stays 0: the run
// time ignores acceleration, as the relief estimate of the profile does.
MachineRates RatesOfProfile(const MachineProfile &profile);

} // namespace morvilo
