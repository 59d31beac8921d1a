#include "formatting/cleanup.h"

#include "formatting/linewalk.h"
#include "linetext/linetext.h"

namespace morvilo {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Copies the line, handing each character with whether it lies in a comment (its brackets
// included) to keep; the characters for which keep returns false are left out.
template <typename Keep> std::string copyKeeping(std::string_view line, Keep keep) {
    const BracketChars b = Brackets();
    std::string result;
    result.reserve(line.size());
    bool inComment = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == b.commleft)
            inComment = true;
        if (keep(i, inComment))
            result += c;
        if (c == b.commright)
            inComment = false;
    }
    return result;
}

// Replaces every line whose text rule changes (every line with always).
void replaceLines(TEditorCore &core, std::string (*rule)(std::string_view), bool always) {
    InOneUpdate(core, [&] {
        LineWalk walk(core);
        while (walk.Next()) {
            std::string text = rule(walk.Text());
            if (always || text != walk.Text())
                core.ReplaceLine(text);
        }
    });
}

} // namespace

std::string AddSpaces(std::string_view line) {
    const BracketChars b = Brackets();
    std::string result;
    result.reserve(line.size() + line.size() / 4);
    bool inComment = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == b.commleft)
            inComment = true;
        if (!inComment && isLetter(c) && i > 0 && isDigit(line[i - 1]))
            result += ' ';
        result += c;
        if (c == b.commright)
            inComment = false;
    }
    return result;
}

std::string RemoveSpaces(std::string_view line) {
    return copyKeeping(line, [&](size_t i, bool inComment) { return inComment || line[i] != ' '; });
}

std::string RemoveLeadingSpaces(std::string_view line) {
    const size_t first = line.find_first_not_of(' ');
    return std::string(first == std::string_view::npos ? std::string_view() : line.substr(first));
}

std::string RemoveTrailingSpaces(std::string_view line) {
    const size_t last = line.find_last_not_of(' ');
    return std::string(line.substr(0, last == std::string_view::npos ? 0 : last + 1));
}

std::string RemoveComments(std::string_view line) {
    return copyKeeping(line, [](size_t, bool inComment) { return !inComment; });
}

std::string UpperCase(std::string_view line) {
    std::string result(line);
    for (char &c : result)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return result;
}

void Leerzeichenhinzufgen(TEditorCore &core) {
    replaceLines(core, AddSpaces, false);
}

void Leerzeichenentfernen(TEditorCore &core) {
    replaceLines(core, RemoveSpaces, false);
}

void LeerzeichenamZeilenanfangentfernen(TEditorCore &core) {
    replaceLines(core, RemoveLeadingSpaces, false);
}

void LeerzeichenamZeilenendeentfernen(TEditorCore &core) {
    replaceLines(core, RemoveTrailingSpaces, false);
}

void LeereZeilenentfernen(TEditorCore &core) {
    InOneUpdate(core, [&] {
        LineWalk walk(core);
        while (walk.Next())
            if (walk.Text().empty())
                core.DeleteLine();
    });
}

void Kommentareentfernen(TEditorCore &core) {
    replaceLines(core, RemoveComments, false);
}

void AllesinGrossbuchstabenumwandeln(TEditorCore &core) {
    replaceLines(core, UpperCase, true);
}

} // namespace morvilo
