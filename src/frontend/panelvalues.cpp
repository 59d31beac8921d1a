#include "frontend/panelvalues.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace morvilo {

long double HundredthsShown(double value) {
    if (!std::isfinite(value) || value == 0)
        return (long double)value * 100; // infinite or zero as it is
    // 15 significant digits "d.dddddddddddddde±x": value = digits * 10^(exponent - 14).
    char text[40];
    auto result = std::to_chars(text, text + sizeof text - 1, std::fabs(value),
                                std::chars_format::scientific, 14);
    *result.ptr = '\0';
    char *e = std::find(text, result.ptr, 'e');
    const int exponent = std::atoi(e + 1);
    long long digits = 0;
    for (char *c = text; c != e; ++c)
        if (*c != '.')
            digits = digits * 10 + (*c - '0');
    // Hundredths = digits * 10^(exponent - 12), rounded half away from zero.
    const int shift = 12 - exponent;
    long double hundredths = 0;
    if (shift <= 0) {
        hundredths = (long double)value * 100; // nothing below the hundredths
        return hundredths;
    }
    if (shift <= 15) {
        long long divisor = 1;
        for (int i = 0; i < shift; ++i)
            divisor *= 10;
        hundredths = (long double)(digits / divisor + (digits % divisor * 2 >= divisor ? 1 : 0));
    }
    return value < 0 ? -hundredths : hundredths;
}

namespace {

// An integer of hundredths divided by 100 is rounded once: the same as reading the text.
double hundredthsToDouble(long double hundredths) {
    return std::fabs(hundredths) < 1e15L ? double(hundredths) / 100.0 : double(hundredths / 100);
}

long double clampedHundredths(double value, PanelRange range) {
    if (std::isnan(value))
        value = double(range.low);
    const double clamped = std::clamp<double>(value, double(range.low), double(range.high));
    const long double smallest = std::ceil(range.low * 100);
    return std::max(HundredthsShown(clamped), smallest);
}

} // namespace

double RoundToTwoDecimals(double value) {
    return std::isfinite(value) ? hundredthsToDouble(HundredthsShown(value)) : value;
}

double PanelReal(double value, PanelRange range) {
    return hundredthsToDouble(clampedHundredths(value, range));
}

long double PanelRealExtended(double value, PanelRange range) {
    return clampedHundredths(value, range) / 100;
}

int PanelInteger(int64_t value, PanelRange range) {
    return int(std::clamp<int64_t>(value, int64_t(range.low), int64_t(range.high)));
}

ReliefParameters StartupReliefParameters() {
    ReliefParameters p;
    p.sicher = -1;
    p.tiefe = 1;
    p.width = 10;
    p.levels = 16;
    p.xstart = p.ystart = p.zstart = 0;
    p.abstandfr = 0.05;
    p.invert = false;
    p.brightnessRange = true;
    p.nach = 4;
    return p;
}

} // namespace morvilo
