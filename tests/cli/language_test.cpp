// One language per run: the interface language chosen in the window (options.dat), English when
// none is chosen, for every message of every command.

#include "../common/testfiles.h"
#include "cli/cli.h"
#include "cli/clitext.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <regex>
#include <sstream>

namespace morvilo::cli {
namespace {

namespace fs = std::filesystem;

// options.dat: six 32-bit little-endian values, the language last; `values` of them are written.
void writeOptions(const fs::path &folder, int32_t language, int values) {
    std::string bytes;
    const int32_t options[6] = {0, 5, 1, 0, 0, language};
    for (int k = 0; k < values; ++k)
        for (int b = 0; b < 4; ++b)
            bytes += char(uint32_t(options[k]) >> (8 * b) & 0xFF);
    test::WriteFile(folder / "options.dat", bytes);
}

class Language : public ::testing::Test {
protected:
    void TearDown() override { SetCliLanguage(CliLanguage::English); }

    test::ScratchFolder scratch;
};

TEST_F(Language, TheWindowsChoiceOrEnglishSpeaksInEveryMessage) {
    const fs::path home = scratch / "home";
    fs::create_directory(home);
    const std::string program = (scratch / "p.nc").string(), endless = (scratch / "e.nc").string();
    test::WriteFile(program, "G1X1\n");
    test::WriteFile(endless, "N10\nG91G1X1\nGOTO10\n");
    const std::string missing = (scratch / "missing").string();
    const struct {
        std::vector<std::string> arguments;
        const char *german, *english;
    } messages[] = {
        {{"plot", "--bogus", program}, "unbekannte Option: --bogus", "unknown option: --bogus"},
        {{"plot", "--bogus", program}, "Aufruf: morvilo-cli plot", "usage: morvilo-cli plot"},
        {{"dxf", "--max-points", "20", endless, (scratch / "p.dxf").string()},
         "Der Lauf hat mehr als 20 Punkte erzeugt und wurde beendet; --max-points N hebt die "
         "Grenze an.",
         "the run made more than 20 points and was ended; --max-points N raises the bound"},
        {{"dxf", program, (scratch / "no" / "p.dxf").string()},
         "no/p.dxf kann nicht angelegt werden: ",
         "cannot create "},
        {{"eval", "5MOD0"},
         "morvilo-cli eval: Division durch Null",
         "morvilo-cli eval: Division by zero"},
        {{"format", "upper", missing}, "missing kann nicht geöffnet werden", "cannot open "},
        {{"send", program, "--port", missing},
         "missing kann nicht geöffnet werden: Datei oder Ordner nicht vorhanden",
         "cannot open the port "},
        {{"plot", missing},
         "missing kann nicht geöffnet werden: Datei oder Ordner nicht vorhanden",
         "missing: No such file or folder"},
        {{"relief", missing, (scratch / "r.nc").string(), "--levels", "1"},
         "Die Anzahl der Stufen muss zwischen 2 und 256 liegen",
         "the number of levels must lie between 2 and 256"},
        {{"relief", missing, (scratch / "r.nc").string()},
         "missing kann nicht geöffnet werden: Datei oder Ordner nicht vorhanden",
         "missing: No such file or folder"},
        {{"relief", program, (scratch / "r.nc").string()}, // a file, but no picture
         "Das Bild konnte nicht geladen werden.",
         "The picture could not be loaded."},
        {{"send", program, "--port", missing, "--timeout", "-1"},
         "--timeout: keine Zahl größer als 0: -1",
         "--timeout: not a number above 0: -1"},
    };
    const struct {
        const char *setting;
        int32_t language;
        int values; // of options.dat; 0: no file
        bool german;
    } settings[] = {
        {"no options.dat", 0, 0, false},
        {"German chosen", 0, 6, true},
        {"English chosen", 1, 6, false},
        {"options.dat without a language", 0, 5, false},
    };
    for (const auto &setting : settings) {
        fs::remove(home / "options.dat");
        if (setting.values > 0)
            writeOptions(home, setting.language, setting.values);
        SetCliLanguage(ChosenLanguage(home.string() + "/"));
        for (const auto &message : messages) {
            std::ostringstream out, err;
            RunCli(message.arguments, out, err);
            const char *expected = setting.german ? message.german : message.english;
            const char *other = setting.german ? message.english : message.german;
            EXPECT_NE(err.str().find(expected), std::string::npos)
                << setting.setting << ": " << err.str();
            EXPECT_EQ(err.str().find(other), std::string::npos) << setting.setting;
        }
    }
}

// An English run never falls back to German: every text the commands pass through the lookup
// (as written in their sources) has its English row.
TEST_F(Language, EveryTextOfTheCommandsHasItsEnglishTranslation) {
    SetCliLanguage(CliLanguage::English);
    const std::regex call(R"re(cliText\(\s*((?:"(?:[^"\\]|\\.)*"\s*)+))re");
    const std::regex literal(R"re("((?:[^"\\]|\\.)*)")re");
    int texts = 0;
    for (const auto &entry : fs::directory_iterator(MORVILO_TEST_DATA "/../../src/cli")) {
        const std::string source = test::ReadFile(entry.path());
        for (std::sregex_iterator it(source.begin(), source.end(), call), end; it != end; ++it) {
            std::string german;
            const std::string pieces = (*it)[1];
            for (std::sregex_iterator p(pieces.begin(), pieces.end(), literal); p != end; ++p)
                german += std::regex_replace(p->str(1), std::regex(R"(\\(.))"), "$1");
            EXPECT_NE(cliText(german), german) << entry.path().filename() << ": " << german;
            ++texts;
        }
    }
    EXPECT_GT(texts, 50);
}

} // namespace
} // namespace morvilo::cli
