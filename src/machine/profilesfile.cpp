#include "machine/profilesfile.h"

#include "vantrel/numberparse.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>
#include <QTemporaryFile>

#include <algorithm>
#include <map>
#include <tuple>

namespace morvilo {

namespace {

const char *const kMessageProfilesDamaged =
    "Die Profildatei %1 ist beschädigt (%2); es gelten die eingebauten Profile und die lesbaren "
    "eigenen.";
const char *const kMessageProfilesNotWritten =
    "Die Profildatei %1 konnte nicht geschrieben werden.";

// Integers beyond these are no integer of a profile.
constexpr int64_t kIntegerLimit = 1000000;

// Reads the profile of the current group, every field of ProfileFields that the group gives,
// kind by kind (texts, numbers, integers, flags); the first key that does not read when there
// is one.
std::string readProfile(QSettings &file, MachineProfile &profile) {
    using Kind = ProfileField::Kind;
    for (const Kind kind : {Kind::Text, Kind::Number, Kind::Integer, Kind::Flag})
        for (const ProfileField &field : ProfileFields()) {
            if (field.kind != kind || !file.contains(field.key))
                continue;
            const QString value = file.value(field.key).toString();
            const std::string trimmed = value.trimmed().toStdString();
            int64_t integer = 0;
            switch (field.kind) {
            case Kind::Text:
                profile.*field.text = value.toStdString();
                break;
            case Kind::Number:
                if (!ParseReal(trimmed, field.Number(profile)))
                    return field.key;
                break;
            case Kind::Integer:
                if (!ParseInteger(trimmed, integer) || integer < -kIntegerLimit ||
                    integer > kIntegerLimit)
                    return field.key;
                profile.*field.integer = int(integer);
                break;
            case Kind::Flag:
                if (value.trimmed().toLower() != "true" && value.trimmed().toLower() != "false")
                    return field.key;
                profile.*field.flag = value.trimmed().toLower() == "true";
                break;
            }
        }
    return {};
}

// A settings file larger than this is no profiles file: 10000 profiles of 1600 bytes.
constexpr qint64 kMaxProfilesFileBytes = 16 << 20;

// Put with a count after a group's name in the copy read when the file gives a group twice
// ("[Profile1~2]"), and taken off again where the group is named.
constexpr char kRepeatMark = '~';

// A line of text as the INI reader reads it: UTF-8 without control characters but the tab.
bool textLine(const std::string &row) {
    const bool control = std::any_of(row.begin(), row.end(), [](char c) {
        return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == '\x7f';
    });
    if (control)
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8);
    [[maybe_unused]] const QString decoded =
        utf8(QByteArrayView(row.data(), qsizetype(row.size())));
    return !utf8.hasError();
}

// A group that is no text (read out of binary bytes) is no profile of the user's: the lines it
// came from are reported, not the group.
bool printableGroup(const QString &group) {
    return !group.isEmpty() &&
           std::all_of(group.begin(), group.end(), [](QChar c) { return c.isPrint(); });
}

// What an INI reader passes over without a word: lines that are neither a group, a setting, a
// comment nor empty, lines with control characters or bytes that are no UTF-8 (binary bytes),
// and groups given twice.
// Returns the text with the repeats renamed; empty when no group repeats.
std::string scanRawText(const std::string &text, std::vector<ProfilesProblem> &problems) {
    std::map<std::string, std::vector<int64_t>> groupLines;
    int64_t line = 0, binaryLines = 0, firstBinary = 0, strayLines = 0, firstStray = 0;
    std::string renamed;
    bool repeats = false;
    for (size_t begin = 0; begin < text.size();) {
        const size_t end = std::min(text.find('\n', begin), text.size());
        std::string row = text.substr(begin, end - begin);
        begin = end + 1;
        ++line;
        if (!row.empty() && row.back() == '\r')
            row.pop_back();
        const size_t first = row.find_first_not_of(" \t");
        const std::string trimmed = first == std::string::npos ? "" : row.substr(first);
        if (!textLine(row)) {
            firstBinary = binaryLines++ == 0 ? line : firstBinary;
        } else if (!trimmed.empty() && trimmed[0] == '[' &&
                   trimmed.find_last_not_of(" \t") == trimmed.rfind(']')) {
            const std::string group = trimmed.substr(1, trimmed.rfind(']') - 1);
            std::vector<int64_t> &lines = groupLines[group];
            lines.push_back(line);
            if (lines.size() > 1) {
                repeats = true;
                renamed += "[" + group + kRepeatMark + std::to_string(lines.size()) + "]\n";
                continue;
            }
        } else if (!trimmed.empty() && trimmed[0] != ';' && trimmed[0] != '#' &&
                   trimmed.find('=') == std::string::npos) {
            firstStray = strayLines++ == 0 ? line : firstStray;
        }
        renamed += row + "\n";
    }
    if (binaryLines > 0)
        problems.push_back({{},
                            {"Zeilen mit Steuerzeichen oder Binärdaten: %1 (die erste: Zeile %2)",
                             {std::to_string(binaryLines), std::to_string(firstBinary)}}});
    if (strayLines > 0)
        problems.push_back(
            {{},
             {"Zeilen, die weder [Gruppe] noch Name=Wert sind: %1 (die erste: Zeile %2)",
              {std::to_string(strayLines), std::to_string(firstStray)}}});
    for (const auto &[group, lines] : groupLines) {
        if (lines.size() < 2)
            continue;
        std::string numbers;
        for (const int64_t at : lines)
            numbers += (numbers.empty() ? "" : ", ") + std::to_string(at);
        problems.push_back({group, {"steht mehrmals in der Datei (Zeilen %1)", {numbers}}});
    }
    return repeats ? renamed : std::string();
}

// The groups in the order the profiles were written. The INI reader gives them in the order of
// their names, which puts "Profile10" before "Profile2": the groups "Profile" + number come by
// their numbers (a repeat right after its first), the others after them by name.
QStringList inWrittenOrder(QStringList groups) {
    const auto place = [](const QString &group) {
        const QString base = group.section(kRepeatMark, 0, 0);
        const QString digits = base.mid(7);
        bool numbered = false, repeated = false;
        qulonglong number = 0, repeat = 0;
        if (base.startsWith("Profile") && !digits.isEmpty() && digits.size() <= 18 &&
            std::all_of(digits.begin(), digits.end(), [](QChar c) { return c.isDigit(); }))
            number = digits.toULongLong(&numbered);
        if (group.contains(kRepeatMark))
            repeat = group.section(kRepeatMark, 1).toULongLong(&repeated);
        return std::tuple(!numbered, numbered ? number : 0, repeated ? repeat : 0, group);
    };
    std::stable_sort(groups.begin(), groups.end(),
                     [&place](const QString &a, const QString &b) { return place(a) < place(b); });
    return groups;
}

void writeProfile(QSettings &file, const MachineProfile &profile) {
    using Kind = ProfileField::Kind;
    for (const ProfileField &field : ProfileFields()) {
        switch (field.kind) {
        case Kind::Text:
            file.setValue(field.key, QString::fromStdString(profile.*field.text));
            break;
        case Kind::Number:
            file.setValue(field.key, QString::number(field.Number(profile), 'g', 17));
            break;
        case Kind::Integer:
            file.setValue(field.key, QString::number(profile.*field.integer));
            break;
        case Kind::Flag:
            file.setValue(field.key, profile.*field.flag ? "true" : "false");
            break;
        }
    }
}

} // namespace

ProfilesLoad LoadMachineProfiles(const std::string &path) {
    ProfilesLoad load;
    load.profiles = BuiltInProfiles();
    load.path = path;
    const QString file = QString::fromStdString(path);
    if (!QFileInfo::exists(file))
        return load;
    if (QFileInfo(file).size() > kMaxProfilesFileBytes) {
        load.problems.push_back(
            {{},
             {"mit %1 Bytes zu groß für eine Profildatei; sie wird nicht gelesen",
              {std::to_string(QFileInfo(file).size())}}});
        return load;
    }
    QFile raw(file);
    if (!raw.open(QIODevice::ReadOnly)) {
        load.problems.push_back({{}, {"nicht lesbar", {}}});
        return load;
    }
    const std::string apart = scanRawText(raw.readAll().toStdString(), load.problems);
    // A group given twice is read as two: a copy of the file names each repeat apart.
    QTemporaryFile renamed;
    QString readFrom = file;
    if (!apart.empty()) {
        if (!renamed.open() ||
            renamed.write(apart.data(), qint64(apart.size())) != qint64(apart.size()) ||
            !renamed.flush()) {
            load.problems.push_back({{}, {"nicht lesbar", {}}});
            return load;
        }
        readFrom = renamed.fileName();
    }
    QSettings settings(readFrom, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        load.problems.push_back({{}, {"nicht lesbar", {}}});
    for (const QString &group : inWrittenOrder(settings.childGroups())) {
        if (!printableGroup(group))
            continue;
        settings.beginGroup(group);
        MachineProfile profile; // what the file leaves out keeps its default
        const std::string badKey = readProfile(settings, profile);
        settings.endGroup();
        profile.cliName = profile.name;
        const std::string shown = group.section(kRepeatMark, 0, 0).toStdString();
        UserMessage invalid = CheckProfile(profile);
        if (badKey.empty() && invalid.empty() && FindProfile(load.profiles, profile.name))
            invalid = {"der Name ist schon vergeben", {}};
        if (!badKey.empty())
            load.problems.push_back({shown, {"%1 ist nicht lesbar", {badKey}}});
        else if (!invalid.empty())
            load.problems.push_back({shown, std::move(invalid)});
        else
            load.profiles.push_back(std::move(profile));
    }
    return load;
}

UserMessage ProfilesDamage(const ProfilesLoad &load,
                           const std::function<std::string(const UserMessage &)> &translate) {
    if (load.problems.empty())
        return {};
    std::string what;
    for (const ProfilesProblem &problem : load.problems)
        what += (what.empty() ? "" : "; ") +
                (problem.group.empty() ? std::string() : "[" + problem.group + "] ") +
                translate(problem.what);
    return {kMessageProfilesDamaged, {load.path, what}};
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
