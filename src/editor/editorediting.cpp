// The editing operations of the editor core: typing in insert and overwrite mode, deleting,
// inserting blocks of bytes, the line operations of the formatting commands, and the change
// state with the owner's caption.
//
// Every change records itself in the undo list (editorundo.cpp) before it changes the store.
// When the store fails (a read error of the document's file), a record made for the change is
// taken back, so the list never holds a change that did not happen.

#include "editor/editorcore.h"

#include "editor/linebreaks.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace morvilo {

// What a merge changed in a record, to take it back when the store fails.
struct MergeBackup {
    TUndo saved{};
    bool prepended = false;
};

namespace {

void restoreMerge(TUndo &record, const MergeBackup &backup) {
    if (backup.prepended && record.len > 0)
        std::memmove(record.buf, record.buf + 1, size_t(record.len - 1));
    record.pos = backup.saved.pos;
    record.incdelpos = backup.saved.incdelpos;
    record.len = backup.saved.len;
    record.olen = backup.saved.olen;
}

} // namespace

// ---- recording helpers --------------------------------------------------------------------

// The store failed: the record made or merged for the change goes, the list holds no change
// that did not happen.
void TEditorCore::takeBackRecording(TUndo *merged, const MergeBackup &backup, bool made) {
    if (merged)
        restoreMerge(*merged, backup);
    if (made) {
        undos.Release(undos.Count() - 1);
        undone = undos.Count();
    }
}

bool TEditorCore::recordDeletionOf(int64_t pos, int64_t len, int64_t incdelpos) {
    uint8_t *bytes = static_cast<uint8_t *>(std::malloc(size_t(len)));
    if (!bytes) {
        ReportAllocationFailure(uint64_t(len));
        return false;
    }
    try {
        store->CopyOut(pos, len, bytes);
    } catch (...) {
        std::free(bytes);
        throw;
    }
    TUndo *record = newUndo();
    if (!record) {
        std::free(bytes);
        return false;
    }
    record->kind = TUndo::Deletion;
    record->pos = pos;
    record->incdelpos = incdelpos;
    record->buf = bytes;
    record->len = record->bufcap = len;
    return true;
}

// Keeps the line reader's window after a line operation replaced old .. oldEnd by a line that
// now ends at newEnd: the bytes from oldEnd on only moved, so the window stays valid from the new
// line end on and the reader goes on without reading the text again.
void TEditorCore::storeReplaced(int64_t oldEnd, int64_t newEnd, bool windowWasCurrent) {
    if (!windowWasCurrent)
        return;
    lineWindowStart += newEnd - oldEnd;
    lineWindowValidFrom = newEnd;
    lineWindowGeneration = store->Generation();
}

void TEditorCore::silentUpdateCaretPos() {
    const bool old = donotpaint;
    donotpaint = true;
    UpdateCaretPos(true, false, false);
    donotpaint = old;
}

// ---- changes ------------------------------------------------------------------------------

void TEditorCore::insertchar(uint8_t bb) {
    if (!inupdate)
        SetChanged();
    // Overwrite mode has nothing to overwrite at the end of the text: it inserts there.
    const bool over = overwrite && curx < size();
    TUndo *merged = nullptr;
    MergeBackup backup;
    bool made = false;
    if (!noundo) {
        FreeUndoneUndos();
        TUndo *last = undone > 0 ? &undos[uint32_t(undone - 1)] : nullptr;
        const int32_t kind = over ? TUndo::Overwrite : TUndo::Insertion;
        const uint8_t old = over ? ByteAt(curx) : 0;
        if (last && last->kind == kind && last->pos + last->len == curx) {
            backup.saved = *last;
            if (!TUndoList::Append(last->buf, last->len, last->bufcap, &bb, 1))
                return;
            if (over && !TUndoList::Append(last->obuf, last->olen, last->obufcap, &old, 1)) {
                restoreMerge(*last, backup);
                return;
            }
            merged = last;
        } else {
            TUndo *record = newUndo();
            if (!record)
                return;
            record->kind = kind;
            record->pos = curx;
            made = true;
            if (!TUndoList::Append(record->buf, record->len, record->bufcap, &bb, 1) ||
                (over &&
                 !TUndoList::Append(record->obuf, record->olen, record->obufcap, &old, 1))) {
                undos.Release(undos.Count() - 1);
                undone = undos.Count();
                return;
            }
        }
    }
    try {
        if (over)
            store->setdata(curx, 1, &bb);
        else
            store->insertdata(curx, 1, &bb);
    } catch (...) {
        takeBackRecording(merged, backup, made);
        throw;
    }
    if (!inupdate)
        CheckIfMustScrollDown();
}

void TEditorCore::insertText(const uint8_t *bytes, int64_t len) {
    SetChanged();
    if (len > 0) {
        bool made = false;
        if (!noundo) {
            TUndo *record = newUndo();
            if (!record)
                return;
            record->kind = TUndo::Insertion;
            record->pos = curx;
            made = true;
            if (!TUndoList::Append(record->buf, record->len, record->bufcap, bytes, len)) {
                undos.Release(undos.Count() - 1);
                undone = undos.Count();
                return;
            }
        }
        try {
            store->insertdata(curx, len, bytes);
        } catch (...) {
            if (made) {
                undos.Release(undos.Count() - 1);
                undone = undos.Count();
            }
            throw;
        }
        curx += len;
    }
    markx = curx;
    if (!inupdate) {
        SilentLayout();
        CheckIfMustScrollDown();
    }
}

void TEditorCore::insertText(const std::string &text) {
    insertText(reinterpret_cast<const uint8_t *>(text.data()), int64_t(text.size()));
}

void TEditorCore::deletechar(bool isbackspace) {
    SetChanged();
    if (curx < 0 || curx >= size())
        return; // no byte at the caret
    const uint8_t b = ByteAt(curx);
    TUndo *merged = nullptr;
    MergeBackup backup;
    bool made = false;
    if (!noundo) {
        FreeUndoneUndos();
        TUndo *last = undone > 0 ? &undos[uint32_t(undone - 1)] : nullptr;
        const bool deletion = last && last->kind == TUndo::Deletion;
        if (deletion && last->pos == curx) { // forward deletion continues
            backup.saved = *last;
            if (!TUndoList::Append(last->buf, last->len, last->bufcap, &b, 1))
                return;
            merged = last;
        } else if (deletion && last->pos == curx + 1) { // backspacing continues
            backup.saved = *last;
            if (!TUndoList::Prepend(last->buf, last->len, last->bufcap, b))
                return;
            backup.prepended = true;
            last->pos -= 1;
            last->incdelpos += 1;
            merged = last;
        } else {
            if (!recordDeletionOf(curx, 1, isbackspace ? 1 : 0))
                return;
            made = true;
        }
    }
    try {
        store->deletedata(curx, 1);
    } catch (...) {
        takeBackRecording(merged, backup, made);
        throw;
    }
}

void TEditorCore::deleteRange() {
    if (!inupdate)
        SetChanged();
    const int64_t start = std::clamp<int64_t>(std::min(curx, markx), 0, size());
    const int64_t length = std::clamp<int64_t>(std::max(curx, markx), 0, size()) - start;
    if (length > 0) {
        // The record keeps view start 0: undoing or redoing it lays out from the text's start
        // and the caret update brings the change into view.
        const int64_t remembered = posy;
        posy = 0;
        bool made = false;
        if (!noundo) {
            if (!recordDeletionOf(start, length, 0)) {
                posy = remembered;
                return;
            }
            made = true;
        }
        posy = remembered;
        try {
            store->deletedata(start, length);
        } catch (...) {
            if (made) {
                undos.Release(undos.Count() - 1);
                undone = undos.Count();
            }
            throw;
        }
        posy = std::min(posy, start);
    }
    curx = markx = start;
    marky = cury;
    if (!inupdate)
        UpdateCaretPos(true, false, false);
}

void TEditorCore::DeleteSelected() {
    deleteRange();
    Paint();
}

// ---- typing -------------------------------------------------------------------------------

void TEditorCore::KeyPress(uint8_t ch, bool ctrl, bool alt) {
    if (!pxfound) { // the caret is out of view: bring it back first, as a key press does
        posy = curx;
        SilentLayout();
        ShowCompleteLine();
        UpdateCaretPos(true, true, false);
    }
    if (ch == 8) { // Backspace
        if (IsSomethingSelected()) {
            deleteRange();
            return;
        }
        if (curx <= 0)
            return;
        const int64_t old = curx;
        // The step left moves the view along when the caret leaves its top row. The byte it
        // lands on is the one before the caret, or the CR of a CR LF before it, which is then
        // at the start of a line: Backspace removes the whole break, CR LF in one record (the
        // CR goes first and the LF then moves to the caret). The offset is taken from the text,
        // not from the grid, which does not tell line starts when the view starts inside a line.
        goleft();
        const bool crlf = old >= 2 && ByteAt(old - 2) == kCR && ByteAt(old - 1) == kLF;
        curx = old - (crlf ? 2 : 1);
        if (crlf) {
            deletechar(true);
            UpdateCaretPos(true, false, false);
        }
        deletechar(true);
        UpdateCaretPos(true, false, false);
        return;
    }
    if (ctrl && !alt)
        return; // Ctrl+letter is a command, not a character; AltGr characters are typed
    if (IsSomethingSelected())
        deleteRange();
    if (ch == 13) { // Enter
        insertText("\r\n");
        UpdateCaretPos(true, false, false);
        return;
    }
    if (insertuppercase && ch >= 'a' && ch <= 'z')
        ch = uint8_t(ch - 'a' + 'A');
    insertchar(ch);
    silentUpdateCaretPos();
    goright();
    checksize();
    UpdateCaretPos(true, false, false);
}

// ---- line operations ----------------------------------------------------------------------

void TEditorCore::ReplaceLine(const std::string &s) {
    const int64_t oldEnd = lpos;
    const bool windowWasCurrent = lineWindowHolds(oldEnd);
    const uint64_t generation = store->Generation();
    markx = olpos;
    curx = lpos;
    deleteRange();
    std::string replacement;
    replacement.reserve(s.size() + 2);
    replacement.append(s).append("\r\n");
    insertText(replacement);
    lpos = olpos + int64_t(replacement.size());
    // One deletion and one insertion, and nothing else changed the store meanwhile.
    storeReplaced(oldEnd, lpos,
                  windowWasCurrent && store->Generation() == generation + 1 + (oldEnd > olpos));
}

void TEditorCore::DeleteLine() {
    const int64_t oldEnd = lpos;
    const bool windowWasCurrent = lineWindowHolds(oldEnd);
    const uint64_t generation = store->Generation();
    markx = olpos;
    curx = lpos;
    deleteRange();
    lpos = olpos;
    storeReplaced(oldEnd, lpos,
                  windowWasCurrent && store->Generation() == generation + (oldEnd > olpos));
}

void TEditorCore::MarkLine() {
    markx = olpos;
    if (olpos < posy)
        posy = olpos;
    if (maxshowedpos < markx)
        posy = markx;
    // The selection ends before the line's last break byte: with the CR of a CR LF, not its LF.
    curx = std::max<int64_t>(lpos - 1, 0);
    UpdateCaretPos(true, true, false);
    if (maxshowedpos < curx)
        posy = markx; // for the next paint
}

void TEditorCore::BeginUpdate() {
    inupdate = true;
    StartUndoGroup();
}

void TEditorCore::EndUpdate() {
    inupdate = false;
    curx = markx = posy = 0;
    SetChanged();
    UpdateCaretPos(true, false, false);
    EndUndoGroup();
}

// ---- change state -------------------------------------------------------------------------

void TEditorCore::SetChanged() {
    changed = true;
    view->Changed();
}

std::string TEditorCore::CaptionText() const {
    if (donotsetcaption0)
        return maincap;
    std::string name;
    if (afilename.empty()) {
        name = messages.GetTranslation(kMsgUntitled);
    } else {
        const size_t slash = afilename.find_last_of('/');
        name = slash == std::string::npos ? afilename : afilename.substr(slash + 1);
    }
    return maincap + " - [" + name + (changed ? "*]" : "]");
}

} // namespace morvilo
