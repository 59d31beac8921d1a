#pragma once
// Block numbers ("N" words) and jumps ("GOTO" words) in one G-code line, as renumbering sees
// them. Keywords are looked for in the line's matching view (no spaces, no comments, upper
// case); changes are made to the line itself by a walk that skips spaces and comments.
// Comments follow the bracket option at the moment of the call.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace morvilo {

// The line without spaces and comments, upper-cased.
std::string MatchingView(std::string_view line);

// The number of a block-number or jump word: digits with an optional "." and a leading sign,
// truncated toward zero. False for text that does not convert ("", "+", "1.2.3") and for
// numbers beyond the 64-bit range.
bool BlockNumberOf(std::string_view text, int64_t &nr);

// Finds the first occurrence of keyword ("N" or "GOTO") in the matching view s. It counts only
// at the start of s or after a character other than A .. Z; then everything through the keyword,
// its leading zeros and its number is deleted from s and the number goes into nr. False (nr -1)
// when the keyword is missing or follows a letter (s unchanged) or its number does not convert
// (s shortened). Repeated calls walk through the line.
bool FindBlock(std::string_view keyword, std::string &s, int64_t &nr);

// Every number that repeated FindBlock calls find for keyword in the matching view.
std::vector<int64_t> FindAllBlocks(std::string_view keyword, std::string_view view);

// Removes from the line s the block-number words whose number is nr: the text from the "N"
// through the last digit goes, spaces after it stay.
void RemoveBlockNummer(std::string &s, int64_t nr);

// Removes the block-number words of all these numbers in one walk, with the result of calling
// RemoveBlockNummer for each number in the order the line holds them: a word that starts only
// once the word before it is gone (the "N6" of "N5N6") goes as well.
void RemoveBlockNummers(std::string &s, const std::unordered_set<int64_t> &numbers);

// Rewrites every jump of the line s to nr as "GOTO" + newnr (spaces and comments inside the old
// word go with it).
void ReplaceGOTO(std::string &s, int64_t nr, int64_t newnr);

// Rewrites every jump of the line s for whose number newNumberOf gives a new one; each jump is
// rewritten once, by its own target's new number.
void ReplaceGOTOs(std::string &s,
                  const std::function<std::optional<int64_t>(int64_t nr)> &newNumberOf);

} // namespace morvilo
