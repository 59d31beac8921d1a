#pragma once
// Machine profiles: one control and its machine. How a program is dressed for the control (the
// built-in "Nur Bahnen" writes the bare paths: no header, no feed, no end; the others add units,
// feeds, spindle, a retract to the safe height before the first move, and the control's program
// frame), and the machine's rates and travel for run times and travel checks.

#include "vantrel/usermessage.h"

#include <array>
#include <span>
#include <string>
#include <vector>

namespace morvilo {

// The travel of one axis in machine coordinates; limited when its minimum lies below its maximum.
struct AxisRange {
    double min = 0, max = 0;
    bool Limited() const { return min < max; }
    bool operator==(const AxisRange &) const = default;
};

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
    // The machine's travel of X, Y, Z in machine coordinates, units; an axis whose minimum is
    // not below its maximum (0 and 0, as by default) is not limited.
    std::array<AxisRange, 3> travel{};

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

// Every setting of a profile, one line each: the profiles file (by key), CheckProfile, the
// profile dialog and the CLI's options take them from here, so that a new setting is a line of
// the table. The table is in the dialog's order.
struct ProfileChoice {
    const char *shown; // in the dialog (German)
    const char *value; // a text's value; a flag is true for the first choice
};

struct ProfileField {
    enum class Kind { Text, Number, Integer, Flag };
    // How the check takes a text: the profile's name, one of the choices, a template of lines.
    enum class TextRule { None, Name, Choice, Template };

    const char *key; // in the profiles file: "Feed", "TravelXMin"
    Kind kind;
    // Numbers and integers: the accepted values, 0 only where zeroAllowed.
    double low = 0, high = 0;
    bool zeroAllowed = true;
    TextRule rule = TextRule::None;
    const char *problem = nullptr; // the check's message for a value it refuses (German)
    // Where the value lives: the member of its kind; the travel of axis when number is null.
    std::string MachineProfile::*text = nullptr;
    double MachineProfile::*number = nullptr;
    int axis = 0;
    bool maximum = false;
    int MachineProfile::*integer = nullptr;
    bool MachineProfile::*flag = nullptr;
    // The dialog: the row's caption (German; a flag without choices: its check box's), the
    // decimals of a number, the choices of a combo box; sameRow puts the field beside the one
    // before it, after its caption.
    const char *caption = nullptr;
    const char *widget = nullptr; // the editor's object name
    int decimals = 0;
    std::span<const ProfileChoice> choices = {};
    bool sameRow = false;
    // The CLI option that replaces the value ("feed" for --feed); nullptr when none does.
    const char *option = nullptr;

    double &Number(MachineProfile &profile) const {
        return number    ? profile.*number
               : maximum ? profile.travel[size_t(axis)].max
                         : profile.travel[size_t(axis)].min;
    }
    double Number(const MachineProfile &profile) const {
        return Number(const_cast<MachineProfile &>(profile));
    }
    // The value of a choice field as the index of its choice; the last when none matches.
    size_t ChoiceOf(const MachineProfile &profile) const;
    void SetChoice(MachineProfile &profile, size_t index) const;
};
std::span<const ProfileField> ProfileFields();
const ProfileField *FindProfileField(const char *key);

// The profile of a name or CLI name (case-insensitive) among profiles; nullptr when none.
const MachineProfile *FindProfile(const std::vector<MachineProfile> &profiles,
                                  const std::string &name);

// Empty when the profile's values can be used; otherwise what is wrong (German).
UserMessage CheckProfile(const MachineProfile &profile);

// A number as the profile writes it: decimals as the program has them, then trailing zeros
// dropped (a feed of 1000 is "1000", or "1000." where every number carries a point).
std::string ProfileNumber(double value, const MachineProfile &profile, int decimals);

} // namespace morvilo
