#pragma once
// The machine's rates and travel as run times and travel checks use them, in millimetres
// (degrees for rotary axes) and seconds, whatever units the machine's profile is given in.

namespace morvilo {

struct MachineProfile;

struct MachineRates {
    double rapidRate = 5000;         // per axis, mm/min
    double acceleration = 500;       // per axis, mm/s²; 0: ignored, every move at its speed
    double toolChangeTime = 10;      // seconds
    double defaultFeed = 1000;       // feed moves without a usable F, mm/min
    double junctionDeviation = 0.01; // mm
    // The travel of X, Y, Z in machine coordinates, mm; an axis is limited when its minimum
    // lies below its maximum.
    double travelMin[3] = {}, travelMax[3] = {};
};

// The rates of a machine profile (given in its units); its acceleration of 0 stays 0: the run
// time ignores acceleration, as the relief estimate of the profile does.
MachineRates RatesOfProfile(const MachineProfile &profile);

} // namespace morvilo
