#pragma once
// The state of one interpreter run: the simulated control's position, the words of the block
// being applied, its modal codes, transforms, offsets and call stack. Fully set up at the start
// of every run; nothing of it survives the run.

#include "vantrel/dynaarray.h"

#include <cstdint>
#include <string_view>

namespace morvilo {

class TEditorCore;

// One entry of the subprogram call stack.
struct tsub {
    int32_t linenr;    // the calling line
    int64_t linestart; // its text offset in the caller's text
    int64_t lineend;   // the offset just after its line end: reading goes on there
    int32_t num;       // program number
    int32_t count;     // passes left
    double setva[100];
    double vars[100];
    bool storelines; // the subprogram runs from a file loaded into an editor of its own
    bool modal;      // a call made by G66
    bool local;      // HAAS M97: the subprogram starts at a block number of the calling text
    TEditorCore *texteditor;
};

// Axis order of the offset sets and of the per-axis tables below.
enum Axis { kX, kY, kZ, kA, kB, kC, kU, kV, kW, kAxes };

struct tcalcstate {
    // current position; ar is the R value, kept like an axis so that incremental R words add up
    double ax, ay, az, aaa, abb, acc, au, av, aw, ar;
    // position at the start of the block
    double ox, oy, oz, oaa, obb, occ, ou, ov, ow;
    // word slots of the block and their given flags
    double x, y, z, aa, bb, cc, u, v, w, i, j, k, r, l, dd, ee, ff, hh, qq, sss, tt, m, o, p;
    double pfloat;
    bool xse, yse, zse, ase, bse, cse, use, vse, wse, ise, jse, kse, rse, lse, dse, ese, fse, hse,
        qse, sse, tse, mse, ose, pse;
    int32_t g; // motion code 0, 1, 2, 3, 33 or 38
    bool gse;  // a motion code was read in this run
    // word parsing
    char c;               // letter of the word being collected
    std::string_view num; // its number text
    bool foundchar;
    double d; // value of the word being applied
    // modal flags
    bool absmode, usemm, polar, canned, rotation, scaling, xmirror, ymirror, zmirror, executemodal;
    // per-block requests
    bool setworkoffset, setlocalworkshift, setglobaloffset, usemaschinecoordinates, g28, setcanned,
        setscaleing, setrotation, setmirror, executesub, executemodalset, cutcirclecw, cutcircleccw,
        setlathecycle; // a lathe roughing or finishing cycle, G70 ... G73
    // pattern requests, cleared when the pattern is drawn
    bool BoltOnCircle, BoltOnArc, HolesOnLine, GriddPattern, haasBoltOnCircle, haasBoltOnArc,
        haasHolesOnLine;
    int32_t plane; // 17 XY, 18 XZ, 19 YZ
    // transforms
    double g68rotx, g68roty, g68rot;
    double scalx, scaly, scalz, scal;
    double xmirrorx, ymirrory, zmirrorz;
    // offsets, per axis in Axis order
    double offsets[6][kAxes];
    double glo[kAxes];      // work offset in force
    double loc[kAxes];      // local shift (G52)
    double oloc[kAxes];     // its previous value
    double g92shift[kAxes]; // what G92 (G50) added to the program coordinates of a machine point
    // canned cycle
    double cannednr, cannedx, cannedy, cannedz;
    // drilling cycles to scale: the level the cycle started from, the R level, the hole bottom
    // (on the plane's third axis), whether R was given, and G99 (return to R instead of the
    // initial level)
    double cycleinitial, cycler, cyclebottom;
    bool cyclerset, cyclereturnr;
    // subprograms
    tsub modalsub;
    int32_t mainprog;
    int64_t mainlinevon, mainlinebis;
    int64_t ii; // line index of the current line; -1 while the axis cross is drawn
};

// Per-axis views of the state, in Axis order.
using AxisField = double tcalcstate::*;
using AxisFlag = bool tcalcstate::*;
inline constexpr AxisField kPosition[kAxes] = {&tcalcstate::ax,  &tcalcstate::ay,  &tcalcstate::az,
                                               &tcalcstate::aaa, &tcalcstate::abb, &tcalcstate::acc,
                                               &tcalcstate::au,  &tcalcstate::av,  &tcalcstate::aw};
inline constexpr AxisField kBlockStart[kAxes] = {
    &tcalcstate::ox,  &tcalcstate::oy, &tcalcstate::oz, &tcalcstate::oaa, &tcalcstate::obb,
    &tcalcstate::occ, &tcalcstate::ou, &tcalcstate::ov, &tcalcstate::ow};
inline constexpr AxisField kWord[kAxes] = {&tcalcstate::x,  &tcalcstate::y,  &tcalcstate::z,
                                           &tcalcstate::aa, &tcalcstate::bb, &tcalcstate::cc,
                                           &tcalcstate::u,  &tcalcstate::v,  &tcalcstate::w};
inline constexpr AxisFlag kGiven[kAxes] = {&tcalcstate::xse, &tcalcstate::yse, &tcalcstate::zse,
                                           &tcalcstate::ase, &tcalcstate::bse, &tcalcstate::cse,
                                           &tcalcstate::use, &tcalcstate::vse, &tcalcstate::wse};

} // namespace morvilo
