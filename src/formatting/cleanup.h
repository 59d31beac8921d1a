#pragma once
// The text clean-up commands of the "Formatieren" menu. Each walks every line of the editor
// once, as one editor update (one undo step), and replaces a line only when its text changes;
// the capitals command replaces every line. A replaced line ends in CR LF. Comments run from
// the comment-opening bracket through the next closing one (no nesting, an unclosed one runs to
// the end of the line) and follow the bracket option at the moment of the command. Spaces are
// the space character only; tabs are ordinary characters.

#include <string>
#include <string_view>

namespace morvilo {

class TEditorCore;

// ---- the rules for one line -------------------------------------------------------------------

// Outside comments, a space before every letter that directly follows a digit ("N10G1" gives
// "N10 G1"; after ")" or "]" no space comes).
std::string AddSpaces(std::string_view line);
// Every space outside comments removed; comments keep theirs.
std::string RemoveSpaces(std::string_view line);
// The spaces before the first other character removed.
std::string RemoveLeadingSpaces(std::string_view line);
// The spaces after the last other character removed.
std::string RemoveTrailingSpaces(std::string_view line);
// Every comment removed with its brackets; what stands around it stays.
std::string RemoveComments(std::string_view line);
// a .. z in capitals, comments included; other characters stay.
std::string UpperCase(std::string_view line);

// ---- the menu commands on the whole text --------------------------------------------------------

void Leerzeichenhinzufgen(TEditorCore &core);               // "Leerzeichen hinzufügen"
void Leerzeichenentfernen(TEditorCore &core);               // "Leerzeichen entfernen"
void LeerzeichenamZeilenanfangentfernen(TEditorCore &core); // "... am Zeilenanfang entfernen"
void LeerzeichenamZeilenendeentfernen(TEditorCore &core);   // "... am Zeilenende entfernen"
void LeereZeilenentfernen(TEditorCore &core);               // deletes lines without a character
void Kommentareentfernen(TEditorCore &core);                // "Kommentare entfernen"
void AllesinGrossbuchstabenumwandeln(TEditorCore &core);    // replaces every line

} // namespace morvilo
