// The undo list of the editor core: recording, groups, Undo and ReDo.
//
// Records 0 .. undone-1 are in effect. A new record first discards the undone ones, so a new
// edit after Undo ends the possibility to redo. Replaying a record goes through the ordinary
// editing operations with noundo set and inupdate set, so it records nothing and neither
// repaints nor moves the view until the whole step is done.

#include "editor/editorundo.h"
#include "editor/editorcore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace morvilo {

namespace {

// Restores the replay flags when a step ends, also when the store fails in the middle of it.
struct ReplayScope {
    bool &inupdate, &noundo;
    const bool oldinupdate;
    ReplayScope(bool &inupdate, bool &noundo)
        : inupdate(inupdate), noundo(noundo), oldinupdate(inupdate) {
        inupdate = true;
    }
    ~ReplayScope() {
        inupdate = oldinupdate;
        noundo = false;
    }
};

} // namespace

// ---- the list -----------------------------------------------------------------------------

void TUndoList::Release(int64_t nr) {
    if (nr < 0 || nr >= int64_t(Count()))
        return;
    TUndo &record = (*this)[uint32_t(nr)];
    std::free(record.buf);
    std::free(record.obuf);
    Delete(nr);
}

void TUndoList::Clear() {
    for (uint32_t i = 0; i < Count(); ++i) {
        std::free((*this)[i].buf);
        std::free((*this)[i].obuf);
    }
    TDynaArray<TUndo>::Clear();
}

namespace {

bool reserveBuffer(uint8_t *&data, int64_t &cap, int64_t wanted) {
    if (wanted <= cap)
        return true;
    // Typing grows a buffer one byte at a time: double it, so a run of n characters costs O(n).
    const int64_t grown = std::max<int64_t>({wanted, cap * 2, 16});
    void *block = std::realloc(data, size_t(grown));
    if (!block) {
        ReportAllocationFailure(uint64_t(grown));
        return false;
    }
    data = static_cast<uint8_t *>(block);
    cap = grown;
    return true;
}

} // namespace

bool TUndoList::Append(uint8_t *&data, int64_t &len, int64_t &cap, const uint8_t *bytes,
                       int64_t count) {
    if (count <= 0)
        return true;
    if (!reserveBuffer(data, cap, len + count))
        return false;
    std::memcpy(data + len, bytes, size_t(count));
    len += count;
    return true;
}

bool TUndoList::Prepend(uint8_t *&data, int64_t &len, int64_t &cap, uint8_t byte) {
    if (!reserveBuffer(data, cap, len + 1))
        return false;
    std::memmove(data + 1, data, size_t(len));
    data[0] = byte;
    ++len;
    return true;
}

// ---- recording ----------------------------------------------------------------------------

void TEditorCore::FreeUndoneUndos() {
    for (int64_t i = int64_t(undos.Count()) - 1; i >= undone && i >= 0; --i)
        undos.Release(i);
}

void TEditorCore::ClearUndo() {
    undos.Clear();
    undone = 0;
}

void TEditorCore::StartUndoGroup() {
    isinoneundogroup = true;
    ++aundogroup;
}

// A new, zeroed record at the end of the list with its group number and view start; null when
// memory ran out (nothing changed then but the discarded redo records).
TUndo *TEditorCore::newUndo() {
    FreeUndoneUndos();
    TUndo *record = undos.Add();
    if (!record)
        return nullptr;
    if (!isinoneundogroup)
        ++aundogroup;
    record->undogroup = aundogroup;
    record->oposy = posy;
    undone = undos.Count();
    return record;
}

// ---- undo and redo ------------------------------------------------------------------------

// Replays the records of the newest group (or one record with onlyonestep): newest first when
// undoing, oldest first when redoing. apply handles one record; replaying records nothing.
template <typename Apply> void TEditorCore::replayGroup(bool undoing, Apply apply) {
    {
        ReplayScope scope(inupdate, noundo);
        bool first = true;
        int32_t group = 0;
        while (undoing ? undone > 0 : undone < int64_t(undos.Count())) {
            const TUndo record = undos[uint32_t(undoing ? undone - 1 : undone)];
            if (!first && record.undogroup != group)
                break;
            first = false;
            group = record.undogroup;
            undone += undoing ? -1 : 1;
            noundo = true;
            apply(record, group);
            noundo = false;
            if (onlyonestep)
                break;
        }
    }
    checksize();
    UpdateCaretPos(true, false, false);
}

void TEditorCore::Undo() {
    if (!CanUndo())
        return;
    replayGroup(true, [this](const TUndo &record, int32_t group) {
        // A replaced line is a deletion and an insertion at one place. Undone one after the
        // other, backwards through the text, each deletion would leave the insertion point
        // at the end of a block, and every restored line would pile up at the front of the
        // next block. Putting the old bytes in front of the new ones and deleting the new
        // ones afterwards gives the same text and leaves the lines in their blocks.
        if (!onlyonestep && record.kind == TUndo::Insertion && undone > 0) {
            const TUndo before = undos[uint32_t(undone - 1)];
            if (before.undogroup == group && before.kind == TUndo::Deletion &&
                before.pos == record.pos) {
                --undone;
                curx = markx = before.pos;
                posy = before.oposy;
                insertText(before.buf, before.len);
                curx = before.pos + before.len;
                markx = curx + record.len;
                deleteRange();
                curx = before.pos + before.incdelpos;
                return;
            }
        }
        switch (record.kind) {
        case TUndo::Insertion:
            curx = record.pos;
            markx = record.pos + record.len;
            posy = record.oposy;
            deleteRange();
            break;
        case TUndo::Overwrite:
            curx = markx = record.pos;
            posy = record.oposy;
            store->setdata(record.pos, record.olen, record.obuf);
            break;
        case TUndo::Deletion:
            curx = markx = record.pos;
            posy = record.oposy;
            insertText(record.buf, record.len);
            curx = record.pos + record.incdelpos;
            // Backspace over CR LF removes both bytes in one record that starts with the CR;
            // the caret goes back behind the LF, where it was, not between the two.
            if (curx > 0 && ByteAt(curx - 1) == '\r' && ByteAt(curx) == '\n')
                ++curx;
            break;
        }
    });
}

void TEditorCore::ReDo() {
    if (!CanRedo())
        return;
    replayGroup(false, [this](const TUndo &record, int32_t) {
        switch (record.kind) {
        case TUndo::Insertion:
            curx = markx = record.pos;
            posy = record.oposy;
            insertText(record.buf, record.len);
            curx = markx = record.pos + record.len;
            break;
        case TUndo::Overwrite:
            curx = markx = record.pos;
            posy = record.oposy;
            store->setdata(record.pos, record.len, record.buf);
            curx = markx = record.pos + record.len;
            break;
        case TUndo::Deletion:
            curx = record.pos;
            markx = record.pos + record.len;
            posy = record.oposy;
            deleteRange();
            break;
        }
    });
}

} // namespace morvilo
