#pragma once
// How one G-code line is looked at by the interpreter, the evaluator, the calculator and the
// formatting commands: the bracket characters of comments and expressions, and the pure text
// functions that compare lines, find labels and strip block numbers.

#include <cstdint>
#include <string>
#include <string_view>

namespace morvilo {

// The four bracket characters. Every reader of comments or expressions reads them when it
// works and keeps no copy, so switching the option takes effect at the next line.
struct BracketChars {
    char commleft = '(';
    char commright = ')';
    char expleft = '[';
    char expright = ']';
};

// The current characters; start-up values "(" ")" for comments and "[" "]" for expressions.
const BracketChars &Brackets();
// The option "[] für Kommentare anstatt ()": on swaps the pairs (comments in "[" "]",
// expressions in "(" ")"), off restores the start-up values.
void SetSquareBracketComments(bool on);

// The line without spaces and without comments. A comment runs from commleft through the next
// commright (no nesting; an unclosed one runs to the end); a commright outside any comment is
// kept.
std::string nospacesandcomments(std::string_view s);

// The words of a block as the interpreter reads them: as nospacesandcomments, with tabs taken
// as spaces, and the block ending at a ";" outside a comment (the end-of-block mark of
// Fanuc-type tapes, a comment in LinuxCNC). CAM posts write tabs between an address and its
// number.
std::string BlockWordsText(std::string_view s);
// The length of the block part of s: up to its first ";" outside a comment.
size_t BlockLength(std::string_view s);

// The last 1-based position in s where `letters` (any letter case) stands followed by the label
// `number`, with any number of leading zeros on either side, and no further digit after it;
// 0 when there is none. At least one character must follow the letters.
int32_t poss0s(std::string_view s, std::string_view letters, std::string_view number);

// Removes block-number words ("N" followed by a number, not directly after a letter, outside
// comments) from s. Every word the walk closes goes, together with the spaces and comments
// inside it. The character that closes a word never opens the next one, so of "N10N20" only
// "N10" goes.
void RemoveAllBlockNummers(std::string &s);

} // namespace morvilo
