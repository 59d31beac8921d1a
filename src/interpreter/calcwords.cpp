// The words of a block and the steps that apply them, in their fixed order.

#include "expressions/floattostr.h"
#include "interpreter/calcrun.h"
#include "interpreter/calcrunimpl.h"
#include "interpreter/variablenzuweisen.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace morvilo {

namespace {

constexpr double kDegree = 2 * std::numbers::pi / 360;

// The polar form of a point in a plane: which of x, y, z holds the radius and which the angle
// (degrees), and the Cartesian pair (first, second) that angle 0 and 90 degrees point along.
struct PolarAxes {
    int radius, angle;
    int cosAxis, sinAxis; // Cartesian axis receiving radius * cos(angle), radius * sin(angle)
};

PolarAxes polarAxes(int plane) {
    switch (plane) {
    case 18:
        return {kZ, kX, kZ, kX};
    case 19:
        return {kY, kZ, kY, kZ};
    default:
        return {kX, kY, kX, kY};
    }
}

void toPolar(double (&p)[3], int plane) {
    const PolarAxes axes = polarAxes(plane);
    const double cosPart = p[axes.cosAxis], sinPart = p[axes.sinAxis];
    p[axes.radius] = std::sqrt(cosPart * cosPart + sinPart * sinPart);
    p[axes.angle] = std::atan2(sinPart, cosPart) / kDegree;
}

void toCartesian(double (&p)[3], int plane) {
    const PolarAxes axes = polarAxes(plane);
    const double radius = p[axes.radius], angle = p[axes.angle] * kDegree;
    p[axes.cosAxis] = radius * std::cos(angle);
    p[axes.sinAxis] = radius * std::sin(angle);
}

template <typename Convert>
void convertPoint(double &x, double &y, double &z, int plane, Convert convert) {
    double p[3] = {x, y, z};
    convert(p, plane);
    x = p[0];
    y = p[1];
    z = p[2];
}

// The word slot and given flag of each letter A ... Z; letters without one are ignored.
struct WordSlot {
    double tcalcstate::*value = nullptr;
    bool tcalcstate::*given = nullptr;
};

constexpr std::array<WordSlot, 26> wordSlots() {
    std::array<WordSlot, 26> slots{};
    const auto set = [&slots](char letter, double tcalcstate::*value, bool tcalcstate::*given) {
        slots[letter - 'A'] = {value, given};
    };
    set('A', &tcalcstate::aa, &tcalcstate::ase);
    set('B', &tcalcstate::bb, &tcalcstate::bse);
    set('C', &tcalcstate::cc, &tcalcstate::cse);
    set('D', &tcalcstate::dd, &tcalcstate::dse);
    set('E', &tcalcstate::ee, &tcalcstate::ese);
    set('F', &tcalcstate::ff, &tcalcstate::fse);
    set('H', &tcalcstate::hh, &tcalcstate::hse);
    set('I', &tcalcstate::i, &tcalcstate::ise);
    set('J', &tcalcstate::j, &tcalcstate::jse);
    set('K', &tcalcstate::k, &tcalcstate::kse);
    set('L', &tcalcstate::l, &tcalcstate::lse);
    set('M', &tcalcstate::m, &tcalcstate::mse);
    set('O', &tcalcstate::o, &tcalcstate::ose);
    set('P', &tcalcstate::p, &tcalcstate::pse);
    set('Q', &tcalcstate::qq, &tcalcstate::qse);
    set('R', &tcalcstate::r, &tcalcstate::rse);
    set('S', &tcalcstate::sss, &tcalcstate::sse);
    set('T', &tcalcstate::tt, &tcalcstate::tse);
    set('U', &tcalcstate::u, &tcalcstate::use);
    set('V', &tcalcstate::v, &tcalcstate::vse);
    set('W', &tcalcstate::w, &tcalcstate::wse);
    set('X', &tcalcstate::x, &tcalcstate::xse);
    set('Y', &tcalcstate::y, &tcalcstate::yse);
    set('Z', &tcalcstate::z, &tcalcstate::zse);
    return slots;
}
constexpr std::array<WordSlot, 26> kWordSlots = wordSlots();

} // namespace

// Applies the word c + num (whose value is *value when it was read already). A number that
// does not convert drops the word.
void TCalcRun::interpret(const double *value) {
    double d = value ? *value : 0;
    if (value || StrToFloat(st.num, d)) {
        st.d = d;
        if (st.c == 'G') {
            interpretG(d);
        } else if (st.c >= 'A' && st.c <= 'Z' && kWordSlots[st.c - 'A'].value) {
            const WordSlot slot = kWordSlots[st.c - 'A'];
            double &slotValue = st.*slot.value;
            if (st.c == 'X' && options.diametermode)
                d /= 2; // lathe diameter programming; I and U stay as written
            else if ((st.c == 'I' || st.c == 'J' || st.c == 'K') && options.IJKsindInkremental1)
                d += slotValue;
            slotValue = d;
            st.*slot.given = true;
            if (st.c == 'P')
                st.pfloat = d;
            if (st.c == 'P' || st.c == 'M')
                wordFacts(d);
        }
    } else if (st.c >= 'A' && st.c <= 'Z') {
        unreadableWord();
    }
    st.num = {};
    st.foundchar = false;
}

void TCalcRun::unreadableWord() {
    std::string word(1, st.c);
    for (const char ch : st.num) // a failed expression's mark is no character to show
        word += ch == kFailedExpression ? '?' : ch;
    warn("Wort %1 verworfen: die Zahl ist nicht lesbar", {word});
}

// The G-code table, tested in order; the first row that matches applies. Codes with a decimal
// part are told by their tenfold value.
void TCalcRun::interpretG(double d) {
    const bool mill = options.Mill(), haas = options.Haas, latheA = options.Dreh1();
    const double tenfold = std::round(d * 10);
    const auto is = [d](double code) { return d == code; };
    if (is(0) || is(1) || is(2) || is(3) || is(33)) {
        st.g = int32_t(d);
        st.gse = true;
        return; // none of the codes below
    }
    if (tenfold == 382) {
        st.g = 38;
        st.gse = true;
    } else if (is(10)) {
        st.setworkoffset = true;
    } else if (is(12)) {
        st.cutcirclecw = true;
    } else if (is(13)) {
        st.cutcircleccw = true;
    } else if (is(15) && mill) {
        st.polar = false;
        ConvertToCardKoord();
    } else if (is(16) && mill) {
        st.polar = true;
        ConvertToPolarKoord();
    } else if ((is(17) || is(18) || is(19)) && mill) {
        st.plane = int32_t(d);
    } else if (is(20) && st.usemm) {
        st.usemm = false;
        rescalePlot(MoveUnits::Inch, 1 / zoll2mm);
    } else if (is(21) && !st.usemm) {
        st.usemm = true;
        rescalePlot(MoveUnits::Millimetre, zoll2mm);
    } else if (is(28)) {
        // The words name the intermediate point in work coordinates; machine zero follows.
        st.g28 = true;
        st.gse = true;
    } else if (is(34) && mill && !haas) {
        st.BoltOnCircle = true;
    } else if (is(36) && mill && !haas) {
        st.BoltOnArc = true;
    } else if (is(35) && mill && !haas) {
        st.HolesOnLine = true;
    } else if (tenfold == 371 && mill && !haas) {
        st.GriddPattern = true;
    } else if (is(50) && mill) {
        st.scaling = false;
    } else if (tenfold == 501 && mill) {
        st.xmirror = st.ymirror = st.zmirror = false;
    } else if (tenfold == 511 && mill) {
        st.setmirror = true;
    } else if (is(51) && mill) {
        st.setscaleing = true;
    } else if (is(53)) {
        st.usemaschinecoordinates = true;
    } else if (d >= 54 && d <= 59 && d == std::trunc(d)) {
        useworkoffset(int(d) - 54);
    } else if (is(65)) {
        st.executesub = true;
    } else if (is(66)) {
        st.executemodalset = true;
    } else if (is(67)) {
        st.executemodal = false;
    } else if (is(68) && mill) {
        st.setrotation = true;
    } else if (is(69) && mill) {
        st.rotation = false;
    } else if (is(70) && mill && haas) {
        st.haasBoltOnCircle = true;
    } else if (is(71) && mill && haas) {
        st.haasBoltOnArc = true;
    } else if (is(72) && mill && haas) {
        st.haasHolesOnLine = true;
    } else if ((is(70) || is(71) || is(72) || is(73)) && options.lathe()) {
        st.setlathecycle = true;
    } else if ((d >= 70 && d <= 79) || (d >= 81 && d <= 89) ||
               ((is(90) || is(92) || is(94)) && latheA)) {
        st.setcanned = true;
        st.cannednr = d;
    } else if (is(80)) {
        st.canned = false;
    } else if (is(98) || is(99)) {
        st.cyclereturnr = is(99);
    } else if (is(90) && !latheA) {
        st.absmode = true;
    } else if (is(91) && !latheA) {
        st.absmode = false;
    } else if (is(92) && !latheA) {
        st.setglobaloffset = true;
    } else if (is(50) && latheA) {
        st.setglobaloffset = true;
    }
    if (is(52))
        st.setlocalworkshift = true;
    // What the plot does not show but the run's facts need. G94 is a turning cycle on lathe
    // system A, whose feed modes are G98 and G99.
    if (is(20) || is(21))
        move.units = is(20) ? MoveUnits::Inch : MoveUnits::Millimetre;
    else if (is(93))
        move.feedMode = FeedMode::InverseTime;
    else if ((is(94) && !latheA) || (is(98) && latheA))
        move.feedMode = FeedMode::PerMinute;
    else if (is(95) || (is(99) && latheA))
        move.feedMode = FeedMode::PerRevolution;
    else if (is(4))
        blockWords.dwell = true;
}

// Words the drawing ignores but the run's facts count (P and M): the dwell time's unit, tool
// changes and spindle starts.
void TCalcRun::wordFacts(double d) {
    if (st.c == 'P') {
        blockWords.pHasPoint = st.num.find('.') != std::string_view::npos;
    } else if (st.c == 'M') {
        if (d == 6) {
            blockWords.toolChange = true;
        } else if (d == 3 || d == 4) {
            blockWords.spindleStart =
                blockWords.spindleStart || !spindleOn || spindleCcw != (d == 4);
            spindleOn = true;
            spindleCcw = d == 4;
        } else if (d == 5 || d == 2 || d == 30) {
            spindleOn = false;
        }
    }
}

// The block's stops and starts, after its points. A dwell lasts P seconds when P has a
// decimal point and P milliseconds when not (P1500 and P1.5 both wait 1.5 s), or X (else U)
// seconds.
void TCalcRun::blockFacts() {
    const int64_t line = mainLine + 1;
    if (blockWords.dwell) {
        double seconds = 0;
        if (st.pse)
            seconds = blockWords.pHasPoint ? st.p : st.p / 1000;
        else if (st.xse)
            seconds = st.x;
        else if (st.use)
            seconds = st.u;
        if (std::isfinite(seconds) && seconds > 0)
            stream.Dwell(line, seconds);
    }
    if (blockWords.toolChange)
        stream.ToolChange(line, st.tt);
    if (blockWords.spindleStart)
        stream.SpindleStart(line, st.sss);
}

void TCalcRun::warn(const char *text, std::vector<std::string> values) {
    stream.Warning(mainLine + 1, UserMessage{text, std::move(values)});
}

// ---- the block, step by step -----------------------------------------------------------------

void TCalcRun::applyBlock() {
#pragma GCC unroll 9
    for (int axis = 0; axis < kAxes; ++axis)
        st.*kBlockStart[axis] = st.*kPosition[axis];
    for (int axis = 0; axis < 3; ++axis)
        apartAtBlockStart[axis] = apart[axis];
    setMirrorPositions();
    polarWordsOfShifts();
    // The steps below are tested here first: most blocks only move.
    if (st.setlathecycle)
        latheRoughingCycle();
    if (st.setcanned)
        cannedSetup();
    newPosition();
    if (st.polar)
        ConvertToCardKoord();
    if (st.setworkoffset)
        workOffsetData();
    setupScaling();
    setupRotation();
    if (st.setlocalworkshift)
        localShift();
    if (st.setglobaloffset)
        coordinateSetting();
    if (st.executemodalset)
        modalMacroSetup();
    if (st.cutcirclecw || st.cutcircleccw)
        circlePockets();
    if (st.BoltOnCircle || st.BoltOnArc || st.HolesOnLine || st.GriddPattern ||
        st.haasBoltOnCircle || st.haasBoltOnArc || st.haasHolesOnLine)
        holePatterns();
    if (st.executesub)
        macroCall();
    else
        motion();
    mWords();
    if (st.canned)
        cannedStroke();
    if (st.polar)
        ConvertToPolarKoord();
    if (st.executemodal)
        modalCall();
}

// G51.1: the mirror positions are the X, Y, Z words as written; the block does not move.
void TCalcRun::setMirrorPositions() {
    if (!st.setmirror)
        return;
    if (st.xse)
        st.xmirror = true, st.xmirrorx = st.x;
    if (st.yse)
        st.ymirror = true, st.ymirrory = st.y;
    if (st.zse)
        st.zmirror = true, st.zmirrorz = st.z;
    st.xse = st.yse = st.zse = false;
}

// In polar mode the shifts of G52 and G92 are written in Cartesian form.
void TCalcRun::polarWordsOfShifts() {
    if (st.polar && (st.setlocalworkshift || st.setglobaloffset))
        convertPoint(st.x, st.y, st.z, st.plane, toPolar);
}

// The new position from the coordinate words: machine coordinates for G53 and G28, else
// absolute or incremental. The given words' slots hold absolute values afterwards.
void TCalcRun::newPosition() {
    if (st.usemaschinecoordinates) {
        for (int axis = 0; axis < kAxes; ++axis)
            if (st.*kGiven[axis]) {
                st.*kPosition[axis] =
                    st.*kWord[axis] - st.loc[axis] - st.glo[axis] + st.g92shift[axis];
                if (axis < 3)
                    apart[axis] = 0;
            }
        return;
    }
#pragma GCC unroll 9
    for (int axis = 0; axis < kAxes; ++axis) {
        if (!(st.*kGiven[axis]))
            continue;
        double &position = st.*kPosition[axis];
        double &word = st.*kWord[axis];
        if (st.absmode || (axis <= kY && st.setrotation)) {
            position = word;
            if (axis < 3)
                apart[axis] = 0; // the machine stands there too
        } else {
            position += word;
            word = position;
        }
    }
    if (st.rse) {
        if (st.absmode) {
            st.ar = st.r;
        } else {
            st.ar += st.r;
            st.r = st.ar;
        }
    }
}

// G51: centre from X, Y, Z (else I, J, K, else 0), factor P (else 1). The block still moves.
void TCalcRun::setupScaling() {
    if (!st.setscaleing)
        return;
    st.scaling = true;
    st.scalx = st.xse ? st.x : st.ise ? st.i : 0;
    st.scaly = st.yse ? st.y : st.jse ? st.j : 0;
    st.scalz = st.zse ? st.z : st.kse ? st.k : 0;
    st.scal = st.pse ? st.pfloat : 1;
}

// G68: the centre is the position after the block's words, the angle R degrees; the block
// itself does not move in X and Y.
void TCalcRun::setupRotation() {
    if (!st.setrotation)
        return;
    st.rotation = true;
    st.g68rotx = st.ax;
    st.g68roty = st.ay;
    st.ax = st.ox;
    st.ay = st.oy;
    apartAtBlockStartFor(3);
    st.xse = st.yse = false;
    st.g68rot = st.rse ? st.r * kDegree : 0;
    rotcos = std::cos(st.g68rot);
    rotsin = std::sin(st.g68rot);
}

// M words act after the motion: the last M word of the block counts.
void TCalcRun::mWords() {
    if (!st.mse)
        return;
    if (st.m == 87) {
        st.xmirror = true;
        st.xmirrorx = 0;
    } else if (st.m == 88) {
        st.ymirror = true;
        st.ymirrory = 0;
    } else if (st.m == 89) {
        st.xmirror = st.ymirror = false;
    } else if (st.m == 2 || st.m == 30) {
        endrun = true;
    } else if (st.m == 99) {
        returnFromSub();
    } else if (st.m == 97 || st.m == 98) {
        subprogramCall();
    }
}

// G54 ... G59: the path drawn so far stays where it is on the machine and is re-expressed in
// work system n.
void TCalcRun::useworkoffset(int n) {
    double delta[kAxes];
    bool changes = false;
    for (int axis = 0; axis < kAxes; ++axis) {
        delta[axis] = st.glo[axis] - st.offsets[n][axis];
        changes = changes || delta[axis] != 0;
    }
    for (int axis = 0; axis < kAxes; ++axis) {
        st.*kPosition[axis] += delta[axis];
        st.*kBlockStart[axis] += delta[axis];
        st.glo[axis] = st.offsets[n][axis];
    }
    if (changes)
        shiftPlot(delta);
}

// Polar and Cartesian form of the current and block-start positions in the active plane.
void TCalcRun::ConvertToCardKoord() {
    convertPoint(st.ax, st.ay, st.az, st.plane, toCartesian);
    convertPoint(st.ox, st.oy, st.oz, st.plane, toCartesian);
}

void TCalcRun::ConvertToPolarKoord() {
    convertPoint(st.ax, st.ay, st.az, st.plane, toPolar);
    convertPoint(st.ox, st.oy, st.oz, st.plane, toPolar);
}

} // namespace morvilo
