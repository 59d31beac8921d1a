#include "../common/testfiles.h"
#include "machine/profilesfile.h"
#include "relief/reliefgenerator.h"
#include "reliefprograms.h"
#include "testpictures.h"

#include <QCryptographicHash>
#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace morvilo;
using namespace morvilo::test;

namespace {

const std::string kTestData = MORVILO_TEST_DATA;

std::string sha256(const std::string &bytes) {
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

// The small picture of the profile golden files: 4 x 3, rows bottom first.
dib smallPicture() {
    return MakePicture24({{kBlack, Grey(128), kWhite, kWhite},
                          {kWhite, Grey(64), kBlack, Grey(200)},
                          {Grey(100), kWhite, kWhite, kBlack}});
}

// Upward Z: levels from 0 down to -1, retracts to 5.
ReliefParameters machineParameters(const MachineProfile &profile) {
    ReliefParameters p;
    p.width = 2;
    p.abstandfr = 0.5;
    p.levels = 3;
    p.sicher = 5;
    p.tiefe = -1;
    p.nach = 4;
    p.profile = profile;
    p.date = "2026-12-10";
    return p;
}

// The report of a damaged profiles file, in German.
std::string germanDamage(const ProfilesLoad &load) {
    return ProfilesDamage(load, [](const UserMessage &m) { return m.Filled(); }).Filled();
}

class ProfileTest : public ReliefProgramTest {};

// The bare paths are the program as it always was: these digests come from the independent
// Python rendition of the generator (bench/compare/relief_reference.py).
TEST_F(ProfileTest, TheBarePathsAreTheProgramAsItAlwaysWas) {
    struct Case {
        const char *picture;
        ReliefParameters p;
        const char *digest;
        size_t bytes;
    };
    ReliefParameters second;
    second.levels = 8;
    second.width = 20;
    second.abstandfr = 0.1;
    second.invert = true;
    second.nach = 3;
    second.sicher = 2.5;
    second.tiefe = -1.5;
    second.xstart = -3;
    second.ystart = 4;
    second.zstart = 0.25;
    ReliefParameters fine;
    fine.levels = 256;
    fine.width = 3.33L;
    fine.abstandfr = 0.0125;
    fine.brightnessRange = false;
    fine.nach = 6;
    const std::string bmp24 = kTestData + "/pictures/bmp24.bmp";
    const std::string gradient = kTestData + "/../../data/sample-gradient.bmp";
    const Case cases[] = {
        {bmp24.c_str(), ReliefParameters{},
         "49b1cac135db40f250c6353b1af5bd6da10b0ce720f9422c4368e2a2f84ee4bd", 182094},
        {gradient.c_str(), ReliefParameters{},
         "b0a74e47c2ae7c8330eb731062e46be795b8e55a31fe2ab37cdbf27e73e6bd12", 92132},
        {bmp24.c_str(), second, "4c0a87226a3020a422bb1c29c01977105866364236adad0132f940f77d11e9e3",
         85448},
        {gradient.c_str(), second,
         "4fd2a7f74a7c9854d8d06f3a90ae56dbb788c88afb501a36a9c50927df973dc5", 46012},
        {bmp24.c_str(), fine, "7fc368eba22d26258464a607c5356d807a3d22fde23b8aacfa4788f59de3aa91",
         4885406},
        {gradient.c_str(), fine, "9033b7cfd37923520f999bdb5553429517fa0321e0f35c4f474004f7e50d21f6",
         2444294},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(c.p.profile.pathsOnly);
        std::string program;
        const ReliefResult result = generate(c.p, c.picture, program);
        ASSERT_EQ(result.status, ReliefStatus::Ok) << result.message;
        EXPECT_EQ(program.size(), c.bytes) << c.picture;
        EXPECT_EQ(sha256(program), c.digest) << c.picture;
        // The figures of the run and of a dry run describe the program written.
        EXPECT_EQ(result.estimate.bytes, program.size());
        const ReliefResult dry = MeasureReliefFile(c.p, c.picture);
        EXPECT_EQ(dry.estimate.bytes, program.size());
        EXPECT_EQ(dry.estimate.cuts, result.groups);
    }
}

// Each built-in profile on the small picture, against its golden file
// (MORVILO_UPDATE_GOLDEN=1 rewrites them).
TEST_F(ProfileTest, EveryBuiltInProfileMatchesItsGoldenFile) {
    const std::string picture = pictureFile(smallPicture());
    for (const MachineProfile &profile : BuiltInProfiles()) {
        ReliefParameters p = machineParameters(profile);
        std::string program;
        const ReliefResult result = generate(p, picture, program);
        ASSERT_EQ(result.status, ReliefStatus::Ok) << profile.name << ": " << result.message;
        const fs::path golden = kTestData + "/golden/" + profile.cliName + ".nc";
        if (std::getenv("MORVILO_UPDATE_GOLDEN"))
            WriteFile(golden, program);
        EXPECT_EQ(program, ReadFile(golden)) << profile.name;
        EXPECT_EQ(MeasureReliefFile(p, picture).estimate.bytes, program.size()) << profile.name;
    }
}

// What makes a program run on a control: units and feed before the first cut, the retract
// before the first X/Y move, the end word, and the control's line ends and number format.
TEST_F(ProfileTest, DressedProgramsStartSafelyAndEnd) {
    const std::string picture = pictureFile(smallPicture());
    for (const MachineProfile &profile : BuiltInProfiles()) {
        if (profile.pathsOnly)
            continue;
        std::string program;
        ASSERT_EQ(generate(machineParameters(profile), picture, program).status, ReliefStatus::Ok);
        const std::string lineEnd = profile.crlf ? "\r\n" : "\n";
        std::vector<std::string> lines;
        for (size_t at = 0; at < program.size();) {
            const size_t end = program.find(lineEnd, at);
            ASSERT_NE(end, std::string::npos) << profile.name << ": last line without its end";
            lines.push_back(program.substr(at, end - at));
            at = end + lineEnd.size();
        }
        for (const std::string &line : lines)
            EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << profile.name << line;
        const auto firstMove = std::find_if(lines.begin(), lines.end(), [](const std::string &l) {
            return l.starts_with("G0 ") || l.starts_with("G1 ");
        });
        ASSERT_NE(firstMove, lines.end());
        EXPECT_EQ(*firstMove, profile.maxDecimals < 4 ? "G0 Z5.000" : "G0 Z5.0000") << profile.name;
        const auto units = std::find_if(lines.begin(), firstMove, [](const std::string &l) {
            return l.find("G21") != std::string::npos;
        });
        EXPECT_NE(units, firstMove) << profile.name << ": no units before the first move";
        EXPECT_NE(program.find("G1 Z0.000"), std::string::npos);
        EXPECT_NE(program.find(profile.decimalPoint ? " F300." : " F300"), std::string::npos);
        const std::string end = profile.cliName == "linuxcnc" ? "M2" : "M30";
        EXPECT_NE(std::find(lines.end() - 3, lines.end(), end), lines.end()) << profile.name;
        if (profile.cliName == "fanuc") {
            EXPECT_EQ(lines.front(), "%");
            EXPECT_EQ(lines[1], "O1000");
            EXPECT_EQ(lines.back(), "%");
        }
    }
}

// Grbl 1.1 reads lines of at most 80 characters, a fixed set of words, and numbers of at most 8
// digits; it knows neither "%" nor O numbers.
TEST_F(ProfileTest, GrblProgramsKeepGrblsRules) {
    ReliefParameters p = machineParameters(*FindProfile(BuiltInProfiles(), "grbl"));
    p.width = 9999.5L; // the widest coordinates that keep 8 digits at 3 decimals
    p.abstandfr = 2499.875;
    p.xstart = -0.5;
    p.nach = 6; // the profile allows 3
    std::string program;
    ASSERT_EQ(generate(p, pictureFile(smallPicture()), program).status, ReliefStatus::Ok);
    const std::regex word(R"(([A-Z])(-?\d+(\.\d*)?))");
    const std::string letters = "GMFSXYZ";
    const std::vector<std::string> codes = {"G0",  "G1", "G17", "G21", "G90",
                                            "G94", "M3", "M5",  "M30"};
    std::istringstream lines(program);
    size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_LE(line.size(), 80u) << line;
        std::string rest = line;
        for (std::smatch m; std::regex_search(rest, m, word); rest = m.suffix()) {
            EXPECT_NE(letters.find(m[1].str()), std::string::npos) << line;
            const std::string value = m[2].str();
            const size_t point = value.find('.');
            EXPECT_TRUE(point == std::string::npos || value.size() - point - 1 <= 3) << line;
            EXPECT_LE(std::count_if(value.begin(), value.end(), ::isdigit), 8) << line;
            if (m[1] == "G" || m[1] == "M") {
                EXPECT_NE(std::find(codes.begin(), codes.end(), m[0].str()), codes.end()) << line;
            }
        }
        EXPECT_EQ(rest.find_first_not_of(' '), std::string::npos) << line;
    }
    EXPECT_GT(count, 10u);
}

// With a profile for a real machine the safe height must lie above every cut.
TEST_F(ProfileTest, TheSafetyCheckRefusesAnUnsafeHeight) {
    const MachineProfile &linuxcnc = *FindProfile(BuiltInProfiles(), "LinuxCNC");
    struct Case {
        double safe, zstart, depth;
        bool refused;
        const char *safeText, *highestText;
    } cases[] = {
        {-1, 0, 1, true, "-1.0000", "1.0000"},      // the start-up values: Z grows downwards
        {5, 0, -1, false, "", ""},                  // cuts from 0 down to -1
        {0, 0, -1, true, "0.0000", "0.0000"},       // level 0 lies at the safe height
        {1, 0.5, 0.6, true, "1.0000", "1.1000"},    // the deepest level above the safe height
        {0.00001, 0, -1, true, "0.0000", "0.0000"}, // as written with 4 decimals: 0 = 0
        {2, 1.5, -3, false, "", ""},
    };
    const std::string picture = pictureFile(smallPicture());
    for (const Case &c : cases) {
        ReliefParameters p = machineParameters(linuxcnc);
        p.sicher = c.safe;
        p.zstart = c.zstart;
        p.tiefe = c.depth;
        const UserMessage problem = CheckReliefSafety(p, linuxcnc);
        EXPECT_EQ(!problem.empty(), c.refused) << c.safe;
        std::string program;
        const ReliefResult result = generate(p, picture, program);
        if (!c.refused) {
            EXPECT_EQ(result.status, ReliefStatus::Ok);
            continue;
        }
        EXPECT_EQ(problem.values,
                  (std::vector<std::string>{c.safeText, c.highestText, "LinuxCNC"}));
        EXPECT_EQ(result.status, ReliefStatus::InvalidParameters);
        EXPECT_EQ(result.messageParts.text, kMessageUnsafeHeight);
        EXPECT_FALSE(fs::exists(folder / "out.nc")) << "a refused run writes nothing";
        // The bare paths keep their behaviour without a check.
        p.profile = PathsOnlyProfile();
        EXPECT_TRUE(CheckReliefSafety(p, p.profile).empty());
        EXPECT_EQ(generate(p, picture, program).status, ReliefStatus::Ok);
    }
}

// The check looks at what is written: a feed that rounds to F0 (or "F0." with a decimal point)
// or a speed that rounds to S0 under M3 is refused, one that is still written as a number above
// 0 is taken.
TEST_F(ProfileTest, FeedsAndSpeedsThatAreWrittenAsZeroAreRefused) {
    struct Case {
        const char *profile;
        int decimals;
        double feed, plunge, spindle;
        const char *written; // the refused value as it would be written; nullptr: taken
    } cases[] = {
        {"fanuc", 4, 0.0001, 300, 10000, "F0."},  // 3 decimals at most, every number with a point
        {"fanuc", 4, 1000, 0.0004, 10000, "F0."}, // the plunge feed
        {"fanuc", 4, 0.001, 0.0006, 10000, nullptr}, // F0.001 and F0.001
        {"grbl", 0, 0.4, 300, 10000, "F0"},
        {"grbl", 0, 1000, 1000, 0.4, "S0"},              // M3 S0 starts no spindle
        {"grbl", 0, 0.6, 0.6, 0.6, nullptr},             // F1 and S1
        {"grbl", 4, 1000, 300, 0, nullptr},              // no spindle at all: no spindle line
        {"linuxcnc", 4, 0.0001, 0.0001, 10000, nullptr}, // 6 decimals at most, 4 given
        {"linuxcnc", 3, 0.0001, 300, 10000, "F0"},
    };
    const std::string picture = pictureFile(smallPicture());
    for (const Case &c : cases) {
        const std::string name = std::string(c.profile) + " " + std::to_string(c.decimals) + " " +
                                 std::to_string(c.feed) + " " + std::to_string(c.plunge) + " " +
                                 std::to_string(c.spindle);
        MachineProfile profile = *FindProfile(BuiltInProfiles(), c.profile);
        profile.feed = c.feed;
        profile.plungeFeed = c.plunge;
        profile.spindle = c.spindle;
        ReliefParameters p = machineParameters(profile);
        p.nach = c.decimals;
        const UserMessage problem = CheckReliefSafety(p, profile);
        std::string program;
        const ReliefResult result = generate(p, picture, program);
        if (!c.written) {
            EXPECT_TRUE(problem.empty()) << name << ": " << problem.Filled();
            EXPECT_EQ(result.status, ReliefStatus::Ok) << name;
            // No feed word or spindle speed of the program is 0.
            for (const char *zero : {"F0\n", "F0.\n", "F0\r", "F0.\r", "F0 ", "F0. ", "S0"})
                EXPECT_EQ(program.find(zero), std::string::npos) << name << ": " << zero;
            continue;
        }
        ASSERT_FALSE(problem.empty()) << name;
        const std::string said = problem.Filled();
        EXPECT_NE(said.find(std::string(" ") + c.written + " "), std::string::npos)
            << name << ": " << said;
        EXPECT_EQ(result.status, ReliefStatus::InvalidParameters) << name;
        EXPECT_FALSE(fs::exists(folder / "out.nc")) << name << ": a refused run writes nothing";
    }
}

TEST(ProfileTemplates, PlaceholdersSpindleAndUnits) {
    MachineProfile profile = *FindProfile(BuiltInProfiles(), "fanuc");
    profile.programNumber = 42;
    ReliefParameters p;
    p.sicher = 7.25;
    p.nach = 0; // every number still carries its point
    const std::string text = "%\nO{program} ({date})\n{units}  G90\n{spindledir} S{spindle}\n"
                             "G0 Z{safe} F{feed} F{plunge}\n{unknown}";
    EXPECT_EQ(ExpandProfileTemplate(text, profile, p, "2026-01-02"),
              "%\r\nO0042 (2026-01-02)\r\nG21 G90\r\nM3 S10000\r\nG0 Z7. F1000. F300.\r\n"
              "{unknown}\r\n");
    // A tool change's number; the spindle's lines left out on request.
    EXPECT_EQ(ExpandProfileTemplate("T{tool} M6\n{spindledir} S{spindle}", profile, p, "", 12),
              "T12 M6\r\nM3 S10000\r\n");
    EXPECT_EQ(ExpandProfileTemplate("G90\n{spindledir} S{spindle}\nM8", profile, p, "", 0, false),
              "G90\r\nM8\r\n");
    profile.spindle = 0; // no spindle start
    profile.units.clear();
    profile.crlf = false;
    profile.decimalPoint = false;
    EXPECT_EQ(ExpandProfileTemplate("{units}\n{spindledir} S{spindle}\nM30", profile, p, ""),
              "M30\n");
    EXPECT_EQ(ProfileNumber(1234.5, profile, 3), "1234.5");
    EXPECT_EQ(ProfileNumber(-0.0001, profile, 3), "0");
    EXPECT_EQ(RunTimeText(3723.4), "1:02:03");
    EXPECT_EQ(RunTimeText(59.6), "0:01:00");
}

// A user's profiles survive a restart; a damaged file costs only what cannot be read.
TEST_F(ProfileTest, UserProfilesSurviveARestartAndADamagedFile) {
    const std::string path = (folder / kProfilesFileName).string();
    std::vector<MachineProfile> profiles = BuiltInProfiles();
    MachineProfile own = *FindProfile(profiles, "fanuc");
    own.builtIn = false;
    own.name = own.cliName = "Werkstatt Fräse 2";
    own.header = "%\nO{program} (ÄÖÜ; a=b)\nG21";
    own.feed = 1234.5;
    own.acceleration = 0;
    own.crlf = false;
    own.programNumber = 77;
    own.arcs = false;
    profiles.push_back(own);
    UserMessage error;
    ASSERT_TRUE(SaveMachineProfiles(path, profiles, error)) << error.Filled();

    ProfilesLoad load = LoadMachineProfiles(path);
    EXPECT_TRUE(load.problems.empty()) << germanDamage(load);
    ASSERT_EQ(load.profiles.size(), BuiltInProfiles().size() + 1);
    const MachineProfile &read = load.profiles.back();
    EXPECT_EQ(read.name, own.name);
    EXPECT_EQ(read.cliName, own.name);
    EXPECT_EQ(read.header, own.header);
    EXPECT_EQ(read.feed, 1234.5);
    EXPECT_EQ(read.programNumber, 77);
    EXPECT_FALSE(read.crlf);
    EXPECT_FALSE(read.arcs);
    EXPECT_TRUE(read.decimalPoint);
    EXPECT_FALSE(read.builtIn);
    EXPECT_EQ(FindProfile(load.profiles, "werkstatt fräse 2"), &read);

    // A file with a broken profile, a profile named like a built-in and text that is no INI.
    WriteFile(path, ReadFile(path) + "\n[Profile2]\nName=Kaputt\nFeed=schnell\n"
                                     "[Profile3]\nName=grbl\n\n[Profile4]\nName=Gut\nSpindle=0\n"
                                     "\x01\x02 garbage without equals\n");
    load = LoadMachineProfiles(path);
    ASSERT_FALSE(load.problems.empty());
    const std::string said = germanDamage(load);
    EXPECT_NE(said.find("Feed"), std::string::npos) << said;
    EXPECT_NE(said.find("schon vergeben"), std::string::npos) << said;
    std::vector<std::string> names;
    for (const MachineProfile &p : load.profiles)
        names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Nur Bahnen", "LinuxCNC", "Grbl", "Fanuc/Haas",
                                               "Werkstatt Fräse 2", "Gut"}));

    // Not a settings file at all: the built-ins remain.
    WriteFile(path, std::string("\0\xff\xfe[[[", 6));
    load = LoadMachineProfiles(path);
    EXPECT_GE(load.profiles.size(), BuiltInProfiles().size());
    EXPECT_EQ(load.profiles.front().name, "Nur Bahnen");
    EXPECT_TRUE(LoadMachineProfiles((folder / "missing.ini").string()).problems.empty());
}

// What an INI reader passes over without a word is reported with its line, and nothing
// readable is lost: a group given twice is read as two profiles (not one made of both).
TEST_F(ProfileTest, DamagedProfilesFilesAreReportedWithTheirLines) {
    using namespace std::string_literals;
    const std::string path = (folder / kProfilesFileName).string();
    std::string binary(10240, '\0');
    std::mt19937 random(34);
    for (char &c : binary)
        c = char(random());
    const struct Case {
        std::string text;
        std::vector<std::string> names; // the user's profiles read
        std::vector<std::string> said;  // in the report
    } cases[] = {
        {binary, {}, {"Zeilen mit Steuerzeichen oder Binärdaten: "}},
        {"[Profile1]\nName=Eins\nFeed=500\n\n[Profile2]\nName=Zwei\n[Profile1]\nName=Drei\n",
         {"Eins", "Drei", "Zwei"},
         {"[Profile1] steht mehrmals in der Datei (Zeilen 1, 7)"}},
        {"[Profile1]\nName=ab\0cd\n[Profile2]\nName=Gut\n"s,
         {"Gut"},
         {"Zeilen mit Steuerzeichen oder Binärdaten: 1 (die erste: Zeile 2)",
          "[Profile1] Der Name eines Profils darf nicht leer sein und keine Steuerzeichen"}},
        {"[Profile1]\nName=Eins\nschnell fräsen\n; comment\n# comment\n  \nFeed = 10\n",
         {"Eins"},
         {"Zeilen, die weder [Gruppe] noch Name=Wert sind: 1 (die erste: Zeile 3)"}},
    };
    for (const Case &c : cases) {
        WriteFile(path, c.text);
        const ProfilesLoad load = LoadMachineProfiles(path);
        const std::string said = germanDamage(load);
        ASSERT_FALSE(said.empty()) << c.text.substr(0, 40);
        EXPECT_EQ(said.rfind("Die Profildatei " + path + " ist beschädigt (", 0), 0u) << said;
        for (const std::string &part : c.said)
            EXPECT_NE(said.find(part), std::string::npos) << said;
        std::vector<std::string> names;
        for (size_t k = BuiltInProfiles().size(); k < load.profiles.size(); ++k)
            names.push_back(load.profiles[k].name);
        EXPECT_EQ(names, c.names) << said;
    }
    // Groups read out of binary bytes are no profiles: the lines are reported, not the groups.
    WriteFile(path, binary);
    const std::string binarySaid = germanDamage(LoadMachineProfiles(path));
    EXPECT_EQ(binarySaid.find("; ["), std::string::npos) << binarySaid;
    EXPECT_LT(binarySaid.size(), 450u) << binarySaid;
    // The repeated group is a profile of its own: nothing of the first one's values in it.
    WriteFile(path, cases[1].text);
    const ProfilesLoad load = LoadMachineProfiles(path);
    EXPECT_EQ(FindProfile(load.profiles, "Eins")->feed, 500);
    EXPECT_EQ(FindProfile(load.profiles, "Drei")->feed, 1000);
    // A sound file says nothing.
    UserMessage error;
    ASSERT_TRUE(SaveMachineProfiles(path, load.profiles, error));
    EXPECT_TRUE(LoadMachineProfiles(path).problems.empty()) << ReadFile(path);
}

// profiles/written-before.ini was written by the profiles writer before every setting came
// from one table: every setting of the first profile away from its default, texts with commas,
// quotes, semicolons, backslashes, tabs, line breaks, a leading "@" line and non-ASCII letters.
// It reads into the very profiles and is written back byte for byte.
TEST_F(ProfileTest, AProfilesFileOfTheEarlierWriterReadsAndWritesTheSame) {
    const std::string before = ReadFile(kTestData + "/profiles/written-before.ini");
    const std::string path = (folder / kProfilesFileName).string();
    WriteFile(path, before);
    const ProfilesLoad load = LoadMachineProfiles(path);
    ASSERT_TRUE(load.problems.empty()) << germanDamage(load);
    ASSERT_EQ(load.profiles.size(), BuiltInProfiles().size() + 2);
    const MachineProfile &a = load.profiles[BuiltInProfiles().size()];
    EXPECT_EQ(a.name, "Fräse, \"groß\"; #1 @home \\ Ωmega");
    EXPECT_EQ(a.cliName, a.name);
    EXPECT_FALSE(a.builtIn);
    EXPECT_EQ(a.units, "G20");
    EXPECT_EQ(a.header, "%\n(Kopf, mit Komma; und \"Anführung\")\nO{program}\n\tG17 "
                        "{units}\n@Invalid()\n  Leerzeichen  ");
    EXPECT_EQ(a.footer, "M5\nM30 ; Ende\n%");
    EXPECT_EQ(a.toolChange, "T{tool} M6\n(Wechsel: \\ Rückstrich)");
    EXPECT_EQ(a.feed, 1234.5);
    EXPECT_EQ(a.plungeFeed, 0.125);
    EXPECT_EQ(a.spindle, 0);
    EXPECT_FALSE(a.spindleClockwise);
    EXPECT_EQ(a.rapidRate, 12000);
    EXPECT_EQ(a.acceleration, 0.1 + 0.2);
    EXPECT_EQ(a.toolChangeTime, 0);
    const std::array<AxisRange, 3> travel{{{-400, 0.5}, {-300.25, 1e-9}, {-120, 1e6}}};
    EXPECT_EQ(a.travel, travel);
    EXPECT_TRUE(a.crlf);
    EXPECT_FALSE(a.movePerLine);
    EXPECT_FALSE(a.retractFirst);
    EXPECT_EQ(a.maxDecimals, 0);
    EXPECT_TRUE(a.decimalPoint);
    EXPECT_FALSE(a.arcs);
    EXPECT_EQ(a.programNumber, 99999);
    const MachineProfile &b = load.profiles.back();
    EXPECT_EQ(b.name, "plain2");
    EXPECT_EQ(b.units, "");
    EXPECT_EQ(b.footer, "G0 Z10,5");
    EXPECT_EQ(b.toolChange, "");
    EXPECT_TRUE(CheckProfile(a).empty() && CheckProfile(b).empty());

    UserMessage error;
    ASSERT_TRUE(SaveMachineProfiles(path, load.profiles, error)) << error.Filled();
    EXPECT_EQ(ReadFile(path), before);
}

// The INI reader gives groups in the order of their names ("Profile10" before "Profile2"): with
// ten and more profiles of one's own their order must still survive a save and a load, also in a
// file written so before, and a group given twice stays beside its first.
TEST_F(ProfileTest, TenAndMoreProfilesKeepTheirOrder) {
    const std::string path = (folder / kProfilesFileName).string();
    std::vector<MachineProfile> profiles = BuiltInProfiles();
    for (int k = 1; k <= 12; ++k) {
        MachineProfile own;
        own.name = own.cliName = "Eigen " + std::to_string(13 - k);
        profiles.push_back(own);
    }
    UserMessage error;
    ASSERT_TRUE(SaveMachineProfiles(path, profiles, error)) << error.Filled();
    const auto names = [](const std::vector<MachineProfile> &list) {
        std::vector<std::string> all;
        for (const MachineProfile &p : list)
            all.push_back(p.name);
        return all;
    };
    EXPECT_EQ(names(LoadMachineProfiles(path).profiles), names(profiles));

    WriteFile(path, "[Profile10]\nName=zehn\n[Profile2]\nName=zwei\n[Zusatz]\nName=extra\n"
                    "[Profile1]\nName=eins\n[Profile2]\nName=zwei-b\n");
    const ProfilesLoad load = LoadMachineProfiles(path);
    const std::vector<MachineProfile> read(load.profiles.begin() + long(BuiltInProfiles().size()),
                                           load.profiles.end());
    EXPECT_EQ(names(read), (std::vector<std::string>{"eins", "zwei", "zwei-b", "zehn", "extra"}));
    EXPECT_EQ(load.problems.size(), 1u) << germanDamage(load);
}

// Every setting is a line of the one table: each member of the profile is reached by exactly
// one field, and the check refuses what each field's rule refuses, in the table's words.
TEST(ProfileFieldTable, CoversEverySettingOnceAndChecksEach) {
    MachineProfile probe;
    std::set<const void *> reached;
    for (const ProfileField &field : ProfileFields()) {
        const void *member = field.text      ? static_cast<const void *>(&(probe.*field.text))
                             : field.integer ? static_cast<const void *>(&(probe.*field.integer))
                             : field.flag    ? static_cast<const void *>(&(probe.*field.flag))
                                             : static_cast<const void *>(&field.Number(probe));
        EXPECT_TRUE(reached.insert(member).second) << field.key;
        EXPECT_EQ(FindProfileField(field.key), &field);
    }
    // name, units, header, footer, tool change; 6 numbers and 6 ends of travel; 2 integers; 6
    // flags. cliName, builtIn and pathsOnly are no settings of the file.
    EXPECT_EQ(reached.size(), 5u + 12u + 2u + 6u);

    struct Case {
        const char *key;
        std::function<void(MachineProfile &)> spoil;
    };
    const Case cases[] = {
        {"Name", [](MachineProfile &p) { p.name = "a[1]"; }},
        {"Name", [](MachineProfile &p) { p.name = std::string("a\0b", 3); }},
        {"Feed", [](MachineProfile &p) { p.feed = 0; }},
        {"PlungeFeed", [](MachineProfile &p) { p.plungeFeed = -1; }},
        {"Spindle", [](MachineProfile &p) { p.spindle = 2e6; }},
        {"RapidRate", [](MachineProfile &p) { p.rapidRate = std::nan(""); }},
        {"TravelYMax", [](MachineProfile &p) { p.travel[1].max = 1e7; }},
        {"MaxDecimals", [](MachineProfile &p) { p.maxDecimals = 19; }},
        {"ProgramNumber", [](MachineProfile &p) { p.programNumber = 0; }},
        {"Units", [](MachineProfile &p) { p.units = "G70"; }},
        {"ToolChange", [](MachineProfile &p) { p.toolChange = "T{tool}\r\nM6"; }},
        // Several faults: the name first, then the numbers, before the texts.
        {"Name",
         [](MachineProfile &p) {
             p.header = "\r";
             p.feed = 0;
             p.name.clear();
         }},
        {"Feed",
         [](MachineProfile &p) {
             p.units = "x";
             p.programNumber = 0;
             p.feed = 0;
         }},
    };
    for (const Case &c : cases) {
        MachineProfile profile = *FindProfile(BuiltInProfiles(), "linuxcnc");
        ASSERT_TRUE(CheckProfile(profile).empty());
        c.spoil(profile);
        EXPECT_EQ(CheckProfile(profile).text, FindProfileField(c.key)->problem) << c.key;
    }
}

TEST_F(ProfileTest, AProfilesFileThatCannotBeWrittenSaysSo) {
    const fs::path blocked = folder / "blocked";
    fs::create_directory(blocked);
    fs::create_directory(blocked / kProfilesFileName); // a folder at the file's name
    std::vector<MachineProfile> profiles = BuiltInProfiles();
    profiles.push_back(profiles[1]);
    profiles.back().builtIn = false;
    profiles.back().name = "Eigen";
    UserMessage error;
    EXPECT_FALSE(SaveMachineProfiles((blocked / kProfilesFileName).string(), profiles, error));
    EXPECT_FALSE(error.empty());
}

// The level map is the generator's grid: a cell's level is the deepest level whose runs cover
// it in the program.
TEST(LevelMap, EqualsTheLevelsTheProgramCuts) {
    std::vector<std::vector<Rgb>> rows;
    for (int y = 0; y < 23; ++y) {
        rows.emplace_back();
        for (int x = 0; x < 37; ++x)
            rows.back().push_back(Grey(uint8_t((x * 37 + y * 101 + x * y * 7) % 256)));
    }
    const dib picture = MakePicture24(rows);
    for (const double distance : {0.5, 0.23, 0.05}) { // coarser, near, finer than the picture
        ReliefParameters p;
        p.width = 10;
        p.abstandfr = distance;
        p.levels = 7;
        p.tiefe = 6; // level i at Z i
        p.nach = 6;
        const ReliefGrid grid = ComputeReliefGrid(p, 37, 23);
        ScratchFolder scratch;
        OutputFile out;
        ASSERT_TRUE(out.Open((scratch.path() / "r.nc").string(), OutputFile::Mode::Replace, 4096));
        WriteRelief(p, picture, out);
        ASSERT_TRUE(out.Commit());
        std::vector<int> expected(size_t(grid.aufl * grid.aufly), -1);
        std::istringstream program(ReadFile(scratch.path() / "r.nc"));
        double x0, y, z, x1, y1, safe;
        for (std::string group; std::getline(program, group, '\n');) {
            ASSERT_EQ(std::sscanf(group.c_str(), "G0 X%lf Y%lf\rG1 Z%lf\rG1 X%lf Y%lf\rG0 Z%lf",
                                  &x0, &y, &z, &x1, &y1, &safe),
                      6);
            const auto cell = [&](double v) { return int64_t(std::llround(v / grid.scale)); };
            for (int64_t x = cell(x0); x <= cell(x1); ++x)
                expected[size_t(cell(y) * grid.aufl + x)] = int(std::lround(z));
        }
        const ReliefLevelMap full = ComputeLevelMap(p, picture, 1u << 30);
        ASSERT_EQ(full.step, 1);
        ASSERT_EQ(full.width, grid.aufl);
        ASSERT_EQ(full.height, grid.aufly);
        EXPECT_EQ(full.levels, 7);
        EXPECT_EQ(std::vector<int>(full.cells.begin(), full.cells.end()), expected) << distance;

        // A map kept smaller holds every step-th cell of the full one.
        const ReliefLevelMap part = ComputeLevelMap(p, picture, 200);
        EXPECT_LE(uint64_t(part.width) * uint64_t(part.height), 200u);
        ASSERT_GT(part.step, 1);
        for (int j = 0; j < part.height; ++j)
            for (int i = 0; i < part.width; ++i)
                ASSERT_EQ(part.cells[size_t(j * part.width + i)],
                          full.cells[size_t(j * part.step * full.width + i * part.step)]);
    }
}

// Worked by hand: a 3 x 1 grid, white - black - white, two levels. Level 0 cuts the whole row
// (2 units); level 1 cuts the two white samples alone (no length). Safe Z 5, levels at 0 and -1.
TEST(ReliefEstimate, AgreesWithTimesWorkedByHand) {
    const dib picture = MakePicture24({{kWhite, kBlack, kWhite}});
    ReliefParameters p;
    p.width = 3;
    p.abstandfr = 1;
    p.levels = 2;
    p.sicher = 5;
    p.tiefe = -1;
    p.profile = *FindProfile(BuiltInProfiles(), "linuxcnc");
    p.profile.feed = 600;       // 10 per second
    p.profile.plungeFeed = 120; // 2 per second
    p.profile.rapidRate = 1200; // 20 per second
    p.profile.acceleration = 0;
    ReliefEstimate e = MeasureRelief(p, picture);
    EXPECT_EQ(e.columns, 3);
    EXPECT_EQ(e.rows, 1);
    EXPECT_EQ(e.cuts, 3u);
    // Rapids over the paths: back from X2 to X0, then to X2 (the first approach is not timed).
    EXPECT_DOUBLE_EQ(e.rapidLength, 4);
    EXPECT_DOUBLE_EQ(e.plungeLength, 5 + 6 + 6);
    EXPECT_DOUBLE_EQ(e.retractLength, 5 + 6 + 6);
    EXPECT_DOUBLE_EQ(e.cutLength, 2);
    EXPECT_NEAR(e.seconds, 2.0 / 10 + 17.0 / 2 + (4 + 17.0) / 20, 1e-9);

    // With 10 units/s²: rapids (20/s) never reach full speed within 40 units, so take
    // 2·√(d/a); plunges (2/s) reach it after 0.4 units and take d/v + v/a; the cut (10/s) needs
    // 10 units and takes 2·√(2/10).
    p.profile.acceleration = 10;
    e = MeasureRelief(p, picture);
    const double rapids = 2 * (2 * std::sqrt(0.2)) + 2 * std::sqrt(0.5) + 2 * (2 * std::sqrt(0.6));
    const double plunges = (2.5 + 0.2) + 2 * (3 + 0.2);
    EXPECT_NEAR(e.seconds, rapids + plunges + 2 * std::sqrt(0.2), 1e-9);
}

} // namespace

namespace {

struct Cut {
    double z, x0, y, x1;
    bool operator==(const Cut &) const = default;
};

// The cuts of LinuxCNC's canonical calls: a STRAIGHT_FEED after a STRAIGHT_FEED (the plunge).
std::vector<Cut> canonCuts(const std::string &canon, size_t &moves) {
    std::vector<Cut> cuts;
    std::istringstream lines(canon);
    std::string previous;
    double position[3] = {0, 0, 0};
    moves = 0;
    const std::regex call(
        R"(^\s*\d+\s+N\.+\s+(STRAIGHT_TRAVERSE|STRAIGHT_FEED)\(([^,]+), ([^,]+), ([^,]+),)");
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, call))
            continue;
        ++moves;
        const double point[3] = {std::stod(m[2]), std::stod(m[3]), std::stod(m[4])};
        if (m[1] == "STRAIGHT_FEED" && previous == "STRAIGHT_FEED")
            cuts.push_back({point[2], position[0], position[1], point[0]});
        previous = m[1];
        std::copy(point, point + 3, position);
    }
    return cuts;
}

// The bare program's runs, group by group.
std::vector<Cut> programCuts(const std::string &program) {
    std::vector<Cut> cuts;
    std::istringstream groups(program);
    for (std::string group; std::getline(groups, group, '\n');) {
        Cut c{};
        double y1 = 0, safe = 0;
        if (std::sscanf(group.c_str(), "G0 X%lf Y%lf\rG1 Z%lf\rG1 X%lf Y%lf\rG0 Z%lf", &c.x0, &c.y,
                        &c.z, &c.x1, &y1, &safe) == 6)
            cuts.push_back(c);
    }
    return cuts;
}

} // namespace

// LinuxCNC's interpreter (rs274 of linuxcnc-uspace) read the dressed program of the fixture to
// its end (bench/compare/relief_rs274.py --write-fixture made the files). The program is still
// the one written today, and its canonical moves cut exactly the runs of the bare program.
TEST_F(ProfileTest, LinuxCncCutsTheRunsOfTheBarePaths) {
    ReliefParameters p;
    p.levels = 6;
    p.width = 5.5L;
    p.abstandfr = 0.25;
    p.sicher = 3;
    p.tiefe = -2;
    p.xstart = -1;
    p.ystart = 2;
    p.nach = 4;
    p.profile = *FindProfile(BuiltInProfiles(), "linuxcnc");
    const std::string picture = kTestData + "/pictures/bmp24.bmp";
    std::string dressed, bare;
    ASSERT_EQ(generate(p, picture, dressed).status, ReliefStatus::Ok);
    EXPECT_EQ(dressed, ReadFile(kTestData + "/linuxcnc/fixture.nc"));
    p.profile = PathsOnlyProfile();
    ASSERT_EQ(generate(p, picture, bare).status, ReliefStatus::Ok);

    const std::string canon = ReadFile(kTestData + "/linuxcnc/fixture.canon");
    EXPECT_NE(canon.find("PROGRAM_END()"), std::string::npos);
    size_t moves = 0;
    const std::vector<Cut> cuts = canonCuts(canon, moves);
    const std::vector<Cut> runs = programCuts(bare);
    EXPECT_EQ(cuts.size(), 105u);
    EXPECT_EQ(moves, 1 + 4 * runs.size()); // the first retract, then four moves a group
    EXPECT_EQ(cuts, runs);
}
