#include "formatting/blocknumbers.h"

#include "linetext/linetext.h"
#include "vantrel/numberparse.h"

#include <cmath>

namespace morvilo {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// A character of a word's number: a digit, ".", or a sign before anything else.
bool isNumberChar(char c, bool first) {
    return isDigit(c) || c == '.' || (first && (c == '+' || c == '-'));
}

// One word of a line: its keyword starts at `from`, its number ends at `last`.
struct Word {
    size_t from, last;
    std::string number;
};

// Walks the line s and hands every closed keyword word to found, with the character that closed
// it (0 at the end of the line); found returns whether that character starts a new word at once.
// Spaces and comments are skipped: they neither start, extend nor close a word and leave the
// letter state alone. Otherwise a word starts at the keyword's first letter (either case) where
// the previous character is not a letter; its letters must follow one another, any other
// character abandons it. The number that follows closes at the first other character or at
// the end of the line.
template <typename Found>
void walkWords(std::string_view s, std::string_view keyword, Found found) {
    const BracketChars b = Brackets();
    enum class State { Idle, Letters, Number } state = State::Idle;
    bool inComment = false, afterLetter = false;
    size_t letters = 0;
    Word word{};
    auto start = [&](size_t at) {
        word = Word{at, at, {}};
        letters = 1;
        state = letters == keyword.size() ? State::Number : State::Letters;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == b.commleft)
            inComment = true;
        if (!inComment && c != ' ') {
            if (state == State::Number && isNumberChar(c, word.number.empty())) {
                word.number += c;
                word.last = i;
            } else if (state == State::Number) {
                state = State::Idle;
                if (found(word, c))
                    start(i);
            } else if (state == State::Letters) {
                if (upper(c) == keyword[letters]) {
                    word.last = i;
                    if (++letters == keyword.size())
                        state = State::Number;
                } else {
                    state = State::Idle;
                }
            } else if (upper(c) == keyword[0] && !afterLetter) {
                start(i);
            }
            afterLetter = isLetter(c);
        }
        if (c == b.commright)
            inComment = false;
    }
    if (state == State::Number)
        found(word, '\0');
}

struct Edit {
    size_t from, last; // the characters replaced
    std::string replacement;
};

// Applies edits that lie in s in order and do not overlap.
void applyEdits(std::string &s, const std::vector<Edit> &edits) {
    if (edits.empty())
        return;
    std::string result;
    result.reserve(s.size() + 16 * edits.size());
    size_t from = 0;
    for (const Edit &edit : edits) {
        result.append(s, from, edit.from - from).append(edit.replacement);
        from = edit.last + 1;
    }
    result.append(s, from, std::string::npos);
    s = std::move(result);
}

} // namespace

std::string MatchingView(std::string_view line) {
    std::string view = nospacesandcomments(line);
    for (char &c : view)
        c = upper(c);
    return view;
}

bool BlockNumberOf(std::string_view text, int64_t &nr) {
    double value = 0;
    // 2^63: the first magnitude that no int64_t holds.
    if (!ParseReal(text, value) || !(std::fabs(value) < 9223372036854775808.0))
        return false;
    nr = int64_t(std::trunc(value));
    return true;
}

namespace {

// FindBlock on a view of the rest of the line: the view moves past what the call consumed.
bool findBlockIn(std::string_view keyword, std::string_view &s, int64_t &nr) {
    nr = -1;
    const size_t at = s.find(keyword);
    if (at == std::string_view::npos || (at > 0 && s[at - 1] >= 'A' && s[at - 1] <= 'Z'))
        return false;
    size_t from = at + keyword.size();
    while (from < s.size() && s[from] == '0')
        ++from;
    size_t end = from;
    while (end < s.size() && isNumberChar(s[end], end == from))
        ++end;
    const std::string_view number = s.substr(from, end - from);
    s.remove_prefix(end);
    if (!BlockNumberOf(number, nr)) {
        nr = -1;
        return false;
    }
    return true;
}

} // namespace

bool FindBlock(std::string_view keyword, std::string &s, int64_t &nr) {
    std::string_view rest = s;
    const bool found = findBlockIn(keyword, rest, nr);
    s.erase(0, s.size() - rest.size());
    return found;
}

std::vector<int64_t> FindAllBlocks(std::string_view keyword, std::string_view view) {
    std::vector<int64_t> numbers;
    int64_t nr = -1;
    while (findBlockIn(keyword, view, nr))
        numbers.push_back(nr);
    return numbers;
}

void RemoveBlockNummers(std::string &s, const std::unordered_set<int64_t> &numbers) {
    std::vector<Edit> deletions;
    walkWords(s, "N", [&](const Word &word, char closing) {
        int64_t number = 0;
        if (!BlockNumberOf(word.number, number) || numbers.count(number) == 0)
            return false;
        deletions.push_back({word.from, word.last, {}});
        // With this word gone, an "N" that closed it follows a character that is no letter.
        return upper(closing) == 'N';
    });
    applyEdits(s, deletions);
}

void RemoveBlockNummer(std::string &s, int64_t nr) {
    RemoveBlockNummers(s, {nr});
}

void ReplaceGOTOs(std::string &s,
                  const std::function<std::optional<int64_t>(int64_t nr)> &newNumberOf) {
    std::vector<Edit> rewrites;
    walkWords(s, "GOTO", [&](const Word &word, char closing) {
        int64_t number = 0;
        if (BlockNumberOf(word.number, number))
            if (const std::optional<int64_t> newnr = newNumberOf(number))
                rewrites.push_back({word.from, word.last, "GOTO" + std::to_string(*newnr)});
        return closing == 'G'; // an upper-case G after a number starts the next jump
    });
    applyEdits(s, rewrites);
}

void ReplaceGOTO(std::string &s, int64_t nr, int64_t newnr) {
    ReplaceGOTOs(s, [&](int64_t number) {
        return number == nr ? std::optional<int64_t>(newnr) : std::nullopt;
    });
}

} // namespace morvilo
