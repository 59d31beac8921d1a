#pragma once
// Block renumbering and the removal of block numbers on the whole text of the editor. Both
// keep jumps working: renumbering rewrites every "GOTO" to its block's new number, removal
// keeps the numbers that some "GOTO" names. Each is one editor update (one undo step).

#include <cstdint>

namespace morvilo {

class TEditorCore;

// The choices of the renumbering dialog.
enum class NumberingChoice {
    AllBlocks = 1,         // "Alle Blöcke neu nummerieren"
    NotEmptyOrComment = 2, // "Leerzeilen und Kommentarblöcke nicht nummerieren"
    JumpTargetsOnly = 3    // "Nur GOTO referenzierte Blöcke nummerieren"
};

struct TNummerBlocksSettings {
    NumberingChoice choice = NumberingChoice::AllBlocks;
    int64_t startnumed = 1;     // the first new number, 1 .. 1000000
    int64_t inced = 2;          // the step between new numbers, 1 .. 1000000
    bool addspacecheck = false; // "Leerzeichen einfügen": a space between number and line
};

// One record of the renumbering table: an old block number of a line, or the line itself when
// it had none.
struct TNum {
    int64_t nr;    // the old block number; -1 for a line that had none
    int64_t zeile; // the line's index
    int64_t newnr; // the number the line receives
    bool donr;     // whether the line receives a number
};

// "Blöcke neu numerieren": removes every block number, gives the lines new numbers from
// startnumed in steps of inced (which lines, by the choice) and rewrites the jumps.
void BlckeneuNummerieren(TEditorCore &core, const TNummerBlocksSettings &settings);

// "Blocknumierung entfernen": removes every block number that no "GOTO" names.
void Nummierungentfernen(TEditorCore &core);

} // namespace morvilo
