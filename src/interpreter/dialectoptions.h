#pragma once
// The check marks of the menus "Maschine" and "Optionen" that change how G-code is read, and the
// lathe diameter view that the backplot's fixed views switch. The window owns them; a run reads
// them whenever it needs one, so a change takes effect at once.

#include <string>

namespace morvilo {

enum class MachineType { Mill, Dreh1, Dreh2 }; // mill, lathe system A, lathe system B

struct DialectOptions {
    MachineType machine = MachineType::Mill;
    bool Haas = false;                     // bolt patterns on G70/G71/G72 instead of G34/G36/G35
    bool absolutecheck = false;            // I, J, K of arcs are absolute centre coordinates
    bool IJKsindModal1 = false;            // I, J, K keep their values from block to block
    bool IJKsindInkremental1 = false;      // an I, J or K word adds to its slot
    bool G91relativeKoordinaten1 = false;  // stored and saved only
    bool otherbreakets = false;            // comments in [], expressions in () (*)
    bool donotprocessdeletedlines = false; // block delete: lines starting with "/" are skipped
    bool showsubs = false;                 // show subprogram files while they run
    bool cyclesToScale = false;            // drilling cycles drawn with R level, depth and return
    std::string subprogramFolder;          // the folder of subprogram files
    bool diametermode = false; // lathe diameter view: X words are diameters, X values shown doubled
    // (*) The window also sets the bracket characters from it (SetSquareBracketComments); the
    // run reads those.

    bool Mill() const { return machine == MachineType::Mill; }
    bool Dreh1() const { return machine == MachineType::Dreh1; }
    bool Dreh2() const { return machine == MachineType::Dreh2; }
    bool lathe() const { return machine != MachineType::Mill; }
};

} // namespace morvilo
