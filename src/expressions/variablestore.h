#pragma once
// The numbered variables of G-code programs and the substitution of "#n" references.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace morvilo {

// What the system variables read from the clock.
struct ClockReading {
    uint32_t tickMs = 0;                                                // millisecond tick counter
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0; // local time
};
using ClockSource = std::function<ClockReading()>;
// The steady millisecond clock and the local date and time.
ClockReading SystemClockReading();

// Variables 0 ... 6000, all 0 at the start. About 144 KB: owners keep it on the heap.
class VariableStore {
public:
    static constexpr int kFirst = 0;
    static constexpr int kLast = 6000;
    static constexpr int kCount = kLast + 1;
    // Variables shown by the variable list.
    static constexpr int kFirstListed = 1;
    static constexpr int kLastListed = 999;

    using Values = std::array<double, kCount>;

    Values va{};  // the current values, read by the substitution
    Values nva{}; // the assignments of the block being run
    Values ova{}; // the values from before the last block; shown by the variable list
    // A summary of va that Write and ResetValues keep, to tell cheaply that va differs from
    // what it was (equal summaries still need a comparison of the values); and the reads of
    // the clock's variables, whose values change by themselves.
    uint64_t valuesHash = 0;
    uint64_t clockReads = 0;

    // Where the system variables 3001, 3002, 3011 and 3012 read the clock; tests replace it.
    ClockSource clock = SystemClockReading;

    static bool Valid(int64_t number) { return number >= kFirst && number <= kLast; }
    // Stores the fresh clock value of a system variable into va; false for other numbers.
    bool RefreshSystemVariable(int number);
    // va[number] = value (number valid), keeping valuesHash.
    void Write(int number, double value);
    // Every value of va 0.
    void ResetValues();
    void Clear();
};

// Replaces every variable reference in s ("#5", "##5" for the variable whose number variable 5
// holds, spaces between and after the digits belonging to it) by the number text of its
// value. A reference whose number, or one of whose indirections, leaves 0 ... 6000 vanishes;
// a "#" without digits reads variable 0. System variables read are refreshed into va first.
void VariablenEinsetzen(std::string &s, VariableStore &store);
// The same, using `scratch` as working storage.
void VariablenEinsetzen(std::string &s, VariableStore &store, std::string &scratch);

// The lines of the variable list below its heading: "i: value" for each variable 1 ... 999
// whose value in ova is not 0, in ascending order.
std::vector<std::string> VariableListLines(const VariableStore &store);

} // namespace morvilo
