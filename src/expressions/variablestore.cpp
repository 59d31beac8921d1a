#include "expressions/variablestore.h"

#include "expressions/floattostr.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>

namespace morvilo {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The variable a reference finally reads, or -1 when it leaves 0 ... 6000 on the way.
int referencedVariable(int64_t number, int indirections, const VariableStore &store) {
    if (!VariableStore::Valid(number))
        return -1;
    for (int level = 0; level < indirections; ++level) {
        const double next = RoundHalfEven(store.va[size_t(number)]);
        if (!(next >= VariableStore::kFirst && next <= VariableStore::kLast))
            return -1; // also NaN
        number = int64_t(next);
    }
    return int(number);
}

// Reads the reference that starts at the "#" at `at`; returns the position after it.
size_t substituteReference(const std::string &s, size_t at, std::string &out,
                           VariableStore &store) {
    size_t i = at + 1;
    int indirections = 0;
    for (; i < s.size() && s[i] == '#'; ++i)
        ++indirections;
    int64_t number = 0;
    bool fits = true; // the digits form a 32-bit integer
    for (; i < s.size() && (s[i] == ' ' || isDigit(s[i])); ++i) {
        if (s[i] == ' ')
            continue;
        number = number * 10 + (s[i] - '0');
        if (number > INT32_MAX) {
            fits = false;
            number = 0;
        }
    }
    const int variable = referencedVariable(fits ? number : 0, indirections, store);
    if (variable >= 0) {
        store.RefreshSystemVariable(variable);
        AppendFloatText(out, store.va[size_t(variable)]);
    }
    return i;
}

} // namespace

ClockReading SystemClockReading() {
    using namespace std::chrono;
    ClockReading reading;
    reading.tickMs =
        uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) != nullptr) {
        reading.year = local.tm_year + 1900;
        reading.month = local.tm_mon + 1;
        reading.day = local.tm_mday;
        reading.hour = local.tm_hour;
        reading.minute = local.tm_min;
        reading.second = local.tm_sec;
    }
    return reading;
}

bool VariableStore::RefreshSystemVariable(int number) {
    if (number != 3001 && number != 3002 && number != 3011 && number != 3012)
        return false;
    const ClockReading c = clock ? clock() : SystemClockReading();
    double value = 0;
    switch (number) {
    case 3001:
        value = c.tickMs & 0xFFFF;
        break;
    case 3002:
        value = c.hour;
        break;
    case 3011:
        value = double(c.year) * 10000 + c.month * 100 + c.day;
        break;
    default:
        value = c.hour * 10000 + c.minute * 100 + c.second;
        break;
    }
    Write(number, value);
    ++clockReads;
    return true;
}

namespace {
// The share of variable number with value in valuesHash (splitmix64 of its bits and number):
// the summary is the exclusive or of the shares of the values that are not 0.
uint64_t share(int number, double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    if (bits == 0)
        return 0;
    uint64_t z = bits + uint64_t(number) * 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
} // namespace

void VariableStore::Write(int number, double value) {
    double &slot = va[size_t(number)];
    valuesHash ^= share(number, slot) ^ share(number, value);
    slot = value;
}

void VariableStore::ResetValues() {
    va.fill(0);
    valuesHash = 0;
}

void VariableStore::Clear() {
    ResetValues();
    nva.fill(0);
    ova.fill(0);
}

void VariablenEinsetzen(std::string &s, VariableStore &store, std::string &scratch) {
    size_t i = s.find('#');
    if (i == std::string::npos)
        return;
    // One pass: the text before a reference never holds a "#", and a number text inserted
    // holds none either, so going on after each reference finds them all in order.
    scratch.assign(s, 0, i);
    while (i < s.size()) {
        const size_t next = std::min(s.find('#', i), s.size());
        scratch.append(s, i, next - i);
        if (next < s.size())
            i = substituteReference(s, next, scratch, store);
        else
            i = next;
    }
    s.swap(scratch);
}

void VariablenEinsetzen(std::string &s, VariableStore &store) {
    std::string scratch;
    VariablenEinsetzen(s, store, scratch);
}

std::vector<std::string> VariableListLines(const VariableStore &store) {
    std::vector<std::string> lines;
    for (int i = VariableStore::kFirstListed; i <= VariableStore::kLastListed; ++i) {
        const double value = store.ova[size_t(i)];
        if (value == 0)
            continue;
        std::string line = std::to_string(i) + ": ";
        AppendFloatText(line, value);
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace morvilo
