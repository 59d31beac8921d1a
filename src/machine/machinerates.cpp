#include "machine/machinerates.h"

#include "machine/machineprofile.h"

namespace morvilo {

namespace {
constexpr double kMmPerInch = 25.39995; // as the interpreter switches units
}

MachineRates RatesOfProfile(const MachineProfile &profile) {
    const double mm = profile.units == "G20" ? kMmPerInch : 1;
    MachineRates rates;
    rates.rapidRate = profile.rapidRate * mm;
    rates.acceleration = profile.acceleration * mm;
    rates.toolChangeTime = profile.toolChangeTime;
    rates.defaultFeed = profile.feed * mm;
    const double travel[3][2] = {{profile.travelXMin, profile.travelXMax},
                                 {profile.travelYMin, profile.travelYMax},
                                 {profile.travelZMin, profile.travelZMax}};
    for (int axis = 0; axis < 3; ++axis) {
        rates.travelMin[axis] = travel[axis][0] * mm;
        rates.travelMax[axis] = travel[axis][1] * mm;
    }
    return rates;
}

} // namespace morvilo
