// The layout pass of the editor core, the caret and the navigation primitives.

#include "editor/editorcore.h"

#include "editor/linebreaks.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace morvilo {

void TEditorCore::SetMetrics(int cellWidth, int cellHeight) {
    wid = std::max(cellWidth, 1);
    hei = std::max(cellHeight, 1);
}

void TEditorCore::SetClientSize(int width, int height) {
    clientWidth = std::max(width, 0);
    clientHeight = std::max(height, 0);
}

int64_t TEditorCore::Cell(int64_t row, int64_t column) const {
    if (row < 0 || column < 0 || row >= rph || column >= pw)
        return 0;
    return posses[size_t(row * pw + column)];
}

void TEditorCore::Paint() {
    layout();
    if (donotpaint)
        return;
    markpainted = curx != markx;
    view->Draw();
}

void TEditorCore::SilentLayout() {
    const bool old = donotpaint;
    donotpaint = true;
    Paint();
    donotpaint = old;
}

// The pixel origin, the visible and laid-out columns and the rows that fit, from the cell size
// and the client size.
void TEditorCore::gridMetrics() {
    sx = 30 * (leftbar0 ? 1 : 0) + 5;
    sy = 5;
    pwreal = (clientWidth - sx) / wid - 1;
    pw = wordwarp0 ? std::max<int64_t>(pwreal, 1) : 1024;
    rph = std::max((clientHeight - sy) / hei, 0);
}

// Lays out the 10240 bytes from posy into the grid: each byte takes a cell, a tab takes the
// cells up to the next multiple of 8, a row ends at a break or at the layout width. CR LF is
// one break: its LF takes the first cell of the new row, which the next character overwrites.
void TEditorCore::layout() {
    gridMetrics();
    ph = rph;
    posses.assign(size_t(pw * rph), 0);
    ReadBuf();

    px = py = 0;
    pxfound = false;
    prematureend = false;
    int64_t column = 0, row = 0;
    uint8_t previous = 0;
    for (int64_t j = 0; j < bufsiz; ++j) {
        const int64_t offset = posy + j;
        if (j >= bufreaded) { // past the end of the text: the caret after the last character
            if (curx >= offset) {
                px = column;
                py = row;
                pxfound = true;
            }
            break;
        }
        maxshowedpos = offset;
        if (int64_t(row) * hei + sy + hei > clientHeight)
            break;
        int64_t *cells = posses.data() + row * pw;
        cells[column] = offset + 1;
        if (offset == curx) {
            px = column;
            py = row;
            pxfound = true;
        }
        const uint8_t b = buf[j];
        int64_t next = column + 1;
        if (b == 9) {
            next = (column / 8 + 1) * 8;
            if (next <= pw)
                std::fill(cells + column, cells + next, offset + 1);
        }
        if (b == kLF && previous == kCR) {
            next = 0;
        } else if (next >= pw || b == kCR || b == kLF) {
            ++row;
            next = 0;
        }
        column = next;
        previous = b;
        if (j == bufsiz - 1)
            prematureend = true;
    }
    ph = row;
    if (!pxfound)
        py = row - 1;
}

void TEditorCore::checksize() {
    posy = std::clamp<int64_t>(posy, 0, size());
    curx = std::clamp<int64_t>(curx, 0, size());
    markx = std::clamp<int64_t>(markx, 0, size());
}

// Keeps the caret's column inside the visible columns. True when the view must be repainted:
// the caret stands at or left of the first visible column, or right of the last.
bool TEditorCore::adjustHorizontalScroll() {
    if (px < 0 || donotupdateposbeforepaint)
        return false;
    bool repaint = false;
    if (px - posx <= 0) {
        posx = px;
        repaint = true;
    }
    if (px - posx >= pwreal) {
        posx = px - pwreal;
        repaint = true;
    }
    return repaint;
}

// The caret in the shape of the mode (a cell wide when overwriting, thin when inserting), at
// its cell or out of sight.
void TEditorCore::createCaret() {
    view->ShowCaret(pxfound ? int(sx + (px - posx) * wid) : -100,
                    pxfound ? int(sy + py * hei) : -100, overwrite ? wid : 2, hei);
}

void TEditorCore::placeCaret() {
    if (pxfound)
        view->PlaceCaret(int(sx + (px - posx) * wid), int(sy + py * hei));
    else
        view->PlaceCaret(-100, -100);
}

void TEditorCore::UpdateCaretPos(bool newpaint, bool markupt, bool donotupdateposx) {
    if (!markupt && !insetpos) {
        markx = curx;
        if (markpainted)
            newpaint = true;
    }
    if (!donotupdateposx && adjustHorizontalScroll())
        newpaint = true;
    if (newpaint || markupt) {
        view->HideCaret();
        Paint();
        if (!donotupdateposx && px >= 0 && !donotupdateposbeforepaint) {
            // Both tests again with the new px, repainting after each change.
            if (px - posx <= 0 && posx != px) {
                posx = px;
                Paint();
            }
            if (px - posx >= pwreal) {
                posx = px - pwreal;
                Paint();
            }
        }
        createCaret();
    } else {
        SilentLayout();
        placeCaret();
    }
    const int vertical = size() > 0 ? int((__int128)posy * 65535 / size()) : 0;
    view->SetScrollPositions(posx, vertical);
    setStatus(CaretStatusText());
}

std::string TEditorCore::CaretStatusText() const {
    char hex[32];
    std::snprintf(hex, sizeof hex, "%04llX", static_cast<unsigned long long>(curx));
    // The line of the file, 1-based; counted a piece at a time in a file of gigabytes.
    constexpr int64_t kCountPerUpdate = 64 << 20;
    const std::optional<int64_t> fileLine = store->LinesBefore(curx, kCountPerUpdate);
    fileLinePending = !fileLine;
    return messages.GetTranslation(kMsgColumn) + " " + std::to_string(px) + "; " +
           messages.GetTranslation(kMsgRow) + " " + std::to_string(py) + "; " +
           messages.Translate("Zeile in Datei:") + " " +
           (fileLine ? std::to_string(*fileLine + 1) : std::string("…")) + "; " +
           messages.GetTranslation(kMsgOffset) + " " + std::to_string(curx) + "; " +
           messages.GetTranslation(kMsgHex) + " " + hex;
}

void TEditorCore::setStatus(const std::string &text) {
    statusText = text;
    view->SetStatusText(text);
}

bool TEditorCore::moveup() {
    bool scrolled = false;
    if (py > 0) {
        int64_t column = std::min(px, pw - 1);
        while (column > 0 && Cell(py - 1, column) == 0)
            --column;
        if (Cell(py - 1, column) != 0)
            curx = Cell(py - 1, column) - 1;
    } else if (posy > 0) {
        // Scroll one line: back from the old top over two breaks (a CR, or a byte followed
        // by LF); the new top row starts after the second.
        const int64_t old = posy;
        posy = std::max<int64_t>(0, old - pw);
        ReadBuf();
        const int64_t windowStart = posy;
        int breaks = 0;
        bool haveNext = false; // the byte after the one looked at (already visited)
        uint8_t next = 0;
        for (int64_t k = old - 1; k >= windowStart; --k) {
            const uint8_t b = buf[k - windowStart];
            const bool followedByLF = haveNext && next == kLF;
            if ((b == kCR || followedByLF) && ++breaks == 2) {
                posy = followedByLF ? k + 2 : k + 1; // after the LF when one follows
                break;
            }
            next = b;
            haveNext = true;
        }
        curx = posy;
        scrolled = true;
    }
    view->LineChanged();
    return scrolled;
}

bool TEditorCore::movedown() {
    const bool scrolled = CheckIfMustScrollDown();
    const int64_t remembered = curx;
    if (py < ph) {
        int64_t row = py + 1;
        int64_t column = std::min(px, pw - 1);
        while (row >= 0 && Cell(row, column) == 0) {
            if (--column < 0) { // on to the end of the row above
                --row;
                column = pw - 1;
            }
        }
        if (row >= 0)
            curx = std::max(Cell(row, column) - 1, remembered);
    }
    view->LineChanged();
    return scrolled;
}

int64_t TEditorCore::lastCellOfRow(int64_t row) const {
    int64_t column = 0;
    while (column + 1 < pw && Cell(row, column + 1) != 0)
        ++column;
    return Cell(row, column);
}

bool TEditorCore::goleft() {
    if (px >= 1 && Cell(py, px - 1) != 0) {
        curx = Cell(py, px - 1) - 1;
        return false;
    }
    if (curx <= 0)
        return false;
    px = pw - 1;
    moveup();
    SilentLayout();
    if (lastCellOfRow(py) != 0)
        curx = lastCellOfRow(py) - 1; // onto the previous row's break character
    return true;
}

bool TEditorCore::goright() {
    if (curx >= size()) {
        curx = size() + 1;
        return false;
    }
    if (curx == size() - 1) {
        curx = size();
        return false;
    }
    const int64_t own = Cell(py, px);
    for (int64_t column = px + 1;; ++column) {
        // From the last column on, the first cell of the next row continues a full row.
        const int64_t cell = column < pw ? Cell(py, column) : Cell(py + 1, 0);
        if (cell == 0)
            break;
        if (cell != own) {
            curx = cell - 1;
            return false;
        }
        if (column >= pw)
            break;
    }
    // The row has no further character: on to the first character of the next row.
    px = 0;
    const int64_t old = curx;
    if (Cell(py, 0) != 0)
        curx = Cell(py, 0) - 1;
    movedown();
    if (curx <= old)
        curx = old + 1;
    return true;
}

bool TEditorCore::CheckIfMustScrollDown() {
    bool scrolled = false;
    for (;;) {
        const int64_t limit = prematureend ? ph - 1 : rph - 1;
        const int64_t second = Cell(1, 0);
        if (py < limit || second == 0 || second - 1 <= posy)
            break; // done, or the view cannot move further (too small to scroll)
        posy = second - 1;
        SilentLayout();
        scrolled = true;
    }
    return scrolled;
}

// The start of the screen row that holds the byte at pos, as a layout from the start of its line
// places it. The line's start is looked for at most one display window back and the columns are
// counted from there; a line that began further back is taken up at pos itself, since rows that
// start inside a line are ordinary rows. So the work stays within one window, however long the
// lines and the text are.
int64_t TEditorCore::rowStartOf(int64_t pos) {
    pos = std::clamp<int64_t>(pos, 0, size());
    // The LF of a CR LF sits at the start of the row after the CR, in the cell of the byte that
    // follows it: a view starting at the LF would show it as an empty row of its own.
    if (pos > 0 && ByteAt(pos) == kLF && ByteAt(pos - 1) == kCR)
        --pos;
    const int64_t from = std::max<int64_t>(0, pos - bufsiz);
    std::vector<uint8_t> before(size_t(pos - from));
    store->CopyOut(from, pos - from, before.data());
    // A line ends at LF or at a CR not followed by LF (the byte after the window is pos's own).
    int64_t lineStart = -1;
    for (int64_t k = pos - 1; k >= from && lineStart < 0; --k) {
        const uint8_t b = before[size_t(k - from)];
        const uint8_t after = k + 1 < pos ? before[size_t(k + 1 - from)] : ByteAt(pos);
        if (b == kLF || (b == kCR && after != kLF))
            lineStart = k + 1;
    }
    if (lineStart < 0 && from > 0)
        return pos;
    // The line's rows, as the layout pass fills them: a tab reaches the next multiple of 8, a
    // row ends when the next column reaches the layout width.
    int64_t rowStart = std::max<int64_t>(lineStart, 0), column = 0;
    for (int64_t k = rowStart; k < pos; ++k) {
        column = before[size_t(k - from)] == 9 ? (column / 8 + 1) * 8 : column + 1;
        if (column >= pw) {
            rowStart = k + 1;
            column = 0;
        }
    }
    return rowStart;
}

// Realigns the view to start at the row that holds posy (where the caller put what it shows: a
// match, a replacement, a jump's offset). The end of the text starts no view of its own: the
// view starts at the row of the last byte and shows the end below it. When the caret is out of
// view even so (a selection taller than the view), the view starts at the caret's row instead.
void TEditorCore::ShowCompleteLine() {
    gridMetrics();
    posy = rowStartOf(posy >= size() ? size() - 1 : posy);
    SilentLayout();
    if (!pxfound && curx >= 0 && curx <= size()) {
        posy = rowStartOf(curx);
        SilentLayout();
    }
}

void TEditorCore::MoveToTheEnd(bool inmarkall, bool shift) {
    posy = std::max<int64_t>(0, size() - 1 - 2 * pw);
    curx = size();
    SilentLayout();
    posy = Cell(1, 0) != 0 ? std::min(Cell(1, 0) - 1, size()) : 0;
    SilentLayout();
    if (!shift && !inmarkall)
        markx = curx;
    movedown();
    SilentLayout();
    curx = size();
}

void TEditorCore::SelectAll() {
    posy = curx = markx = marky = 0;
    MoveToTheEnd(true);
    UpdateCaretPos(true, true, false);
}

void TEditorCore::ScrollUp() {
    const int64_t remembered = curx;
    curx = posy;
    SilentLayout();
    moveup();
    curx = remembered;
    checksize();
    UpdateCaretPos(true, true, false);
}

void TEditorCore::ScrollDown() {
    if (Cell(1, 0) != 0)
        posy = Cell(1, 0) - 1;
    UpdateCaretPos(true, true, false);
}

bool TEditorCore::IsWordByte(uint8_t b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9');
}

} // namespace morvilo
