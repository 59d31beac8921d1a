// Search, replace and jumps of the editor core.

#include "editor/editorsearch.h"

#include "editor/editorcore.h"
#include "editor/editorprogress.h"
#include "linetext/linetext.h"
#include "vantrel/codepage.h"
#include "vantrel/numberparse.h"

#include <algorithm>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvilo {

namespace {

constexpr uint16_t kZeroByteValue = 256;

uint8_t byteOf(uint16_t value) {
    return value == kZeroByteValue ? 0 : uint8_t(value);
}

bool isLetter(uint8_t b) {
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}

// A byte of the document's code page as UTF-8, for a message.
std::string characterText(uint8_t b) {
    const char16_t c = Windows1252ToUnicode(b);
    std::string text;
    if (c < 0x80) {
        text += char(c);
    } else if (c < 0x800) {
        text += char(0xC0 | (c >> 6));
        text += char(0x80 | (c & 0x3F));
    } else {
        text += char(0xE0 | (c >> 12));
        text += char(0x80 | ((c >> 6) & 0x3F));
        text += char(0x80 | (c & 0x3F));
    }
    return text;
}

// Ungültiges Zeichen für den HEX-Modus: "G" (0-9; A-F sind erlaubt)
std::string badHexCharMessage(const EditorMessages &messages, uint8_t c) {
    return messages.GetTranslation(kMsgBadHexChar) + " \"" + characterText(c) + "\" (" +
           messages.GetTranslation(kMsgHexAllowed) + ")";
}

enum class Match { EmptyText, NotFound, Found, Cancelled };

// Caret, selection and view, and the settings' start at the beginning, as they were before a
// search that was then cancelled.
struct SearchStart {
    int64_t posy, posx, curx, cury, markx, marky;
    bool startAtBeginning;

    SearchStart(const TEditorCore &core, const TSearchSettings &settings)
        : posy(core.posy), posx(core.posx), curx(core.curx), cury(core.cury), markx(core.markx),
          marky(core.marky), startAtBeginning(settings.startAtBeginning) {}

    void Restore(TEditorCore &core, TSearchSettings &settings) const {
        settings.startAtBeginning = startAtBeginning;
        if (core.posy == posy && core.posx == posx && core.curx == curx && core.cury == cury &&
            core.markx == markx && core.marky == marky)
            return;
        core.posy = posy;
        core.posx = posx;
        core.curx = curx;
        core.cury = cury;
        core.markx = markx;
        core.marky = marky;
        core.UpdateCaretPos(true, true, false);
    }
};

// The matching shared by search and replace: the one-time start at the beginning, then the
// first match from the caret on, selected with the caret behind it and starting the view.
// progress hears of the offsets scanned.
Match selectNextMatch(TEditorCore &core, const TSearchText &text, TSearchSettings &settings,
                      TProgressTicker &progress) {
    if (settings.startAtBeginning) {
        settings.startAtBeginning = false;
        core.curx = core.cury = core.posy = core.markx = core.marky = 0;
        core.UpdateCaretPos(true, false, false);
    }
    if (text.empty())
        return Match::EmptyText;
    const TSearchPattern pattern(text, settings.caseSensitive);
    const int64_t start =
        pattern.FindForward(core.mem(), std::clamp<int64_t>(core.curx, 0, core.size()), &progress);
    if (start == TSearchPattern::kCancelled)
        return Match::Cancelled;
    if (start < 0)
        return Match::NotFound;
    core.markx = core.posy = start;
    core.cury = core.marky = 0;
    core.curx = start + int64_t(text.size());
    return Match::Found;
}

// Brings the selection into view with the view starting at the row that holds the caret.
void showSelection(TEditorCore &core) {
    core.UpdateCaretPos(true, true, false);
    core.ShowCompleteLine();
    core.UpdateCaretPos(true, true, false);
}

// Replaces the selected match. The replacement is typed byte by byte: it becomes one insertion
// record, and in overwrite mode it overwrites the bytes after the match, as typing would. The
// replacement ends up selected and starting the view.
void replaceSelection(TEditorCore &core, const TSearchText &replacement) {
    if (!core.inupdate)
        core.UpdateCaretPos(true, true, false);
    core.deleteRange();
    for (const uint16_t v : replacement) {
        core.insertchar(byteOf(v));
        ++core.curx;
    }
    core.cury = core.marky = 0;
    core.posy = core.markx = core.curx - int64_t(replacement.size());
    if (!core.inupdate)
        showSelection(core);
}

// The value of a hexadecimal digit; any other character is passed to badHexChar and counts
// as 0.
int hexDigitOrZero(char ch, const std::function<void(uint8_t)> &badHexChar) {
    const int digit = HexDigitValue(uint8_t(ch));
    if (digit >= 0)
        return digit;
    badHexChar(uint8_t(ch));
    return 0;
}

// The value of hexadecimal text, digit after digit; bad characters count as 0. Values beyond
// the 64-bit range saturate.
int64_t hexNumber(std::string_view text, const std::function<void(uint8_t)> &badHexChar) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    for (const char ch : text) {
        const int digit = hexDigitOrZero(ch, badHexChar);
        value = value > (kMax - digit) / 16 ? kMax : value * 16 + digit;
    }
    return value;
}

} // namespace

// ---- search text --------------------------------------------------------------------------

int HexDigitValue(uint8_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

TSearchText SearchTextOf(std::string_view typed, bool hex,
                         const std::function<void(uint8_t)> &badHexChar) {
    TSearchText text;
    if (!hex) {
        for (const char ch : typed)
            text.push_back(ch == 0 ? kZeroByteValue : uint8_t(ch));
        return text;
    }
    int high = -1;
    for (const char ch : typed) {
        const int digit = hexDigitOrZero(ch, badHexChar);
        if (high < 0) {
            high = digit;
            continue;
        }
        const uint8_t b = uint8_t(high * 16 + digit);
        text.push_back(b == 0 ? kZeroByteValue : b);
        high = -1;
    }
    return text;
}

// ---- scanning -----------------------------------------------------------------------------

TSearchPattern::TSearchPattern(const TSearchText &text, bool caseSensitive) {
    value.reserve(text.size());
    fold.reserve(text.size());
    for (const uint16_t v : text) {
        const uint8_t b = byteOf(v);
        const bool folds = !caseSensitive && isLetter(b);
        value.push_back(folds ? uint8_t(b | 0x20) : b);
        fold.push_back(folds ? 0x20 : 0);
        exact = exact && !folds;
    }
}

bool TSearchPattern::matchesAt(const uint8_t *p) const {
    if (exact)
        return std::memcmp(p, value.data(), value.size()) == 0;
    for (size_t i = 0; i < value.size(); ++i)
        if ((p[i] | fold[i]) != value[i])
            return false;
    return true;
}

size_t TSearchPattern::FindIn(const uint8_t *data, size_t n) const {
    const size_t m = value.size();
    if (m == 0 || n < m)
        return n;
    const size_t last = m - 1;
    const size_t starts = n - last; // positions where a match could start
    size_t i = 0;
#if defined(__SSE2__)
    // 16 candidate starts per step: their first bytes and their last bytes against the search
    // text's first and last byte.
    const __m128i firstValue = _mm_set1_epi8(char(value[0]));
    const __m128i firstFold = _mm_set1_epi8(char(fold[0]));
    const __m128i lastValue = _mm_set1_epi8(char(value[last]));
    const __m128i lastFold = _mm_set1_epi8(char(fold[last]));
    for (; i + 16 <= starts; i += 16) {
        const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i + last));
        unsigned mask = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(heads, firstFold), firstValue),
                          _mm_cmpeq_epi8(_mm_or_si128(tails, lastFold), lastValue))));
        while (mask != 0) {
            const size_t at = i + size_t(__builtin_ctz(mask));
            if (matchesAt(data + at))
                return at;
            mask &= mask - 1;
        }
    }
#endif
    for (; i < starts; ++i)
        if ((data[i] | fold[0]) == value[0] && matchesAt(data + i))
            return i;
    return n;
}

int64_t TSearchPattern::FindForward(TMemory &store, int64_t from, TProgressTicker *progress) const {
    const size_t m = value.size();
    if (m == 0 || from < 0)
        return -1;
    // The window holds the last m - 1 bytes of the previous one, then the next bufsiz bytes.
    std::vector<uint8_t> window(m - 1 + size_t(TEditorCore::bufsiz));
    size_t carried = 0;
    int64_t windowStart = from; // the offset of window[0]
    for (;;) {
        const int64_t got = store.CopyOut(windowStart + int64_t(carried), TEditorCore::bufsiz,
                                          window.data() + carried);
        const size_t filled = carried + size_t(got);
        const size_t hit = FindIn(window.data(), filled);
        if (hit < filled)
            return windowStart + int64_t(hit);
        if (got < TEditorCore::bufsiz)
            return -1;
        carried = std::min(m - 1, filled);
        std::memmove(window.data(), window.data() + filled - carried, carried);
        windowStart += int64_t(filled - carried);
        if (progress && !progress->Report(windowStart))
            return kCancelled;
    }
}

// ---- commands -----------------------------------------------------------------------------

bool TEditorCore::Weitersuchen(TSearchSettings &settings) {
    const auto badHexChar = [this](uint8_t c) { view->ShowError(badHexCharMessage(messages, c)); };
    const TSearchText text = SearchTextOf(settings.text, settings.hex, badHexChar);
    cancelled = false;
    const SearchStart before(*this, settings);
    TProgressTicker ticker(progress, size());
    switch (selectNextMatch(*this, text, settings, ticker)) {
    case Match::EmptyText:
        return false;
    case Match::Cancelled: // the user stopped it: nothing to tell
        cancelled = true;
        before.Restore(*this, settings);
        return false;
    case Match::NotFound:
        view->ShowCaptionedError(messages.GetTranslation(kMsgNotFound),
                                 messages.GetTranslation(kMsgSearchCaption));
        return false;
    case Match::Found:
        break;
    }
    showSelection(*this);
    return true;
}

bool TEditorCore::WeiterSuchenundErsetzen(TReplaceSettings &settings) {
    const auto badHexChar = [this](uint8_t c) { view->ShowError(badHexCharMessage(messages, c)); };
    const TSearchText text = SearchTextOf(settings.text, settings.hex, badHexChar);
    const TSearchText replacement = SearchTextOf(settings.replacement, settings.hex, badHexChar);
    const bool all = settings.replaceAll;
    bool found = false;
    Match match = Match::NotFound;
    cancelled = false;
    const SearchStart before(*this, settings);
    TProgressTicker ticker(progress, size());
    // However the loop ends (a failed read of the document's file included), the update ends:
    // after replacements as EndUpdate does; without any, the text keeps its state, caret,
    // selection and view.
    const auto endUpdate = [&] {
        if (all && found) {
            EndUpdate();
        } else if (all) {
            inupdate = false;
            EndUndoGroup();
        }
    };
    if (all)
        BeginUpdate(); // one undo group, no repaint until the end
    try {
        do {
            match = selectNextMatch(*this, text, settings, ticker);
            if (match == Match::Found) {
                found = true;
                replaceSelection(*this, replacement);
            }
        } while (all && match == Match::Found);
    } catch (...) {
        endUpdate();
        throw;
    }
    endUpdate();
    if (match == Match::Cancelled) {
        // Replacements made before stay (one undo group); without any, nothing moved.
        cancelled = true;
        if (!found)
            before.Restore(*this, settings);
        return found;
    }
    if (match == Match::NotFound && !found)
        view->ShowCaptionedError(messages.GetTranslation(kMsgNotFound),
                                 messages.GetTranslation(kMsgSearchCaption));
    return found;
}

bool TEditorCore::AnPositionspringen(const std::string &text, bool hex) {
    int64_t position = 0;
    if (hex) {
        position =
            hexNumber(text, [this](uint8_t c) { view->ShowError(badHexCharMessage(messages, c)); });
    } else if (!ParseInteger(text, position)) {
        view->ShowError(messages.GetTranslation(kMsgBadPosition));
        return false;
    }
    posy = curx = std::clamp<int64_t>(position, 0, size());
    cury = 0;
    SilentLayout();
    UpdateCaretPos(true, false, false);
    ShowCompleteLine();
    UpdateCaretPos(true, false, false);
    return true;
}

// ---- jump to a line number ----------------------------------------------------------------

bool ZeilennummerSpringen(TEditorCore &core, int64_t n, bool fromNBlocks) {
    core.cancelled = false;
    if (n < 0)
        return false;
    bool found = false;
    if (fromNBlocks) {
        const std::string number = std::to_string(n);
        // Each line's text is built and looked at: reports come more often than when streaming.
        TProgressTicker ticker(core.progress, core.size(), kProgressStep / 16);
        core.FirstLine();
        while (!found && core.NextLine()) {
            found = poss0s(nospacesandcomments(core.line), "N", number) > 0;
            if (!found && !ticker.Report(core.lpos)) {
                core.cancelled = true;
                return false;
            }
        }
    }
    if (!found)
        found = core.GetLinenr(n - 1);
    if (found)
        core.MarkLine();
    return found;
}

} // namespace morvilo
