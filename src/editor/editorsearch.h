#pragma once
// Search, replace and jumps of the editor: what the search dialogs hand to the core, the search
// text as byte values, and the forward scan through the text store.
//
// The scan streams through the store in windows of TEditorCore::bufsiz bytes and keeps the last
// bytes of a window for the next one, so a match that straddles two windows is found and the
// text is never loaded as a whole. Each window is scanned for its first and last byte of the
// search text at once (16 positions per step), and only the positions where both fit are
// compared in full.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace morvilo {

class TEditorCore;
class TMemory;
class TProgressTicker;

// A search text: one value per byte, the byte itself for 1 .. 255 and 256 for a 0 byte, so that
// a 0 byte cannot be taken for an end marker.
using TSearchText = std::vector<uint16_t>;

// The settings of the search dialog.
struct TSearchSettings {
    std::string text; // bytes in the document's code page, or hexadecimal digits with hex
    bool hex = false;
    bool caseSensitive = false;
    // Start this one search at the beginning of the text; the search switches it off.
    bool startAtBeginning = false;
};

// The settings of the search-and-replace dialog.
struct TReplaceSettings : TSearchSettings {
    std::string replacement; // converted like text
    bool replaceAll = false;
};

// The search text of typed: its bytes, or with hex its pairs of hexadecimal digits (high digit
// first; a single digit left at the end is dropped). A character that is no hexadecimal digit
// is passed to badHexChar and counts as the digit 0.
TSearchText SearchTextOf(std::string_view typed, bool hex,
                         const std::function<void(uint8_t)> &badHexChar);

// The value of a hexadecimal digit; -1 for any other character.
int HexDigitValue(uint8_t c);

// A search text prepared for scanning. Without case distinction the letters a .. z and A .. Z
// match each other and nothing else is folded.
class TSearchPattern {
public:
    TSearchPattern(const TSearchText &text, bool caseSensitive);

    size_t size() const { return value.size(); }
    // Where the first complete match in data[0 .. n) starts; n when there is none.
    size_t FindIn(const uint8_t *data, size_t n) const;
    // The first match starting at or after from in the store; -1 when there is none,
    // kCancelled when progress (told the offsets scanned) asked to stop.
    int64_t FindForward(TMemory &store, int64_t from, TProgressTicker *progress = nullptr) const;
    static constexpr int64_t kCancelled = -2;

private:
    bool matchesAt(const uint8_t *p) const;

    // A byte b fits position i when (b | fold[i]) == value[i]: fold is 0x20 for a letter
    // without case distinction (value is then the lower-case letter) and 0 otherwise.
    std::vector<uint8_t> value;
    std::vector<uint8_t> fold;
    bool exact = true; // no position folds: whole comparisons with memcmp
};

// Selects line n (counted from 1) of the editor's text: with fromNBlocks the first line holding
// the block number N n (leading zeros allowed, no further digit after it; spaces and comments
// are not looked at), otherwise, or when no line holds it, line n of the editor. False, and
// nothing selected, when there is no such line or the core's progress hook asked to stop
// (core.Cancelled() tells which).
bool ZeilennummerSpringen(TEditorCore &core, int64_t n, bool fromNBlocks);

} // namespace morvilo
