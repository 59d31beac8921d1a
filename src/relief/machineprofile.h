#pragma once
// Machine profiles: how a relief program is dressed for one control. The built-in "Nur Bahnen"
// writes the bare paths (no header, no feed, no end); the others add units, feeds, spindle,
// a retract to the safe height before the first move, and the control's program frame.

#include "vantrel/usermessage.h"

#include <string>
#include <vector>

namespace morvilo {

struct ReliefParameters;

struct MachineProfile {
    std::string name;    // shown in the window; a user profile's name is also its CLI name
    std::string cliName; // plain, linuxcnc, grbl, fanuc; a user profile: its name
    bool builtIn = false;
    // The bare paths exactly as they always were: no header and footer, no feeds, the lines
    // of a group joined by CR, every group ended by CR LF, no safety check.
    bool pathsOnly = false;

    std::string units = "G21"; // G21 (mm) or G20 (inch); empty writes no units word
    // Templates, lines separated by "\n", with the placeholders {units}, {feed}, {plunge},
    // {spindle}, {spindledir} (M3 or M4), {safe}, {program}, {date} and {tool}.
    std::string header;
    std::string footer;
    // A tool change, with the placeholder {tool} (the tool number) and the others; empty: the
    // control changes no tool within a program.
    std::string toolChange;

    double feed = 1000;      // cuts, units per minute
    double plungeFeed = 300; // plunges, units per minute
    double spindle = 10000;  // revolutions per minute; 0 writes no spindle start
    bool spindleClockwise = true;
    double rapidRate = 5000;    // units per minute, for the time estimate
    double acceleration = 0;    // units per s², for the time estimate; 0 ignores acceleration
    double toolChangeTime = 10; // seconds a tool change takes, for the program facts
    // The machine's travel in machine coordinates, units; an axis whose minimum is not below
    // its maximum (0 and 0, as by default) is not limited.
    double travelXMin = 0, travelXMax = 0, travelYMin = 0, travelYMax = 0, travelZMin = 0,
           travelZMax = 0;

    bool crlf = false;         // lines end in CR LF, else in LF
    bool movePerLine = true;   // every move a line of its own, else the group's moves joined by CR
    bool retractFirst = true;  // G0 to the safe height before any X/Y move
    int maxDecimals = 4;       // the most decimals the control reads
    bool decimalPoint = false; // every number carries a point ("10." for 10)
    // The surface relief may merge its moves into arcs in the rows' vertical planes (G18/G19
    // with G2/G3 and I/K or J/K); written only with at least 3 decimals.
    bool arcs = true;
    int programNumber = 1000; // the O number of {program}
};

// The profiles every installation has, "Nur Bahnen" first.
const std::vector<MachineProfile> &BuiltInProfiles();
const MachineProfile &PathsOnlyProfile();

// The profile of a name or CLI name (case-insensitive) among profiles; nullptr when none.
const MachineProfile *FindProfile(const std::vector<MachineProfile> &profiles,
                                  const std::string &name);

// Empty when the profile's values can be used; otherwise what is wrong (German).
UserMessage CheckProfile(const MachineProfile &profile);

// With any profile but the bare paths: the safe height must lie above every cut (Z grows
// upwards). Empty when it does, or for the bare paths.
UserMessage CheckReliefSafety(const ReliefParameters &p, const MachineProfile &profile);

// The decimals the program is written with: the parameters' decimals, at most the profile's.
int ProgramDecimals(const ReliefParameters &p, const MachineProfile &profile);

// A template with its placeholders filled in and its lines ended by the profile's line end;
// date is written for {date}, tool for {tool}. The lines that start the spindle (those with
// {spindle} or {spindledir}) are left out without a spindle speed, or when spindle is false.
std::string ExpandProfileTemplate(const std::string &text, const MachineProfile &profile,
                                  const ReliefParameters &p, const std::string &date, int tool = 0,
                                  bool spindle = true);

// A number as the profile writes it: decimals as the program has them, then trailing zeros
// dropped (a feed of 1000 is "1000", or "1000." where every number carries a point).
std::string ProfileNumber(double value, const MachineProfile &profile, int decimals);

// Messages with values (%1 ...).
extern const char *const kMessageUnsafeHeight; // safe Z, highest cut, profile

// Today's date as YYYY-MM-DD, for {date}.
std::string TodaysDate();

} // namespace morvilo
