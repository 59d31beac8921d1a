#include "relief/profilesfile.h"

#include "vantrel/numbertext.h"

#include <QFileInfo>
#include <QSettings>

namespace morvilo {

namespace {

const char *const kMessageProfilesDamaged =
    "Die Profildatei %1 ist beschädigt (%2); es gelten die eingebauten Profile und die lesbaren "
    "eigenen.";
const char *const kMessageProfilesNotWritten =
    "Die Profildatei %1 konnte nicht geschrieben werden.";

// The settings of a profile, by key, for reading and writing alike.
struct NumberKey {
    const char *key;
    double MachineProfile::*value;
};
const NumberKey kNumbers[] = {
    {"Feed", &MachineProfile::feed},
    {"PlungeFeed", &MachineProfile::plungeFeed},
    {"Spindle", &MachineProfile::spindle},
    {"RapidRate", &MachineProfile::rapidRate},
    {"Acceleration", &MachineProfile::acceleration},
    {"ToolChangeTime", &MachineProfile::toolChangeTime},
    {"TravelXMin", &MachineProfile::travelXMin},
    {"TravelXMax", &MachineProfile::travelXMax},
    {"TravelYMin", &MachineProfile::travelYMin},
    {"TravelYMax", &MachineProfile::travelYMax},
    {"TravelZMin", &MachineProfile::travelZMin},
    {"TravelZMax", &MachineProfile::travelZMax},
};
struct IntegerKey {
    const char *key;
    int MachineProfile::*value;
};
const IntegerKey kIntegers[] = {
    {"MaxDecimals", &MachineProfile::maxDecimals},
    {"ProgramNumber", &MachineProfile::programNumber},
};
struct FlagKey {
    const char *key;
    bool MachineProfile::*value;
};
const FlagKey kFlags[] = {
    {"SpindleClockwise", &MachineProfile::spindleClockwise},
    {"CrLf", &MachineProfile::crlf},
    {"MovePerLine", &MachineProfile::movePerLine},
    {"RetractFirst", &MachineProfile::retractFirst},
    {"DecimalPoint", &MachineProfile::decimalPoint},
};
struct TextKey {
    const char *key;
    std::string MachineProfile::*value;
};
const TextKey kTexts[] = {
    {"Name", &MachineProfile::name},
    {"Units", &MachineProfile::units},
    {"Header", &MachineProfile::header},
    {"Footer", &MachineProfile::footer},
    {"ToolChange", &MachineProfile::toolChange},
};

// Reads the profile of the current group; the key that does not read when there is one.
std::string readProfile(QSettings &file, MachineProfile &profile) {
    for (const TextKey &k : kTexts)
        if (file.contains(k.key))
            profile.*k.value = file.value(k.key).toString().toStdString();
    for (const NumberKey &k : kNumbers)
        if (file.contains(k.key) &&
            !ParseReal(file.value(k.key).toString().trimmed().toStdString(), profile.*k.value))
            return k.key;
    for (const IntegerKey &k : kIntegers) {
        int64_t value = 0;
        if (!file.contains(k.key))
            continue;
        if (!ParseInteger(file.value(k.key).toString().trimmed().toStdString(), value) ||
            value < -1000000 || value > 1000000)
            return k.key;
        profile.*k.value = int(value);
    }
    for (const FlagKey &k : kFlags) {
        if (!file.contains(k.key))
            continue;
        const QString text = file.value(k.key).toString().trimmed().toLower();
        if (text != "true" && text != "false")
            return k.key;
        profile.*k.value = text == "true";
    }
    return {};
}

void writeProfile(QSettings &file, const MachineProfile &profile) {
    for (const TextKey &k : kTexts)
        file.setValue(k.key, QString::fromStdString(profile.*k.value));
    for (const NumberKey &k : kNumbers)
        file.setValue(k.key, QString::number(profile.*k.value, 'g', 17));
    for (const IntegerKey &k : kIntegers)
        file.setValue(k.key, QString::number(profile.*k.value));
    for (const FlagKey &k : kFlags)
        file.setValue(k.key, profile.*k.value ? "true" : "false");
}

} // namespace

ProfilesLoad LoadMachineProfiles(const std::string &path) {
    ProfilesLoad load;
    load.profiles = BuiltInProfiles();
    const QString file = QString::fromStdString(path);
    if (!QFileInfo::exists(file))
        return load;
    QSettings settings(file, QSettings::IniFormat);
    std::vector<std::string> problems;
    if (settings.status() != QSettings::NoError)
        problems.push_back("nicht lesbar");
    for (const QString &group : settings.childGroups()) {
        settings.beginGroup(group);
        MachineProfile profile; // what the file leaves out keeps its default
        const std::string badKey = readProfile(settings, profile);
        settings.endGroup();
        profile.cliName = profile.name;
        UserMessage invalid = CheckProfile(profile);
        if (badKey.empty() && invalid.empty() && FindProfile(load.profiles, profile.name))
            invalid = {"der Name ist schon vergeben", {}};
        if (!badKey.empty())
            problems.push_back("[" + group.toStdString() + "] " + badKey);
        else if (!invalid.empty())
            problems.push_back("[" + group.toStdString() + "] " + invalid.Filled());
        else
            load.profiles.push_back(std::move(profile));
    }
    if (!problems.empty()) {
        std::string what;
        for (const std::string &problem : problems)
            what += (what.empty() ? "" : "; ") + problem;
        load.problem = {kMessageProfilesDamaged, {path, what}};
    }
    return load;
}

bool SaveMachineProfiles(const std::string &path, const std::vector<MachineProfile> &profiles,
                         UserMessage &error) {
    QSettings settings(QString::fromStdString(path), QSettings::IniFormat);
    settings.clear();
    int number = 0;
    for (const MachineProfile &profile : profiles) {
        if (profile.builtIn)
            continue;
        settings.beginGroup(QString("Profile%1").arg(++number));
        writeProfile(settings, profile);
        settings.endGroup();
    }
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    error = {kMessageProfilesNotWritten, {path}};
    return false;
}

} // namespace morvilo
