#pragma once
// A relief program dressed by a machine profile: the safety of its heights, its decimals, the
// profile's templates filled in with the relief's values.

#include "machine/machineprofile.h"
#include "vantrel/usermessage.h"

#include <string>

namespace morvilo {

struct ReliefParameters;

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

// Messages with values (%1 ...).
extern const char *const kMessageUnsafeHeight; // safe Z, highest cut, profile

// Today's date as YYYY-MM-DD, for {date}.
std::string TodaysDate();

} // namespace morvilo
