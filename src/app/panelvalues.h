#pragma once
// The relief parameter panel's value rules: clamping to each control's range and the
// two decimals with which real values are shown (and therefore used).

#include "relief/reliefgenerator.h"

#include <cstdint>

namespace morvilo {

struct PanelRange {
    double low;
    double high;
};

constexpr PanelRange kLevelsRange{ReliefLimits::minLevels, ReliefLimits::maxLevels};
constexpr PanelRange kWidthRange{ReliefLimits::minWidth, ReliefLimits::maxWidth};
constexpr PanelRange kDistanceRange{ReliefLimits::minDistance, ReliefLimits::maxDistance};

// The value as the panel shows it: 15 significant digits, then rounded to two decimals with
// halves away from zero (12.125 gives 12.13, 0.285 gives 0.29).
double RoundToTwoDecimals(double value);

// A real control's value: clamped to its range and rounded to two decimals. A range whose low
// end rounds to 0.00 keeps the smallest two-decimal value inside it, so a clamped width or
// distance never becomes 0.
double PanelReal(double value, PanelRange range);
int PanelInteger(int64_t value, PanelRange range);

// The parameters with which the main window starts.
ReliefParameters StartupReliefParameters();

} // namespace morvilo
