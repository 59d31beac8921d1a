#include "machine/machineprofile.h"

#include "vantrel/fixedformat.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string_view>

namespace morvilo {

namespace {

MachineProfile pathsOnly() {
    MachineProfile p;
    p.name = "Nur Bahnen";
    p.cliName = "plain";
    p.builtIn = true;
    p.pathsOnly = true;
    p.units.clear();
    p.crlf = true;
    p.movePerLine = false;
    p.retractFirst = false;
    p.maxDecimals = kMaxFixedDecimals;
    return p;
}

// A control that reads standard RS274/NGC: units, plane, absolute distances, feed per minute,
// no cutter compensation, no canned cycle; M2 ends the program.
MachineProfile linuxCnc() {
    MachineProfile p;
    p.name = "LinuxCNC";
    p.cliName = "linuxcnc";
    p.builtIn = true;
    p.header = "G17 {units} G90 G94 G40 G80\n{spindledir} S{spindle}";
    p.footer = "M5\nM2";
    p.toolChange = "T{tool} M6";
    p.maxDecimals = 6;
    p.acceleration = 500;
    return p;
}

// Grbl 1.1: no program number or "%", lines of at most 80 characters, numbers of at most 8
// digits; M30 ends the program.
MachineProfile grbl() {
    MachineProfile p;
    p.name = "Grbl";
    p.cliName = "grbl";
    p.builtIn = true;
    p.header = "G17 {units} G90 G94\n{spindledir} S{spindle}";
    p.footer = "M5\nM30";
    p.maxDecimals = 3;
    p.rapidRate = 3000;
    p.acceleration = 300;
    return p;
}

// Fanuc-type controls (Haas among them): the tape frame "%", an O number, CR LF, M30. A number
// without a point counts in the least input increment (X10 is 0.01 mm), so every number carries
// one; the increment is 0.001 mm.
MachineProfile fanuc() {
    MachineProfile p;
    p.name = "Fanuc/Haas";
    p.cliName = "fanuc";
    p.builtIn = true;
    p.header = "%\nO{program}\nG17 {units} G90 G94 G40 G80\n{spindledir} S{spindle}";
    p.footer = "M5\nM30\n%";
    p.toolChange = "T{tool} M6";
    p.crlf = true;
    p.maxDecimals = 3;
    p.decimalPoint = true;
    p.rapidRate = 15000;
    p.acceleration = 2000;
    return p;
}

bool sameName(const std::string &a, const std::string &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::span<const ProfileField> ProfileFields() {
    using Kind = ProfileField::Kind;
    using Rule = ProfileField::TextRule;
    using P = MachineProfile;
    constexpr double kMax = 1e6;
    static constexpr ProfileChoice units[] = {
        {"G21 (mm)", "G21"}, {"G20 (Zoll)", "G20"}, {"keine", ""}};
    static constexpr ProfileChoice direction[] = {{"M3 (rechts)", nullptr},
                                                  {"M4 (links)", nullptr}};
    static constexpr ProfileChoice lineEnd[] = {{"CR LF", nullptr}, {"LF", nullptr}};
    const char *const templateCr = "Kopf und Ende eines Profils dürfen kein CR enthalten";
    const char *const travel = "Der Verfahrweg muss zwischen -1000000 und 1000000 liegen";
    const auto travelField = [travel](const char *key, int axis, bool maximum, const char *caption,
                                      const char *widget) {
        return ProfileField{.key = key,
                            .kind = Kind::Number,
                            .low = -kMax,
                            .high = kMax,
                            .problem = travel,
                            .axis = axis,
                            .maximum = maximum,
                            .caption = caption,
                            .widget = widget,
                            .decimals = 3,
                            .sameRow = maximum};
    };
    static const ProfileField fields[] = {
        {.key = "Name",
         .kind = Kind::Text,
         .rule = Rule::Name,
         .problem = "Der Name eines Profils darf nicht leer sein und keine Steuerzeichen, [, ] "
                    "oder = enthalten",
         .text = &P::name,
         .caption = "Name:",
         .widget = "NameEd"},
        {.key = "Units",
         .kind = Kind::Text,
         .rule = Rule::Choice,
         .problem = "Das Maßeinheitenwort muss G21, G20 oder leer sein",
         .text = &P::units,
         .caption = "Maßeinheit:",
         .widget = "UnitsCombo",
         .choices = units},
        {.key = "Header",
         .kind = Kind::Text,
         .rule = Rule::Template,
         .problem = templateCr,
         .text = &P::header,
         .caption = "Kopf:",
         .widget = "HeaderEd"},
        {.key = "Footer",
         .kind = Kind::Text,
         .rule = Rule::Template,
         .problem = templateCr,
         .text = &P::footer,
         .caption = "Ende:",
         .widget = "FooterEd"},
        {.key = "ToolChange",
         .kind = Kind::Text,
         .rule = Rule::Template,
         .problem = templateCr,
         .text = &P::toolChange,
         .caption = "Werkzeugwechselbefehl:",
         .widget = "ToolChangeTemplateEd"},
        {.key = "Feed",
         .kind = Kind::Number,
         .high = kMax,
         .zeroAllowed = false,
         .problem = "Der Vorschub muss größer als 0 und höchstens 1000000 sein",
         .number = &P::feed,
         .caption = "Vorschub:",
         .widget = "FeedEd",
         .decimals = 2,
         .option = "feed"},
        {.key = "PlungeFeed",
         .kind = Kind::Number,
         .high = kMax,
         .zeroAllowed = false,
         .problem = "Der Eintauchvorschub muss größer als 0 und höchstens 1000000 sein",
         .number = &P::plungeFeed,
         .caption = "Eintauchvorschub:",
         .widget = "PlungeFeedEd",
         .decimals = 2,
         .option = "plunge-feed"},
        {.key = "Spindle",
         .kind = Kind::Number,
         .high = kMax,
         .problem = "Die Drehzahl muss zwischen 0 und 1000000 liegen",
         .number = &P::spindle,
         .caption = "Drehzahl:",
         .widget = "SpindleEd",
         .option = "spindle"},
        {.key = "SpindleClockwise",
         .kind = Kind::Flag,
         .flag = &P::spindleClockwise,
         .caption = "Drehrichtung:",
         .widget = "DirectionCombo",
         .choices = direction},
        {.key = "RapidRate",
         .kind = Kind::Number,
         .high = kMax,
         .zeroAllowed = false,
         .problem = "Der Eilgang muss größer als 0 und höchstens 1000000 sein",
         .number = &P::rapidRate,
         .caption = "Eilgang:",
         .widget = "RapidEd",
         .decimals = 2},
        {.key = "Acceleration",
         .kind = Kind::Number,
         .high = kMax,
         .problem = "Die Beschleunigung muss zwischen 0 und 1000000 liegen",
         .number = &P::acceleration,
         .caption = "Beschleunigung:",
         .widget = "AccelerationEd",
         .decimals = 2},
        {.key = "ToolChangeTime",
         .kind = Kind::Number,
         .high = kMax,
         .problem = "Die Werkzeugwechselzeit muss zwischen 0 und 1000000 Sekunden liegen",
         .number = &P::toolChangeTime,
         .caption = "Werkzeugwechsel (s):",
         .widget = "ToolChangeEd",
         .decimals = 1},
        travelField("TravelXMin", 0, false, "Verfahrweg X:", "TravelXMinEd"),
        travelField("TravelXMax", 0, true, "bis", "TravelXMaxEd"),
        travelField("TravelYMin", 1, false, "Verfahrweg Y:", "TravelYMinEd"),
        travelField("TravelYMax", 1, true, "bis", "TravelYMaxEd"),
        travelField("TravelZMin", 2, false, "Verfahrweg Z:", "TravelZMinEd"),
        travelField("TravelZMax", 2, true, "bis", "TravelZMaxEd"),
        {.key = "CrLf",
         .kind = Kind::Flag,
         .flag = &P::crlf,
         .caption = "Zeilenende:",
         .widget = "LineEndCombo",
         .choices = lineEnd},
        {.key = "MovePerLine",
         .kind = Kind::Flag,
         .flag = &P::movePerLine,
         .caption = "Eine Bewegung je Zeile",
         .widget = "MovePerLineCheck"},
        {.key = "RetractFirst",
         .kind = Kind::Flag,
         .flag = &P::retractFirst,
         .caption = "Zuerst auf sichere Höhe",
         .widget = "RetractFirstCheck"},
        {.key = "MaxDecimals",
         .kind = Kind::Integer,
         .high = kMaxFixedDecimals,
         .problem = "Die Nachkommastellen eines Profils müssen zwischen 0 und 18 liegen",
         .integer = &P::maxDecimals,
         .caption = "Höchstens Nachkommastellen:",
         .widget = "DecimalsEd"},
        {.key = "DecimalPoint",
         .kind = Kind::Flag,
         .flag = &P::decimalPoint,
         .caption = "Immer Dezimalpunkt",
         .widget = "DecimalPointCheck"},
        {.key = "Arcs",
         .kind = Kind::Flag,
         .flag = &P::arcs,
         .caption = "Bögen (G18/G19) bei „Fläche“",
         .widget = "ArcsCheck"},
        {.key = "ProgramNumber",
         .kind = Kind::Integer,
         .low = 1,
         .high = 99999,
         .problem = "Die Programmnummer muss zwischen 1 und 99999 liegen",
         .integer = &P::programNumber,
         .caption = "Programmnummer:",
         .widget = "ProgramNumberEd"},
    };
    return fields;
}

const ProfileField *FindProfileField(const char *key) {
    for (const ProfileField &field : ProfileFields())
        if (std::string_view(field.key) == key)
            return &field;
    return nullptr;
}

size_t ProfileField::ChoiceOf(const MachineProfile &profile) const {
    if (flag)
        return profile.*flag ? 0 : 1;
    for (size_t k = 0; k < choices.size(); ++k)
        if (profile.*text == choices[k].value)
            return k;
    return choices.size() - 1;
}

void ProfileField::SetChoice(MachineProfile &profile, size_t index) const {
    if (flag)
        profile.*flag = index == 0;
    else if (index < choices.size())
        profile.*text = choices[index].value;
}

const std::vector<MachineProfile> &BuiltInProfiles() {
    static const std::vector<MachineProfile> profiles{pathsOnly(), linuxCnc(), grbl(), fanuc()};
    return profiles;
}

const MachineProfile &PathsOnlyProfile() {
    return BuiltInProfiles().front();
}

const MachineProfile *FindProfile(const std::vector<MachineProfile> &profiles,
                                  const std::string &name) {
    for (const MachineProfile &profile : profiles)
        if (sameName(profile.name, name) || sameName(profile.cliName, name))
            return &profile;
    return nullptr;
}

namespace {

// Whether a field's value passes the check.
bool acceptable(const ProfileField &field, const MachineProfile &profile) {
    using Kind = ProfileField::Kind;
    using Rule = ProfileField::TextRule;
    if (field.kind == Kind::Number || field.kind == Kind::Integer) {
        const double value =
            field.kind == Kind::Number ? field.Number(profile) : double(profile.*field.integer);
        return std::isfinite(value) && value <= field.high && value >= field.low &&
               (value != 0 || field.zeroAllowed);
    }
    if (field.kind != Kind::Text)
        return true;
    const std::string &text = profile.*field.text;
    switch (field.rule) {
    case Rule::Name:
        // A control character (a line break, a 0 byte) would make a name that cannot be typed.
        return !text.empty() && text.find_first_of("[]=") == std::string::npos &&
               std::none_of(text.begin(), text.end(), [](char c) {
                   return static_cast<unsigned char>(c) < 0x20 || c == '\x7f';
               });
    case Rule::Choice:
        return std::any_of(field.choices.begin(), field.choices.end(),
                           [&text](const ProfileChoice &choice) { return text == choice.value; });
    case Rule::Template:
        return text.find('\r') == std::string::npos;
    case Rule::None:
        break;
    }
    return true;
}

// The order in which the check tells the problems: the name, the numbers, the integers, the
// choices, the templates (each in the table's order).
int checkOrder(const ProfileField &field) {
    using Kind = ProfileField::Kind;
    using Rule = ProfileField::TextRule;
    switch (field.kind) {
    case Kind::Number:
        return 1;
    case Kind::Integer:
        return 2;
    case Kind::Flag:
        return 5;
    case Kind::Text:
        break;
    }
    return field.rule == Rule::Name ? 0 : field.rule == Rule::Choice ? 3 : 4;
}

} // namespace

UserMessage CheckProfile(const MachineProfile &profile) {
    for (int order = 0; order < 5; ++order)
        for (const ProfileField &field : ProfileFields())
            if (field.problem && checkOrder(field) == order && !acceptable(field, profile))
                return {field.problem, {}};
    return {};
}

std::string ProfileNumber(double value, const MachineProfile &profile, int decimals) {
    std::string text = FormatFixed(value, decimals);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.' && !profile.decimalPoint)
            text.pop_back();
    } else if (profile.decimalPoint) {
        text += '.';
    }
    return text == "-0" || text == "-0." ? text.substr(1) : text;
}

} // namespace morvilo
