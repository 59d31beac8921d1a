// Pointer input of the editor core: the hit test on the layout grid, selection by dragging,
// word selection, the wheel and the scroll bars. Scrolling never moves the caret.

#include "editor/editorcore.h"

#include <algorithm>

namespace morvilo {

bool TEditorCore::MakeMausClick(int mx, int my, bool markupt, bool update) {
    const int64_t x = mx + posx * wid;
    // The last row whose band holds the point and the last column boundary left of it win:
    // the caret goes to the character boundary nearest to the point.
    int64_t row = -1;
    for (int64_t r = 0; r < rph; ++r) {
        const int64_t top = r * hei + sy;
        if ((top <= my || (r == 0 && my <= sy)) && my <= top + hei && my < clientHeight - 1)
            row = r;
    }
    bool found = false;
    if (row >= 0) {
        int64_t column = -1;
        for (int64_t j = 0; j < pw; ++j)
            if (j * wid + sx - wid / 2 < x || (j == 0 && x <= sx))
                column = j;
        if (column >= 0) {
            px = column;
            int64_t r = row, c = column;
            while (r >= 0 && Cell(r, c) == 0) { // left, on into the rows above
                if (--c < 0) {
                    --r;
                    c = pw - 1;
                }
            }
            if (r >= 0) {
                curx = Cell(r, c) - 1;
                const bool rightOfIt = r != row || c < column;
                if (curx == size() - 1 && rightOfIt)
                    curx = size();
                curx = std::min(curx, size());
            } else {
                curx = 0; // an empty document has no cell to find
            }
            found = true;
        }
    }
    if (found && update)
        UpdateCaretPos(false, markupt, false);
    view->LineChanged();
    return found;
}

void TEditorCore::MouseDown(int x, int y, bool shift) {
    const int64_t oldCurx = curx, oldMarkx = markx;
    MakeMausClick(x, y, shift, false);
    const int64_t from = std::min(oldCurx, oldMarkx), to = std::max(oldCurx, oldMarkx);
    if (oldCurx != oldMarkx && curx > from && curx < to) {
        // A press inside the selection starts dragging it; the anchor stays.
        markx = oldMarkx;
        dragx = curx;
        curx = oldCurx;
        indraganddrop = true;
    } else {
        UpdateCaretPos(true, shift, false);
    }
    insetpos = true;
}

void TEditorCore::MouseMove(int x, int y) {
    lastMouseX = x;
    lastMouseY = y;
    haveLastMouse = true;
    if (indraganddrop) {
        const int64_t keepCurx = curx, keepPx = px;
        if (MakeMausClick(x, y, true, false))
            dragx = curx;
        curx = keepCurx;
        px = keepPx;
    } else if (insetpos) {
        MakeMausClick(x, y, true, true);
    }
    if (insetpos || indraganddrop)
        autoScroll(x, y);
}

// While selecting or dragging, a pointer near an edge scrolls that way.
void TEditorCore::autoScroll(int x, int y) {
    if (y >= clientHeight - 5)
        ScrollDown();
    else if (y <= 5)
        ScrollUp();
    if (x >= clientWidth - 5 && posx < pw - 1) {
        ++posx;
        UpdateCaretPos(true, true, true);
    } else if (x <= 5 && posx > 0) {
        --posx;
        UpdateCaretPos(true, true, true);
    }
}

void TEditorCore::MouseUp(int x, int y, bool ctrl) {
    if (indraganddrop) {
        indraganddrop = false;
        const int64_t from = std::min(curx, markx), to = std::max(curx, markx);
        if (dragx >= from && dragx <= to) { // dropped inside the selection: place the caret
            insetpos = false;
            MakeMausClick(x, y, false, false);
            UpdateCaretPos(true, false, false);
        } else {
            view->DropSelection(dragx, ctrl);
        }
    }
    insetpos = false;
}

void TEditorCore::DoubleClick(int x, int y, bool shift) {
    MakeMausClick(x, y, shift, true);
    markx = curx;
    while (curx > 0 && IsWordByte(ByteAt(curx - 1)))
        --curx;
    while (markx < size() && IsWordByte(ByteAt(markx)))
        ++markx;
    UpdateCaretPos(true, true, false);
}

void TEditorCore::Wheel(int delta) {
    scrolldelta += delta;
    auto replay = [&] {
        if (insetpos && haveLastMouse)
            MouseMove(lastMouseX, lastMouseY);
    };
    while (scrolldelta > 30) {
        ScrollUp();
        scrolldelta -= 30;
        replay();
    }
    while (scrolldelta < -30) {
        ScrollDown();
        scrolldelta += 30;
        replay();
    }
}

void TEditorCore::HorizontalScroll(ScrollAction action, int64_t position) {
    const int64_t last = std::max<int64_t>(pw - 1, 0);
    switch (action) {
    case ScrollAction::LineBack:
        posx -= 1;
        break;
    case ScrollAction::LineForward:
        posx += 1;
        break;
    case ScrollAction::PageBack:
        posx -= 8;
        break;
    case ScrollAction::PageForward:
        posx += 8;
        break;
    case ScrollAction::Thumb:
        posx = position;
        break;
    case ScrollAction::ToStart:
        posx = 0;
        break;
    case ScrollAction::ToEnd:
        posx = last;
        break;
    }
    posx = std::clamp<int64_t>(posx, 0, last);
    UpdateCaretPos(true, true, true);
}

void TEditorCore::VerticalScroll(ScrollAction action, int64_t position) {
    switch (action) {
    case ScrollAction::LineBack:
        ScrollUp();
        break;
    case ScrollAction::LineForward:
        ScrollDown();
        break;
    case ScrollAction::PageBack: {
        const int64_t remembered = curx;
        curx = posy;
        SilentLayout();
        for (int64_t i = 0; i < rph - 2; ++i) {
            moveup();
            SilentLayout();
        }
        curx = remembered;
        UpdateCaretPos(true, true, false);
        break;
    }
    case ScrollAction::PageForward:
        if (Cell(ph - 1, 0) != 0)
            posy = Cell(ph - 1, 0) - 1;
        UpdateCaretPos(true, true, false);
        break;
    case ScrollAction::Thumb:
        SetPosy(int64_t((__int128)size() * std::clamp<int64_t>(position, 0, 65535) / 65535));
        break;
    case ScrollAction::ToStart:
        SetPosy(0);
        break;
    case ScrollAction::ToEnd:
        SetPosy(size() - 1);
        break;
    }
}

void TEditorCore::SetPosy(int64_t newposy) {
    posy = std::max<int64_t>(0, std::min(newposy, size() - 1));
    const int64_t remembered = curx;
    curx = posy;
    SilentLayout();
    goleft(); // the caret in column 0: scrolls one line up, onto a row start
    curx = remembered;
    UpdateCaretPos(true, true, false);
}

} // namespace morvilo
