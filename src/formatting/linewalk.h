#pragma once
// How the whole-text formatting commands walk the editor's lines: one editor update around the
// command, and each line's exact bytes.

#include "editor/editorcore.h"

#include <string>

namespace morvilo {

// Runs command between BeginUpdate and EndUpdate, so that its changes form one undo group; the
// update ends also when the command fails (a file read error of the store), and the error
// goes on to the caller.
template <typename Command> void InOneUpdate(TEditorCore &core, Command command) {
    core.BeginUpdate();
    try {
        command();
    } catch (...) {
        try {
            core.EndUpdate();
        } catch (...) {
        }
        throw;
    }
    core.EndUpdate();
}

// Walks every line of the editor from the first on. The line reader's `line` leaves out 0
// bytes; a command that writes a line back must not lose them, so when the text holds any,
// each line is read again from the store with them.
class LineWalk {
public:
    explicit LineWalk(TEditorCore &core);

    // The next line; false after the last.
    bool Next();
    // The current line's bytes without its line break.
    const std::string &Text() const { return exact ? bytes : core.line; }
    int64_t Index() const { return core.alinenr; }

private:
    TEditorCore &core;
    bool exact;
    std::string bytes;
};

} // namespace morvilo
