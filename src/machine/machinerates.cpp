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
    for (size_t axis = 0; axis < 3; ++axis)
        rates.travel[axis] = {profile.travel[axis].min * mm, profile.travel[axis].max * mm};
    return rates;
}

} // namespace morvilo
