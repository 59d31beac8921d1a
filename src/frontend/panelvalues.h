#pragma once
// The relief parameter panel's value rules: clamping to each control's range and the
// two decimals with which real values are shown (and therefore used).

#include "relief/reliefgenerator.h"

#include <cstdint>

namespace morvilo {

struct PanelRange {
    long double low;
    long double high;
};

constexpr PanelRange kLevelsRange{ReliefLimits::minLevels, ReliefLimits::maxLevels};
constexpr PanelRange kWidthRange{ReliefLimits::minWidth, ReliefLimits::maxWidth};
constexpr PanelRange kDistanceRange{ReliefLimits::minDistance, ReliefLimits::maxDistance};

// The value as the panel shows it, in hundredths: 15 significant digits, then rounded to two
// decimals with halves away from zero (12.125 gives 1213, 0.285 gives 29).
long double HundredthsShown(double value);
double RoundToTwoDecimals(double value);

// A real control's value: clamped to its range and rounded to two decimals, read back from the
// text the panel shows as a double (PanelReal) or with the full precision of that text
// (PanelRealExtended). A range whose low end rounds to 0.00 keeps the smallest two-decimal
// value inside it, so a clamped width or distance never becomes 0.
double PanelReal(double value, PanelRange range);
long double PanelRealExtended(double value, PanelRange range);
int PanelInteger(int64_t value, PanelRange range);

// The parameters with which the main window starts.
ReliefParameters StartupReliefParameters();

} // namespace morvilo
