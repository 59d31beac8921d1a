// Any bytes as a sequence of editing operations on the editor core (typing, text insertion,
// deleting a selection, Enter, group and single-step undo and redo, a line replaced inside an
// update), compared after every step with a plain model of the text and its undo list.

#include "../tests/editor/shadowmodel.h"
#include "editor/editorcore.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace morvilo;

struct Bytes {
    const uint8_t *data;
    size_t size;
    size_t at = 0;
    bool empty() const { return at >= size; }
    uint8_t next() { return at < size ? data[at++] : 0; }
};

std::string textOf(TEditorCore &core) {
    std::string text(size_t(core.size()), '\0');
    core.mem().CopyOut(0, core.size(), reinterpret_cast<uint8_t *>(text.data()));
    return text;
}

// A position that does not split a CR LF.
int64_t whole(const std::string &t, int64_t pos) {
    if (pos > 0 && pos < int64_t(t.size()) && t[size_t(pos - 1)] == '\r' && t[size_t(pos)] == '\n')
        ++pos;
    return pos;
}

void step(TEditorCore &core, test::ShadowModel &model, Bytes &in) {
    const int64_t size = int64_t(model.text.size());
    const uint8_t op = in.next() % 8;
    int64_t at = whole(model.text, int64_t(in.next()) % (size + 1));
    core.markx = core.curx = at;
    core.UpdateCaretPos(true, false, false);
    static const char typed[] = "GX01 .\t(";
    switch (op) {
    case 0:
    case 1: { // typing
        const char c = typed[in.next() % (sizeof typed - 1)];
        model.typeChar(at, c, false);
        core.KeyPress(uint8_t(c));
        break;
    }
    case 2: { // text with breaks
        std::string s;
        for (int n = in.next() % 6; n >= 0; --n)
            s += "A\r\n\n\r"[in.next() % 5];
        model.insertText(at, s);
        core.insertText(s);
        break;
    }
    case 3: { // a selection deleted
        const int64_t to = whole(model.text, std::min<int64_t>(size, at + in.next() % 16));
        core.curx = to;
        core.UpdateCaretPos(true, true, false);
        model.deleteRange(at, to);
        core.deleteRange();
        break;
    }
    case 4:
    case 5: { // undo
        const bool one = in.next() % 2;
        model.undo(one);
        core.onlyonestep = one;
        core.Undo();
        core.onlyonestep = false;
        break;
    }
    case 6: { // redo
        const bool one = in.next() % 2;
        model.redo(one);
        core.onlyonestep = one;
        core.ReDo();
        core.onlyonestep = false;
        break;
    }
    default: { // a line replaced inside an update, as the formatting commands do
        model.group += 1;
        model.inGroup = true;
        core.BeginUpdate();
        if (size > 0 && core.GetLinenr(in.next() % 4)) {
            const std::string s(in.next() % 4, 'N');
            model.deleteRange(core.olpos, core.lpos);
            model.insertText(core.olpos, s + "\r\n");
            core.ReplaceLine(s);
        }
        core.EndUpdate();
        model.inGroup = false;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Bytes in{data, std::min<size_t>(size, 4096)};
    TEditorCore core;
    core.SetMetrics(8, 16);
    core.SetClientSize(800, 3000);
    core.FileNew();
    test::ShadowModel model;
    while (!in.empty()) {
        step(core, model, in);
        if (textOf(core) != model.text || core.CanUndo() != model.canUndo() ||
            core.CanRedo() != model.canRedo())
            std::abort();
    }
    return 0;
}
