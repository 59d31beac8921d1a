// The keyboard table of the editor core: navigation keys as the user presses them. Shift
// passes its state on as markupt, so every movement with Shift extends the selection from
// the anchor.

#include "editor/editorcore.h"

#include <algorithm>

namespace morvilo {

namespace {

// Word-wise movement: repeats a step while the caret moves and stays next to word bytes.
template <typename Step, typename Continue>
void repeatWhileMoving(int64_t &curx, Step step, Continue more) {
    int64_t before = 0;
    do {
        before = curx;
        step();
    } while (curx != before && more());
}

} // namespace

void TEditorCore::KeyDown(EditorKey key, bool shift, bool ctrl) {
    if (!pxfound) { // the caret is out of view: bring it back first
        posy = curx;
        SilentLayout();
        ShowCompleteLine();
        UpdateCaretPos(true, shift, false);
    }
    switch (key) {
    case EditorKey::PageUp:
        for (int64_t i = 0; i < rph - 2; ++i) {
            moveup();
            SilentLayout();
        }
        UpdateCaretPos(true, shift, false);
        break;
    case EditorKey::PageDown:
        for (int64_t i = 0; i < rph - 2; ++i) {
            movedown();
            SilentLayout();
        }
        checksize();
        UpdateCaretPos(true, shift, false);
        break;
    case EditorKey::End:
        if (ctrl) {
            MoveToTheEnd(false, shift);
        } else {
            int64_t column = std::max<int64_t>(px, 0);
            while (column + 1 < pw && Cell(py, column + 1) != 0)
                ++column;
            if (Cell(py, column) != 0)
                curx = Cell(py, column) - 1; // the row's break character
            if (column < pw - 1 && curx == size() - 1)
                curx = size();
        }
        UpdateCaretPos(true, shift, false);
        break;
    case EditorKey::Home:
        if (ctrl) {
            posy = 0;
            curx = 0;
        } else if (Cell(py, 0) != 0) {
            curx = Cell(py, 0) - 1;
        }
        UpdateCaretPos(true, shift, false);
        break;
    case EditorKey::Left:
        if (!ctrl)
            UpdateCaretPos(goleft(), shift, false);
        else
            repeatWhileMoving(
                curx, [&] { UpdateCaretPos(goleft(), shift, false); },
                [&] { return curx > 0 && IsWordByte(ByteAt(curx - 1)); });
        break;
    case EditorKey::Right: {
        auto step = [&] {
            const bool repaint = goright();
            checksize();
            UpdateCaretPos(repaint, shift, false);
        };
        if (!ctrl)
            step();
        else
            repeatWhileMoving(curx, step,
                              [&] { return curx < size() && IsWordByte(ByteAt(curx)); });
        break;
    }
    case EditorKey::Up:
        UpdateCaretPos(moveup(), shift, false);
        break;
    case EditorKey::Down: {
        const bool scrolled = movedown();
        checksize();
        UpdateCaretPos(scrolled, shift, false);
        break;
    }
    case EditorKey::Insert:
        overwrite = !overwrite;
        setStatus(messages.GetTranslation(overwrite ? kMsgOverwriteMode : kMsgInsertMode));
        view->HideCaret();
        createCaret();
        break;
    case EditorKey::A:
        if (ctrl)
            SelectAll();
        break;
    case EditorKey::Delete:
        if (IsSomethingSelected()) {
            DeleteSelected();
        } else if (curx < size()) {
            if (ByteAt(curx) == '\r' && ByteAt(curx + 1) == '\n') { // CR LF goes as one
                deletechar(false);
                UpdateCaretPos(true, false, false);
            }
            deletechar(false);
            Paint();
        }
        break;
    case EditorKey::Z:
        if (ctrl)
            Undo();
        break;
    case EditorKey::Y:
        if (ctrl)
            ReDo();
        break;
    }
}

} // namespace morvilo
