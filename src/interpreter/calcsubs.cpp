// Macro and subprogram calls: G65, G66/G67 and the modal call, M97/M98, M99, and the search for
// a program number in the text and in the folder of subprogram files.

#include "editor/editorcore.h"
#include "expressions/floattostr.h"
#include "expressions/variablestore.h"
#include "interpreter/calcrunimpl.h"
#include "linetext/linetext.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace morvilo {

namespace {

// Calls nested deeper than this end the run: a program that calls itself without end stays
// bounded in memory and open files.
constexpr uint32_t kMaxCallDepth = 10000;

// The variables that macro arguments set, by letter.
struct MacroArgument {
    int variable;
    double tcalcstate::*value;
    bool tcalcstate::*given;
};
constexpr MacroArgument kMacroArguments[] = {
    {1, &tcalcstate::aa, &tcalcstate::ase},  {2, &tcalcstate::bb, &tcalcstate::bse},
    {3, &tcalcstate::cc, &tcalcstate::cse},  {4, &tcalcstate::i, &tcalcstate::ise},
    {5, &tcalcstate::j, &tcalcstate::jse},   {6, &tcalcstate::k, &tcalcstate::kse},
    {7, &tcalcstate::dd, &tcalcstate::dse},  {8, &tcalcstate::ee, &tcalcstate::ese},
    {9, &tcalcstate::ff, &tcalcstate::fse},  {11, &tcalcstate::hh, &tcalcstate::hse},
    {13, &tcalcstate::m, &tcalcstate::mse},  {17, &tcalcstate::qq, &tcalcstate::qse},
    {18, &tcalcstate::r, &tcalcstate::rse},  {19, &tcalcstate::sss, &tcalcstate::sse},
    {20, &tcalcstate::tt, &tcalcstate::tse}, {21, &tcalcstate::u, &tcalcstate::use},
    {22, &tcalcstate::v, &tcalcstate::vse},  {23, &tcalcstate::w, &tcalcstate::wse},
    {24, &tcalcstate::x, &tcalcstate::xse},  {25, &tcalcstate::y, &tcalcstate::yse},
    {26, &tcalcstate::z, &tcalcstate::zse},
};

// value rounded (halves to even) as a program number or count; false when it does not fit.
bool roundedInt(double value, int32_t &result) {
    const double rounded = RoundHalfEven(value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0))
        return false;
    result = int32_t(rounded);
    return true;
}

} // namespace

// #0 ... #99 as a call starts with them, or as a return gives them back.
// They count as written by this block, so that the next block's values-before (ova, which the
// variable list shows) take them over like an assignment's.
void TCalcRun::setLowVariables(const double (&values)[kLowVariables]) {
    for (int n = 0; n < kLowVariables; ++n)
        vars.Write(n, values[n]);
    std::copy(values, values + kLowVariables, vars.nva.begin());
    for (int n = 0; n < kLowVariables; ++n)
        written.push_back(n);
}

// values with the block's argument letters written in.
void TCalcRun::writeArguments(double (&values)[kLowVariables]) const {
    for (const MacroArgument &argument : kMacroArguments)
        if (st.*argument.given)
            values[argument.variable] = st.*argument.value;
}

// A new top of the call stack for program num with count passes, remembering the calling line
// and the caller's #0 ... #99. Null when the calls nest too deep (the run ends, saying why) or
// the stack cannot grow.
tsub *TCalcRun::pushCall(int32_t num, int32_t count) {
    if (subs.Count() >= kMaxCallDepth) {
        endrun = true;
        if (env.notice)
            env.notice(UserMessage{"Unterprogrammaufrufe zu tief verschachtelt (mehr als " +
                                       std::to_string(kMaxCallDepth) + "), Lauf beendet",
                                   {}});
        return nullptr;
    }
    tsub *entry = subs.Add();
    if (!entry) {
        endrun = true;
        return nullptr;
    }
    entry->linenr = int32_t(memo1->alinenr);
    entry->linestart = lineStart;
    entry->lineend = lineEnd;
    entry->num = num;
    entry->count = count;
    entry->local = false;
    std::copy(vars.va.begin(), vars.va.begin() + kLowVariables, entry->vars);
    return entry;
}

// G65: program P with the block's argument letters in #1 ... #26. The arguments are no
// coordinates: the block does not move.
void TCalcRun::macroCall() {
    for (int axis = 0; axis < kAxes; ++axis)
        st.*kPosition[axis] = st.*kBlockStart[axis];
    apartAtBlockStartFor(7);
    int32_t num = 0;
    if ((st.pse && !roundedInt(st.p, num)) || !pushCall(num, 1))
        return;
    double values[kLowVariables];
    std::copy(vars.va.begin(), vars.va.begin() + kLowVariables, values);
    writeArguments(values);
    setLowVariables(values);
    callSub(num);
}

// G66: the macro P runs after every following positioning block, with #0 ... #99 as they are
// now and the block's argument letters written in.
void TCalcRun::modalMacroSetup() {
    st.executemodal = true;
    st.modalsub = tsub{};
    st.modalsub.count = 1;
    if (st.pse && !roundedInt(st.p, st.modalsub.num))
        st.modalsub.num = 0;
    st.modalsub.linenr = int32_t(memo1->alinenr);
    std::copy(vars.va.begin(), vars.va.begin() + kLowVariables, st.modalsub.setva);
    writeArguments(st.modalsub.setva);
}

// After a positioning block while G66 is in force (not the G66 block itself): the modal macro,
// which makes no modal calls of its own until it returns. A block that called or returned
// already (G65, M97, M98, M99) has moved the reading elsewhere and makes no modal call.
void TCalcRun::modalCall() {
    if (st.executemodalset || endrun || st.executesub ||
        (st.mse && (st.m == 97 || st.m == 98 || st.m == 99)))
        return;
    bool positioned = st.ise || st.jse || st.kse;
    for (const AxisFlag given : kGiven)
        positioned = positioned || st.*given;
    if (!positioned)
        return;
    st.executemodal = false;
    const tsub modalsub = st.modalsub;
    tsub *entry = pushCall(modalsub.num, 1);
    if (!entry)
        return;
    std::copy(modalsub.setva, modalsub.setva + kLowVariables, entry->setva);
    entry->modal = true;
    setLowVariables(modalsub.setva);
    callSub(modalsub.num);
}

// M97, M98: program P (else O) with L (else K) passes; without L and K a P of five or more
// digits holds the passes before its last four digits. No arguments; no passes, no call. With
// HAAS, M97 calls the local subprogram that starts at the block number P of the same text.
void TCalcRun::subprogramCall() {
    int32_t num = 0, passes = 1;
    if ((st.pse && !roundedInt(st.p, num)) || (!st.pse && st.ose && !roundedInt(st.o, num)))
        return;
    if (st.lse || st.kse) {
        if (!roundedInt(st.lse ? st.l : st.k, passes))
            return;
    } else if (st.pse && num >= 10000) {
        passes = num / 10000;
        num %= 10000;
    }
    if (passes < 1)
        return;
    tsub *entry = pushCall(num, passes);
    if (!entry)
        return;
    entry->local = options.Haas && st.m == 97;
    callSub(num);
}

// M99: back to the caller (or the next pass), with the caller's #0 ... #99; in the main
// program it ends the run.
void TCalcRun::returnFromSub() {
    if (subs.Count() == 0) {
        endrun = true;
        return;
    }
    tsub &top = subs[subs.Count() - 1];
    if (top.storelines) {
        top.storelines = false;
        closeSubprogramFile(top);
    }
    if (top.modal) {
        st.executemodal = st.executemodalset = true;
        st.modalsub = top;
    }
    --top.count;
    setLowVariables(top.vars);
    if (top.count >= 1) {
        callSub(top.num);
        return;
    }
    // Reading goes on after the calling line, found by its text offset.
    memo1->FirstLine();
    memo1->olpos = top.linestart;
    memo1->lpos = top.lineend;
    memo1->alinenr = top.linenr;
    subs.Delete(subs.Count() - 1);
}

// The subprogram file's editor goes; the caller's editor reads again.
void TCalcRun::closeSubprogramFile(const tsub &entry) {
    labels.erase(memo1);
    jumps.erase(memo1);
    lastJump = nullptr;
    if (env.subeditors)
        env.subeditors->Release(memo1);
    memo1 = entry.texteditor;
    --st.mainprog;
}

// Program nr is read next: after its O line in the current text, unless a file of the
// subprogram folder holds it, which wins. The calling line is no O line, even when it names the
// program by O ("M98O1000"). A local call (HAAS M97) runs from the line holding block number nr
// of the current text. Found nowhere, the user is told and the run ends after the current line.
void TCalcRun::callSub(int32_t nr) {
    if (subs.Count() == 0)
        return;
    const std::string number = std::to_string(nr);
    if (subs[subs.Count() - 1].local) {
        if (!jumpToLabel(kLabelN, number, -1, true) && !flags.breakprogram)
            missingTarget("Unterprogramm %1 nicht gefunden (Zeile %2), Lauf beendet", "N" + number);
        return;
    }
    const bool inText = jumpToLabel(kLabelO, number, subs[subs.Count() - 1].linestart, false);
    if (flags.breakprogram)
        return;
    const std::string *file = env.subeditors ? subprogramFile(number) : nullptr;
    if (!file) {
        if (!inText)
            missingTarget("Unterprogramm %1 nicht gefunden (Zeile %2), Lauf beendet", "O" + number);
        return;
    }
    tsub &top = subs[subs.Count() - 1];
    top.storelines = true;
    top.texteditor = memo1;
    if (st.mainprog == 0) {
        st.mainlinevon = top.linestart;
        st.mainlinebis = top.lineend;
    }
    TEditorCore *editor = env.subeditors->Create(options.showsubs);
    ++st.mainprog;
    // A file that cannot be opened leaves the editor empty: reading ends and so does the run.
    editor->OpenFileWithName(*file);
    memo1 = editor;
    memo1->FirstLine();
}

// The first file of the subprogram folder whose name holds O and the program number; null
// when there is none. The folder is listed once per run, in name order.
const std::string *TCalcRun::subprogramFile(const std::string &number) {
    if (!subfilesListed) {
        subfilesListed = true;
        if (!options.subprogramFolder.empty()) {
            std::error_code error;
            for (std::filesystem::directory_iterator it(options.subprogramFolder, error), end;
                 !error && it != end; it.increment(error))
                if (it->is_regular_file(error))
                    subfiles.push_back(it->path().string());
            std::sort(subfiles.begin(), subfiles.end());
        }
    }
    for (const std::string &file : subfiles)
        if (poss0s(std::filesystem::path(file).filename().string(), "O", number) >= 1)
            return &file;
    return nullptr;
}

} // namespace morvilo
