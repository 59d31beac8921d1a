// The document operations and the line reader of the editor core.

#include "editor/editorcore.h"

#include "editor/linebreaks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace morvilo {

namespace {

// The line reader walks the text in windows of this size (a multiple of the display window:
// results are the same, long documents stream faster).
constexpr int64_t kLineWindowBytes = 1024 * 1024;

// Why a FIFO, a device or a socket given as a document is refused.
const char *const kNotARegularFile = "Das ist keine gewöhnliche Datei";

// Appends the bytes of a line to text, leaving out 0 bytes (they take no part in a line's text).
void appendLineBytes(std::string &text, const uint8_t *from, const uint8_t *to) {
    while (from < to) {
        const uint8_t *zero = static_cast<const uint8_t *>(std::memchr(from, 0, size_t(to - from)));
        const uint8_t *stop = zero ? zero : to;
        text.append(reinterpret_cast<const char *>(from), size_t(stop - from));
        from = zero ? SkipZeros(zero, to) : to;
    }
}

} // namespace

TEditorCore::TEditorCore(EditorView *view)
    : view(view ? view : &defaultView), store(std::make_unique<TMemory>(0, true)) {
    posses.assign(size_t(pw * ph), 0);
}

TEditorCore::~TEditorCore() {
    closeFile();
}

void TEditorCore::closeFile() {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

uint8_t TEditorCore::ByteAt(int64_t pos) const {
    uint8_t b = 0;
    if (pos >= 0 && pos < size())
        store->CopyOut(pos, 1, &b);
    return b;
}

// ---- document -----------------------------------------------------------------------------

void TEditorCore::NewItNow() {
    // The new store goes in before the old file closes: the old store reads from it.
    store = std::make_unique<TMemory>(0, true);
    closeFile();
    lineWindow.clear();
    if (donotclearundo)
        return;
    curx = cury = posy = posx = markx = marky = 0;
    ClearUndo();
    UpdateCaretPos(true, false, false);
}

bool TEditorCore::OpenFileWithName(const std::string &sfn) {
    openFailure.clear();
    if (sfn.empty()) {
        openFailure = messages.SystemError(ENOENT);
        return false;
    }
    // Opened without blocking, so that a FIFO or device given as a document cannot hang the
    // editor; anything but a regular file is refused. The file is opened before the document
    // is let go: a file that cannot be opened leaves the text, its name and its undo list as
    // they were.
    int file = ::open(sfn.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat st {};
    const int error = file < 0 || ::fstat(file, &st) != 0 ? errno : 0;
    if (error != 0 || !S_ISREG(st.st_mode)) {
        if (file >= 0)
            ::close(file);
        const std::string reason = error != 0            ? messages.SystemError(error)
                                   : S_ISDIR(st.st_mode) ? messages.SystemError(EISDIR)
                                                         : messages.Translate(kNotARegularFile);
        openFailure = reason;
        view->ShowError(messages.FileMessage(kMsgCannotOpen, sfn, reason));
        return false;
    }
    ::fcntl(file, F_SETFL, ::fcntl(file, F_GETFL) & ~O_NONBLOCK);
    afilename = sfn;
    NewItNow();
    store = std::make_unique<TMemory>(int64_t(st.st_size), false, file);
    store->SetShrinkHandler([this](const std::string &message) { view->FileShortened(message); });
    lineWindow.clear();
    fd = file;
    Paint();
    SetUnChanged();
    view->Changed();
    return true;
}

void TEditorCore::FileNew() {
    afilename.clear();
    NewItNow();
    SetUnChanged();
    view->Changed();
}

void TEditorCore::ReadBuf() {
    const int64_t available = size() - posy;
    bufreaded = posy + bufsiz > size() ? std::max<int64_t>(available, 0) : bufsiz;
    if (available > 0)
        store->CopyOut(posy, std::min(bufsiz, available), buf);
}

// ---- line reader --------------------------------------------------------------------------

void TEditorCore::FirstLine() {
    lpos = 0;
    olpos = 0;
    line.clear();
    alinenr = -1;
}

bool TEditorCore::lineWindowHolds(int64_t pos) const {
    return lineWindowStore == store.get() && lineWindowGeneration == store->Generation() &&
           pos >= lineWindowStart && pos >= lineWindowValidFrom && pos < lineWindowEnd();
}

bool TEditorCore::loadLineWindow(int64_t pos) {
    if (lineWindowHolds(pos))
        return true;
    if (pos < 0 || pos >= size())
        return false;
    lineWindow.resize(size_t(std::min(kLineWindowBytes, size() - pos)));
    lineWindow.resize(size_t(store->CopyOut(pos, int64_t(lineWindow.size()), lineWindow.data())));
    lineWindowStart = pos;
    lineWindowValidFrom = pos;
    lineWindowStore = store.get();
    lineWindowGeneration = store->Generation();
    return !lineWindow.empty();
}

uint8_t TEditorCore::byteAfterBreak(int64_t pos) {
    if (lineWindowHolds(pos))
        return lineWindow[size_t(pos - lineWindowStart)];
    return ByteAt(pos);
}

int64_t TEditorCore::breakEnd(int64_t pos) {
    const bool crlf =
        byteAfterBreak(pos) == kCR && pos + 1 < size() && byteAfterBreak(pos + 1) == kLF;
    return pos + (crlf ? 2 : 1);
}

bool TEditorCore::NextLine() {
    const int64_t total = size();
    if (lpos >= total)
        return false;
    const int64_t start = lpos;
    line.clear();
    int64_t pos = start;
    for (;;) {
        if (!loadLineWindow(pos)) { // the text ends without a break
            lpos = total;
            break;
        }
        const uint8_t *base = lineWindow.data() - lineWindowStart;
        const uint8_t *end = lineWindow.data() + lineWindow.size();
        const uint8_t *from = base + pos;
        const uint8_t *hit = FindLineBreakOrZero(from, end);
        line.append(reinterpret_cast<const char *>(from), size_t(hit - from));
        pos = hit - base;
        if (hit == end)
            continue;    // the line goes on in the next window
        if (*hit == 0) { // 0 bytes take no part in the line's text
            pos = SkipZeros(hit, end) - base;
            continue;
        }
        // CR LF is one break; a bare CR or LF is one break of its own.
        bool crlf = false;
        if (*hit == kCR && pos + 1 < total)
            crlf = (hit + 1 < end ? hit[1] : ByteAt(pos + 1)) == kLF;
        lpos = pos + (crlf ? 2 : 1);
        break;
    }
    olpos = start;
    ++alinenr;
    return true;
}

int64_t TEditorCore::skipLines(int64_t pos, int64_t count, TProgressTicker &progress) {
    const int64_t total = size();
    while (count > 0 && pos < total && progress.Report(pos) && loadLineWindow(pos)) {
        const uint8_t *base = lineWindow.data() - lineWindowStart;
        const uint8_t *end = lineWindow.data() + lineWindow.size();
        const uint8_t *p = base + pos;
        while (count > 0) {
            const uint8_t *brk = FindLineBreak(p, end);
            if (brk == end) {
                p = end;
                break;
            }
            if (*brk == kLF)
                p = brk + 1;
            else if (brk + 1 < end)
                p = brk + (brk[1] == kLF ? 2 : 1);
            else // a CR at the window's end: the next byte decides
                p = base + breakEnd(brk - base);
            --count;
            if (p >= end)
                break; // the next line starts in the next window
        }
        pos = std::min<int64_t>(p - base, total);
    }
    return count == 0 ? pos : total;
}

bool TEditorCore::PrevLine() {
    if (olpos <= 0)
        return false;
    const int64_t lineEnd = olpos; // where the line before ends, its break included
    // The previous line's own break: CR LF, or a single CR or LF.
    int64_t textEnd = lineEnd - 1;
    if (ByteAt(textEnd) == kLF && textEnd > 0 && ByteAt(textEnd - 1) == kCR)
        --textEnd;
    else if (!IsLineBreakByte(ByteAt(textEnd)))
        textEnd = lineEnd; // no break before olpos: the line runs up to it
    // Scan back for the break that ends the line before that one.
    int64_t start = 0;
    std::vector<uint8_t> window;
    // Windows grow from a few KiB, so that short lines cost little and long ones stream.
    for (int64_t scanEnd = textEnd, step = 4096; scanEnd > 0;
         step = std::min(2 * step, kLineWindowBytes)) {
        const int64_t from = std::max<int64_t>(0, scanEnd - step);
        window.resize(size_t(scanEnd - from));
        store->CopyOut(from, int64_t(window.size()), window.data());
        const void *lf = ::memrchr(window.data(), kLF, window.size());
        const void *cr = ::memrchr(window.data(), kCR, window.size());
        const void *hit = std::max(lf, cr, std::less<const void *>());
        if (hit != nullptr) {
            start = from + (static_cast<const uint8_t *>(hit) - window.data()) + 1;
            break;
        }
        scanEnd = from;
    }
    line.clear();
    for (int64_t pos = start; pos < textEnd; pos += kLineWindowBytes) {
        window.resize(size_t(std::min(kLineWindowBytes, textEnd - pos)));
        store->CopyOut(pos, int64_t(window.size()), window.data());
        appendLineBytes(line, window.data(), window.data() + window.size());
    }
    lpos = lineEnd;
    olpos = start;
    --alinenr;
    return true;
}

bool TEditorCore::GetLinenr(int64_t nr) {
    cancelled = false;
    FirstLine();
    if (nr < 0)
        return false;
    // Skip to the start of line nr by counting breaks, without building the lines' texts.
    TProgressTicker skipping(progress, size());
    const int64_t start = skipLines(0, nr, skipping);
    if (skipping.Cancelled()) {
        cancelled = true;
        return false;
    }
    if (start < size()) {
        lpos = start;
        alinenr = nr - 1;
        return NextLine();
    }
    // Fewer lines: the reader ends past the end, as reading them all would.
    TProgressTicker reading(progress, size());
    while (NextLine()) {
        if (!reading.Report(lpos)) {
            cancelled = true;
            return false;
        }
    }
    return false;
}

} // namespace morvilo
