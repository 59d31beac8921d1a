#include "linetext/linetext.h"

#include "vantrel/numberparse.h"

#include <vector>

namespace morvilo {

namespace {

BracketChars currentBrackets;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool sameLetters(std::string_view text, size_t at, std::string_view letters) {
    for (size_t i = 0; i < letters.size(); ++i)
        if (upper(text[at + i]) != upper(letters[i]))
            return false;
    return true;
}

std::string_view withoutLeadingZeros(std::string_view text) {
    while (!text.empty() && text.front() == '0')
        text.remove_prefix(1);
    return text;
}

} // namespace

const BracketChars &Brackets() {
    return currentBrackets;
}

void SetSquareBracketComments(bool on) {
    currentBrackets = on ? BracketChars{'[', ']', '(', ')'} : BracketChars{};
}

namespace {
// s without comments and without the characters `blank` says are blanks.
template <typename Blank> std::string withoutBlanksAndComments(std::string_view s, Blank blank) {
    const BracketChars b = Brackets();
    std::string result;
    result.reserve(s.size());
    bool inComment = false;
    for (const char c : s) {
        if (c == b.commleft)
            inComment = true;
        if (!blank(c) && !inComment)
            result += c;
        if (c == b.commright)
            inComment = false;
    }
    return result;
}
} // namespace

std::string nospacesandcomments(std::string_view s) {
    return withoutBlanksAndComments(s, [](char c) { return c == ' '; });
}

size_t BlockLength(std::string_view s) {
    const BracketChars b = Brackets();
    if (s.find(';') == std::string_view::npos)
        return s.size();
    bool inComment = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == b.commleft)
            inComment = true;
        else if (c == b.commright)
            inComment = false;
        else if (c == ';' && !inComment)
            return i;
    }
    return s.size();
}

std::string BlockWordsText(std::string_view s) {
    return withoutBlanksAndComments(s.substr(0, BlockLength(s)),
                                    [](char c) { return c == ' ' || c == '\t'; });
}

int32_t poss0s(std::string_view s, std::string_view letters, std::string_view number) {
    // A label may carry leading zeros on either side: "N0010" is label 10, "N0" is label 0.
    const std::string_view label = withoutLeadingZeros(number);
    int32_t found = 0;
    for (size_t p = 0; p + letters.size() < s.size(); ++p) {
        if (!sameLetters(s, p, letters))
            continue;
        std::string_view rest = withoutLeadingZeros(s.substr(p + letters.size()));
        if (rest.substr(0, label.size()) != label)
            continue;
        rest.remove_prefix(label.size());
        if ((rest.empty() || !isDigit(rest.front())) && p < size_t(INT32_MAX))
            found = int32_t(p + 1);
    }
    return found;
}

void RemoveAllBlockNummers(std::string &s) {
    const BracketChars b = Brackets();
    struct Range {
        size_t from, to; // first and last character to delete
    };
    std::vector<Range> deletions;
    bool inComment = false, afterLetter = false, wordOpen = false;
    size_t wordStart = 0, wordLast = 0;
    std::string number;
    auto closeWord = [&] {
        double value = 0;
        if (ParseReal(number, value))
            deletions.push_back({wordStart, wordLast});
        wordOpen = false;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == b.commleft)
            inComment = true;
        if (!inComment && c != ' ') {
            const bool numberChar =
                isDigit(c) || c == '.' || (number.empty() && (c == '+' || c == '-'));
            if (!wordOpen && (c == 'N' || c == 'n') && !afterLetter) {
                wordOpen = true;
                wordStart = wordLast = i;
                number.clear();
            } else if (wordOpen && numberChar) {
                number += c;
                wordLast = i;
            } else if (wordOpen) {
                closeWord();
            }
            afterLetter = isLetter(c);
        }
        if (c == b.commright)
            inComment = false;
    }
    if (wordOpen)
        closeWord();
    if (deletions.empty())
        return;
    std::string kept;
    kept.reserve(s.size());
    size_t from = 0;
    for (const Range &r : deletions) {
        kept.append(s, from, r.from - from);
        from = r.to + 1;
    }
    kept.append(s, from, std::string::npos);
    s = std::move(kept);
}

} // namespace morvilo
