// morvilo-cli format COMMAND [options] PROGRAM: the "Formatieren" commands in batch use. The
// program is opened in an editor core as the window opens it, the command runs on it, and the
// resulting text goes to stdout byte for byte (lines the command did not change keep their
// breaks, changed lines end in CR LF, as in the editor).

#include "cli/cli.h"
#include "cli/clitext.h"
#include "cli/options.h"
#include "cli/programrun.h"

#include "editor/editorcore.h"
#include "formatting/cleanup.h"
#include "formatting/renumbering.h"
#include "linetext/linetext.h"
#include "vantrel/numberparse.h"

#include <exception>
#include <functional>
#include <vector>

namespace morvilo::cli {

namespace {

std::string formatUsage() {
    const std::string renumber = "renumber: ";
    return UsageText(
        "morvilo-cli format COMMAND [options] PROGRAM",
        {cliText("Formatiert das G-Code-Programm PROGRAM wie das Menü \"Formatieren\" und gibt "
                 "den Text aus.")},
        {{"", cliText("Befehle:")},
         {"renumber", cliText("neue Satznummern; Sprünge (GOTO) folgen ihren Sätzen")},
         {"unnumber", cliText("die Satznummern entfernen, die kein GOTO nennt")},
         {"add-spaces", cliText("ein Leerzeichen vor jedem Buchstaben, der auf eine Ziffer folgt")},
         {"remove-spaces", cliText("die Leerzeichen außerhalb von Kommentaren entfernen")},
         {"trim-start", cliText("die Leerzeichen am Anfang jeder Zeile entfernen")},
         {"trim-end", cliText("die Leerzeichen am Ende jeder Zeile entfernen")},
         {"remove-empty", cliText("die Zeilen ohne jedes Zeichen löschen")},
         {"remove-comments", cliText("die Kommentare entfernen")},
         {"upper", cliText("a .. z in Großbuchstaben umwandeln")},
         {"", cliText("Optionen:")},
         {"--mode 1|2|3",
          renumber + cliText("1 alle Sätze, 2 keine leeren Zeilen und "
                             "Kommentarsätze, 3 nur Sätze, die ein GOTO nennt (1)")},
         {"--start N", renumber + cliText("die erste Nummer, 1 .. 1000000 (1)")},
         {"--step N", renumber + cliText("die Schrittweite, 1 .. 1000000 (2)")},
         {"--space", renumber + cliText("ein Leerzeichen zwischen der Nummer und der Zeile")},
         {"--square-bracket-comments", cliText("Kommentare in [], Ausdrücke in ()")}});
}

struct FormatOptions {
    TNummerBlocksSettings renumber;
    bool renumberOptionGiven = false;
    bool squareBracketComments = false;
    std::vector<std::string> positional;
    bool help = false;
};

bool readRange(OptionReader &reader, int64_t low, int64_t high, int64_t &value,
               std::string &error) {
    std::string text;
    if (!reader.Value(text)) {
        error = NeedsValue(reader);
        return false;
    }
    if (!ParseInteger(text, value) || value < low || value > high) {
        error = cliText("--%1: keine ganze Zahl von %2 bis %3: %4",
                        {reader.Name(), std::to_string(low), std::to_string(high), text});
        return false;
    }
    return true;
}

bool readFlag(OptionReader &reader, bool &flag, std::string &error) {
    if (reader.HasInlineValue()) {
        error = TakesNoValue(reader);
        return false;
    }
    flag = true;
    return true;
}

bool readOption(OptionReader &reader, FormatOptions &o, std::string &error) {
    if (reader.Is("square-bracket-comments"))
        return readFlag(reader, o.squareBracketComments, error);
    if (reader.Is("help"))
        return readFlag(reader, o.help, error);
    o.renumberOptionGiven = true;
    if (reader.Is("space"))
        return readFlag(reader, o.renumber.addspacecheck, error);
    if (reader.Is("start"))
        return readRange(reader, 1, 1000000, o.renumber.startnumed, error);
    if (reader.Is("step"))
        return readRange(reader, 1, 1000000, o.renumber.inced, error);
    if (reader.Is("mode")) {
        int64_t mode = 1;
        if (!readRange(reader, 1, 3, mode, error))
            return false;
        o.renumber.choice = NumberingChoice(mode);
        return true;
    }
    error = UnknownOption(reader);
    return false;
}

bool parse(const std::vector<std::string> &arguments, FormatOptions &o, std::string &error) {
    if (!ReadArguments(arguments, o.positional, error, [&](OptionReader &reader, std::string &e) {
            return readOption(reader, o, e);
        }))
        return false;
    if (o.help)
        return true;
    if (o.positional.size() != 2) {
        error = cliText("erwartet: COMMAND und PROGRAM");
        return false;
    }
    if (o.renumberOptionGiven && o.positional[0] != "renumber") {
        error = cliText("--mode, --start, --step und --space gehören zu renumber");
        return false;
    }
    return true;
}

// The command of a name; empty for an unknown name.
std::function<void(TEditorCore &)> commandNamed(const std::string &name,
                                                const TNummerBlocksSettings &renumber) {
    if (name == "renumber")
        return [renumber](TEditorCore &core) { BlckeneuNummerieren(core, renumber); };
    const struct {
        const char *name;
        void (*command)(TEditorCore &);
    } commands[] = {{"unnumber", Nummierungentfernen},
                    {"add-spaces", Leerzeichenhinzufgen},
                    {"remove-spaces", Leerzeichenentfernen},
                    {"trim-start", LeerzeichenamZeilenanfangentfernen},
                    {"trim-end", LeerzeichenamZeilenendeentfernen},
                    {"remove-empty", LeereZeilenentfernen},
                    {"remove-comments", Kommentareentfernen},
                    {"upper", AllesinGrossbuchstabenumwandeln}};
    for (const auto &command : commands)
        if (name == command.name)
            return command.command;
    return {};
}

void writeText(TEditorCore &core, std::ostream &out) {
    constexpr int64_t chunk = 1 << 20;
    std::vector<char> bytes(static_cast<size_t>(chunk));
    for (int64_t pos = 0; pos < core.size() && out;) {
        const int64_t got =
            core.mem().CopyOut(pos, chunk, reinterpret_cast<uint8_t *>(bytes.data()));
        if (got <= 0)
            break;
        out.write(bytes.data(), std::streamsize(got));
        pos += got;
    }
}

// Runs the command and writes the text; the exit status.
int formatAndWrite(const std::function<void(TEditorCore &)> &command, TEditorCore &core,
                   std::ostream &out, std::ostream &err) {
    try {
        command(core);
        writeText(core, out);
    } catch (const std::exception &e) {
        err << "morvilo-cli format: " << cliText(e.what()) << "\n";
        return kFailure;
    }
    if (!out) // the standard output says why at the end (CheckOutputAtEnd)
        return kFailure;
    return kSuccess;
}

} // namespace

int RunFormat(const std::vector<std::string> &arguments, std::ostream &out, std::ostream &err) {
    FormatOptions options;
    std::string error;
    const bool parsed = parse(arguments, options, error);
    if (auto done = UsageOutcome("format", parsed, options.help, error, formatUsage(), out, err))
        return *done;
    const auto command = commandNamed(options.positional[0], options.renumber);
    if (!command) {
        err << "morvilo-cli format: " << UnknownCommand(options.positional[0]) << "\n"
            << formatUsage();
        return kUsage;
    }
    TEditorCore core;
    if (!OpenProgram(core, options.positional[1], error)) {
        err << "morvilo-cli format: " << error << "\n";
        return kFailure;
    }
    core.noundo = true; // nothing to take back in batch use: no memory for undo records
    // The bracket characters are process-wide: the option holds for this command only.
    const bool squareBefore = Brackets().commleft == '[';
    SetSquareBracketComments(options.squareBracketComments);
    const int status = formatAndWrite(command, core, out, err);
    SetSquareBracketComments(squareBefore);
    return status;
}

} // namespace morvilo::cli
