#include "interpreter/calcrun.h"

#include "editor/editorcore.h"
#include "expressions/expressionerror.h"
#include "expressions/floattostr.h"
#include "expressions/variablestore.h"
#include "interpreter/calcrunimpl.h"
#include "interpreter/variablenzuweisen.h"
#include "linetext/linetext.h"
#include "vantrel/numberparse.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace morvilo {

namespace {

// Full-speed runs let the interface work at most this often.
constexpr auto kPumpInterval = std::chrono::milliseconds(15);

char upper(char ch) {
    return ch >= 'a' && ch <= 'z' ? char(ch - 'a' + 'A') : ch;
}

// text starts with word (letters compared without regard to case).
bool startsWith(std::string_view text, std::string_view word) {
    if (text.size() < word.size())
        return false;
    for (size_t k = 0; k < word.size(); ++k)
        if (upper(text[k]) != word[k])
            return false;
    return true;
}

// The position of the bracket that closes the one at open (depth counting), or npos.
size_t matchingBracket(std::string_view text, size_t open, char left, char right) {
    int64_t depth = 0;
    for (size_t k = open; k < text.size(); ++k) {
        if (text[k] == left)
            ++depth;
        else if (text[k] == right && --depth == 0)
            return k;
    }
    return std::string_view::npos;
}

// Only a text whose block-number-free copy may start with IF, GOTO, END, WHILE or DO needs
// that copy: one starting with N, or with one of those words' first letters.
bool mayHoldControlWord(const std::string &s) {
    if (s.empty())
        return false;
    const char first = upper(s[0]);
    return first == 'N' || first == 'I' || first == 'E' || first == 'W' || first == 'D' ||
           (first == 'G' && s.size() > 1 && upper(s[1]) == 'O');
}

// The loop or label number after a control word; false when the rest is not an integer.
bool labelNumber(std::string_view rest, std::string &number) {
    int64_t value = 0;
    if (!ParseInteger(rest, value))
        return false;
    number = std::to_string(value);
    return true;
}

} // namespace

TCalcRun::TCalcRun(const CalcEnvironment &env)
    : env(env), memo1(env.memo1), flags(*env.flags), vars(*env.variables), options(*env.options),
      stream(*env.motion), subs(&asub), evaluator(*env.variables) {}

void TCalcRun::Run() {
    try {
        start();
        while (!endrun && !flags.breakprogram && memo1->NextLine())
            processLine();
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

// ---- run start and end ---------------------------------------------------------------------

void TCalcRun::start() {
    st = tcalcstate{};
    wantsCurves = stream.WantsCurves();
    stream.Begin();
    subs.Clear();
    flags.donotdraw = false;
    vars.ResetValues();
    vars.nva.fill(0);
    vars.ova.fill(0);
    st.plane = options.lathe() ? 18 : 17;
    st.absmode = true;
    // Lathes feed per revolution until told otherwise, mills per minute.
    move = TPlotMove{};
    move.feedMode = options.lathe() ? FeedMode::PerRevolution : FeedMode::PerMinute;
    spindleOn = spindleCcw = false;
    warnedNoFeed = warnedZeroFeed = warnedNoSpeed = false;
    mainLine = 0;
    blocksWithWords = 0;
    // The axis cross.
    pencol = kColourWhite;
    penstyle = psDashDotDot;
    st.ii = -1;
    line3d(1000, 0, 0, -1000, 0, 0);
    line3d(0, 1000, 0, 0, -1000, 0);
    line3d(0, 0, 1000, 0, 0, -1000);
    penstyle = psSolid;
    st.ii = 0;
    if (flags.plotvon > 0)
        flags.donotdraw = true;
    mymoveto(0, 0, 0, 0, 0, 0, 0, 0, 0); // the start point
    st.gse = false;
    st.g = 0;
    flags.breakprogram = false;
    flags.blocks = 0;
    memo1->FirstLine();
    lastPump = std::chrono::steady_clock::now();
}

void TCalcRun::finish() {
    // Subprogram files still loaded give the main editor back.
    for (int64_t k = int64_t(subs.Count()) - 1; k >= 0; --k)
        if (subs[uint32_t(k)].storelines)
            closeSubprogramFile(subs[uint32_t(k)]);
    subs.Clear();
    flags.animatesleep = 0;
    flags.plotbis = 0;
    flags.plotvon = 0;
    flags.inrender = false;
    MotionEnd end;
    end.units = move.units;
    for (int axis = 0; axis < kAxes; ++axis)
        end.machineOffset[axis] = st.loc[axis] + st.glo[axis] - st.g92shift[axis];
    end.blocks = blocksWithWords;
    stream.End(end);
}

// ---- the line loop ---------------------------------------------------------------------------

void TCalcRun::processLine() {
    ++flags.blocks;
    st.ii = memo1->alinenr;
    lineStart = memo1->olpos;
    lineEnd = memo1->lpos;
    if (st.mainprog == 0) {
        linevon = lineStart;
        linebis = lineEnd - 1;
        mainLine = st.ii;
    }
    if (flags.plotvon > 0 && lineStart <= flags.plotvon && flags.plotvon <= lineEnd &&
        st.mainprog == 0)
        flags.donotdraw = false;
    if (flags.animatesleep > 0)
        memo1->MarkLine();
    prepareText();
    if (options.donotprocessdeletedlines && !s.empty() && s[0] == '/')
        s.clear();
    if (!s.empty())
        ++blocksWithWords;
    resetBlock();
    if (mayHoldControlWord(s) && controlWords() == Flow::SkipLineEnd) {
        pump(false); // a loop of jumping lines must stay stoppable
        return;
    }
    if (mayHoldExpression)
        substituteBrackets();
    if (mayHoldVariable)
        assignVariables();
    commitVariables();
    blockWords = {};
    splitWords();
    applyBlock();
    blockFacts();
    if (!endrun)
        endOfLine();
    if (targetMissing)
        endrun = true;
}

// How prepareText treats each byte with the current brackets: dropped (space, tab), copied,
// copied and noted (an expression bracket or "#": the block may need substituting), or looked
// at (a comment bracket, ";").
enum : uint8_t { kCharDrop, kCharCopy, kCharNote, kCharLook };

void TCalcRun::classifyChars(const BracketChars &brackets) {
    std::fill(std::begin(charClass), std::end(charClass), uint8_t(kCharCopy));
    charClass[uint8_t(' ')] = charClass[uint8_t('\t')] = kCharDrop;
    charClass[uint8_t('#')] = charClass[uint8_t(brackets.expleft)] = kCharNote;
    charClass[uint8_t(brackets.commleft)] = charClass[uint8_t(brackets.commright)] = kCharLook;
    charClass[uint8_t(';')] = charClass[0] = kCharLook;
    classified = brackets;
}

// The line without spaces, tabs and comments; comments do not nest and an unclosed one runs to
// the end of the line. A ";" outside a comment ends the block: what follows is no words.
// Notes whether the block holds an expression bracket or a "#" (mayHoldExpression,
// mayHoldVariable); the steps after it only ever remove characters of s or put numbers in.
void TCalcRun::prepareText() {
    const BracketChars &brackets = Brackets();
    if (brackets.commleft != classified.commleft || brackets.commright != classified.commright ||
        brackets.expleft != classified.expleft || brackets.expright != classified.expright)
        classifyChars(brackets);
    const std::string &line = memo1->line;
    s.resize(line.size());
    char *out = s.data();
    // The 0 after the line's text is looked at: it ends the loop (one inside the line is kept).
    const char *in = line.data(), *const end = in + line.size();
    bool noted = false;
    for (;;) {
        const char ch = *in++;
        const uint8_t kind = charClass[uint8_t(ch)];
        *out = ch;
        if (kind <= kCharCopy) {
            out += kind;
        } else if (kind == kCharNote) {
            ++out;
            noted = true;
        } else if (ch == 0) {
            if (in > end)
                break;
            ++out;
        } else if (ch == brackets.commleft) {
            in = in < end ? static_cast<const char *>(
                                std::memchr(in, brackets.commright, size_t(end - in)))
                          : nullptr;
            if (!in)
                break;
            ++in;
        } else if (ch == ';') {
            break;
        } // a closing comment bracket outside a comment is dropped
    }
    s.resize(size_t(out - s.data()));
    mayHoldExpression = mayHoldVariable = false;
    if (noted) {
        mayHoldExpression = s.find(brackets.expleft) != std::string::npos;
        mayHoldVariable = s.find('#') != std::string::npos;
    }
}

void TCalcRun::resetBlock() {
    st.foundchar = false;
    st.num = {};
    st.ose = st.pse = st.mse = false;
    st.xse = st.yse = st.zse = st.ase = st.bse = st.cse = st.use = st.vse = st.wse = false;
    if (!options.IJKsindModal1) {
        st.ise = st.jse = st.kse = false;
        st.i = st.j = st.k = 0;
    }
    st.rse = st.lse = false;
    st.setworkoffset = st.setlocalworkshift = st.setglobaloffset = false;
    st.usemaschinecoordinates = st.g28 = st.setcanned = st.setscaleing = false;
    st.setrotation = st.setmirror = st.executesub = st.executemodalset = false;
    st.cutcirclecw = st.cutcircleccw = st.setlathecycle = false;
    st.r = 0;
    st.x = st.y = st.z = st.aa = st.bb = st.cc = st.u = st.v = st.w = 0;
}

// ---- control words -----------------------------------------------------------------------------

// Evaluates the bracketed condition that opens at `open`; close receives the closing bracket.
// A condition without its closing bracket, or one the evaluator rejects, does not hold.
bool TCalcRun::conditionHolds(const std::string &text, size_t open, size_t &close) {
    const BracketChars brackets = Brackets();
    close = matchingBracket(text, open, brackets.expleft, brackets.expright);
    if (close == std::string::npos)
        return false;
    try {
        evaluator.HandleExpression(std::string_view(text).substr(open + 1, close - open - 1),
                                   result);
    } catch (const ExpressionError &) {
        return false;
    }
    return result != "0";
}

// IF, GOTO, END, WHILE and DO, recognised on the line without its block numbers and before
// brackets and variables are replaced (so "GOTO#1" does not jump).
TCalcRun::Flow TCalcRun::controlWords() {
    if (!mayHoldControlWord(s))
        return Flow::Go;
    const char expleft = Brackets().expleft;
    so = s;
    RemoveAllBlockNummers(so);
    if (so.size() > 2 && startsWith(so, "IF") && so[2] == expleft && !ifWord())
        return Flow::Go;
    std::string number;
    if (so.size() > 4 && startsWith(so, "GOTO") && labelNumber(so.substr(4), number)) {
        // The jump runs the target block. Without the label the line is processed on and the
        // run ends after it.
        const int64_t site = lineStart, siteLine = memo1->alinenr;
        if (jumpToLabel(kLabelN, number, -1, true)) {
            if (memo1->olpos <= site)
                endlessLoop(site, siteLine);
            return Flow::SkipLineEnd;
        }
        if (flags.breakprogram)
            return Flow::SkipLineEnd;
        missingTarget("Sprungziel %1 nicht gefunden (Zeile %2), Lauf beendet", "N" + number);
        return Flow::Go;
    }
    if (so.size() > 3 && startsWith(so, "END") && labelNumber(so.substr(3), number)) {
        // Back to the nearest DO n before the line: reading continues with that line itself,
        // so that a WHILE ... DO n is tested again. Without one the line is processed on as a
        // line of no effect.
        const int64_t site = lineStart, siteLine = memo1->alinenr;
        if (const LabelLine *target = nearestLabel(kLabelDo, number, site, false)) {
            moveTo(*target, true);
            endlessLoop(site, siteLine);
            return Flow::SkipLineEnd;
        }
        if (flags.breakprogram)
            return Flow::SkipLineEnd;
    }
    if (so.size() > 5 && startsWith(so, "WHILE") && so[5] == expleft)
        return whileWord();
    if (so.size() > 2 && startsWith(so, "DO"))
        s.clear();
    return Flow::Go;
}

// IF[condition]: a condition of "0" empties the line; otherwise the line goes on with what
// follows the condition (and a "THEN" after it). False when the line was emptied.
bool TCalcRun::ifWord() {
    size_t close = 0;
    if (!conditionHolds(so, 2, close)) {
        s.clear();
        return false;
    }
    if (so.size() >= close + 5 && startsWith(std::string_view(so).substr(close + 1), "THEN"))
        so.erase(0, close + 5);
    else
        so.erase(0, close + 1);
    s = so;
    return true;
}

// WHILE[condition]DOn: the line itself does nothing; a condition of "0" continues after the
// first line after it holding ENDn.
TCalcRun::Flow TCalcRun::whileWord() {
    size_t close = 0;
    const bool holds = conditionHolds(so, 5, close);
    s.clear();
    std::string number;
    if (holds || close == std::string::npos || !startsWith(so.substr(close + 1), "DO") ||
        !labelNumber(so.substr(close + 3), number))
        return Flow::Go;
    missingLine = memo1->alinenr;
    if (const LabelLine *target = nearestLabel(kLabelEnd, number, lineStart, true)) {
        moveTo(*target, false);
        if (flags.plotbis > 0 && memo1->olpos <= flags.plotbis && flags.plotbis <= memo1->lpos &&
            st.mainprog == 0)
            flags.donotdraw = true;
        return Flow::SkipLineEnd;
    }
    if (flags.breakprogram)
        return Flow::SkipLineEnd;
    missingTarget("Sprungziel %1 nicht gefunden (Zeile %2), Lauf beendet", "END" + number);
    return Flow::Go;
}

// The labels of the text memo1 reads, listed at the first jump, loop end or call in it. Null
// when the run was stopped while listing them.
const TCalcRun::LabelIndex *TCalcRun::labelIndex() {
    const auto known = labels.find(memo1);
    if (known != labels.end())
        return &known->second;
    LabelIndex index;
    const std::string line = memo1->line;
    const int64_t olpos = memo1->olpos, lpos = memo1->lpos, alinenr = memo1->alinenr;
    memo1->FirstLine();
    std::string text;
    while (memo1->NextLine()) {
        if ((memo1->alinenr & 4095) == 4095 && interrupted())
            return nullptr;
        const std::string &raw = memo1->line;
        // Every label holds an N or an O (END, DO).
        if (raw.find_first_of("NnOo") == std::string::npos)
            continue;
        text = BlockWordsText(raw);
        // As poss0s reads a label: the letters, leading zeros, then the digits up to the next
        // non-digit; the letters need a character after them.
        for (size_t p = 0; p + 1 < text.size(); ++p) {
            const char letter = upper(text[p]);
            LabelKind kind;
            size_t from = p + 1;
            if (letter == 'N') {
                kind = kLabelN;
            } else if (letter == 'O') {
                kind = kLabelO;
            } else if (letter == 'D' && upper(text[p + 1]) == 'O' && p + 2 < text.size()) {
                kind = kLabelDo;
                from = p + 2;
            } else if (letter == 'E' && p + 3 < text.size() && upper(text[p + 1]) == 'N' &&
                       upper(text[p + 2]) == 'D') {
                kind = kLabelEnd;
                from = p + 3;
            } else {
                continue;
            }
            while (from < text.size() && text[from] == '0')
                ++from;
            size_t to = from;
            while (to < text.size() && text[to] >= '0' && text[to] <= '9')
                ++to;
            auto &lines = index.tables[kind][text.substr(from, to - from)];
            if (lines.empty() || lines.back().olpos != memo1->olpos)
                lines.push_back({memo1->olpos, memo1->lpos, memo1->alinenr});
        }
    }
    memo1->line = line;
    memo1->olpos = olpos;
    memo1->lpos = lpos;
    memo1->alinenr = alinenr;
    return &labels.emplace(memo1, std::move(index)).first->second;
}

// The lines of the current text holding the label `number` of the kind, in text order; null
// when there are none or the run was stopped.
const std::vector<TCalcRun::LabelLine> *TCalcRun::labelLines(LabelKind kind,
                                                             const std::string &number) {
    const LabelIndex *index = labelIndex();
    if (!index)
        return nullptr;
    std::string_view label = number;
    while (!label.empty() && label.front() == '0')
        label.remove_prefix(1);
    const auto &table = index->tables[kind];
    const auto found = table.find(std::string(label));
    return found == table.end() ? nullptr : &found->second;
}

// The line holding the label nearest to the text offset `at`: the first after it (after), or
// the last before it; null when there is none.
const TCalcRun::LabelLine *TCalcRun::nearestLabel(LabelKind kind, const std::string &number,
                                                  int64_t at, bool after) {
    const std::vector<LabelLine> *lines = labelLines(kind, number);
    if (!lines)
        return nullptr;
    const auto first = std::partition_point(lines->begin(), lines->end(), [at](const LabelLine &l) {
        return l.olpos <= at;
    }); // the first line after `at`
    if (after)
        return first == lines->end() ? nullptr : &*first;
    const auto last = std::partition_point(lines->begin(), first, [at](const LabelLine &l) {
        return l.olpos < at;
    }); // the first line at or after `at`
    return last == lines->begin() ? nullptr : &*(last - 1);
}

// The next line read is the target line (runTarget) or the one after it.
void TCalcRun::moveTo(const LabelLine &target, bool runTarget) {
    memo1->FirstLine();
    if (runTarget) {
        memo1->olpos = memo1->lpos = target.olpos;
        memo1->alinenr = target.linenr - 1;
    } else {
        memo1->olpos = target.olpos;
        memo1->lpos = target.lpos;
        memo1->alinenr = target.linenr;
    }
}

// Moves the reader to the first line of the text holding the label, passing over the line at
// text offset `skip`: the next line read is that line (runTarget) or the one after it. False
// (the reader unmoved) when there is no such line or the run was stopped.
bool TCalcRun::jumpToLabel(LabelKind kind, const std::string &number, int64_t skip,
                           bool runTarget) {
    missingLine = memo1->alinenr;
    const std::vector<LabelLine> *lines = labelLines(kind, number);
    if (!lines)
        return false;
    for (const LabelLine &target : *lines) {
        if (target.olpos == skip)
            continue;
        moveTo(target, runTarget);
        return true;
    }
    return false;
}

// A jump or call whose target does not exist: the user learns which one and where; the run
// ends after the current line.
void TCalcRun::missingTarget(const char *text, const std::string &target) {
    targetMissing = true;
    if (env.notice)
        env.notice(UserMessage{text, {target, std::to_string(missingLine + 1)}});
}

// A jump back from the block at text offset `site` of the current text (line index
// siteLine). What the run does next depends only on where it reads, the variables, the state
// of the simulated control and the call stack; when the same jump is taken again with all of
// them as they were the last time, the run repeats itself for ever: it ends, saying where.
// Cheap summaries come first (the variables' hash, the clock reads, the call depth); only
// while they stay the same are the state and the call stack kept and compared bit for bit,
// and then the variables.
void TCalcRun::endlessLoop(int64_t site, int64_t siteLine) {
    if (!lastJump || lastJumpEditor != memo1 || lastJumpSite != site) {
        lastJump = &jumps[memo1][site];
        lastJumpEditor = memo1;
        lastJumpSite = site;
    }
    JumpState &jump = *lastJump;
    const uint32_t depth = subs.Count();
    if (jump.valuesHash != vars.valuesHash || jump.clockReads != vars.clockReads ||
        jump.depth != depth) {
        jump.valuesHash = vars.valuesHash;
        jump.clockReads = vars.clockReads;
        jump.depth = depth;
        jump.kept = JumpState::Kept::Nothing;
        jump.values.reset();
        return;
    }
    // The word being read is no state: every block reads its own.
    tcalcstate now;
    std::memcpy(static_cast<void *>(&now), &st, sizeof now);
    now.c = 0;
    now.num = {};
    now.d = 0;
    now.foundchar = false;
    const size_t stackBytes = size_t(depth) * sizeof(tsub);
    const bool sameState =
        jump.kept != JumpState::Kept::Nothing &&
        std::memcmp(static_cast<const void *>(jump.state.get()), &now, sizeof now) == 0 &&
        (depth == 0 || std::memcmp(jump.stack.data(), subs.Data(), stackBytes) == 0);
    if (!sameState) {
        if (!jump.state)
            jump.state = std::make_unique<tcalcstate>();
        std::memcpy(static_cast<void *>(jump.state.get()), &now, sizeof now);
        jump.stack.resize(depth);
        if (depth > 0)
            std::memcpy(static_cast<void *>(jump.stack.data()), subs.Data(), stackBytes);
        jump.kept = JumpState::Kept::State;
        return;
    }
    if (jump.kept == JumpState::Kept::State ||
        std::memcmp(jump.values->data(), vars.va.data(), sizeof vars.va) != 0) {
        if (!jump.values)
            jump.values = std::make_unique<VariableStore::Values>();
        *jump.values = vars.va;
        jump.kept = JumpState::Kept::StateAndValues;
        return;
    }
    endrun = true;
    if (env.notice)
        env.notice(UserMessage{"Endlosschleife: der Rücksprung in Zeile %1 wiederholt sich mit "
                               "denselben Werten, Lauf beendet",
                               {std::to_string(siteLine + 1)}});
}

// ---- expressions and variables ---------------------------------------------------------------

// Every complete top-level bracket group is replaced by its value's text, left to right. A group
// the evaluator rejects becomes kFailedExpression, so the word or assignment it belonged to has
// no effect.
void TCalcRun::substituteBrackets() {
    const BracketChars brackets = Brackets();
    size_t from = s.find(brackets.expleft);
    if (from == std::string::npos)
        return;
    substituted.clear();
    size_t copied = 0; // s up to here is in `substituted`
    while (from != std::string::npos) {
        const size_t close = matchingBracket(s, from, brackets.expleft, brackets.expright);
        if (close == std::string::npos)
            break;
        substituted.append(s, copied, from - copied);
        try {
            evaluator.HandleExpression(std::string_view(s).substr(from + 1, close - from - 1),
                                       result);
            substituted += result;
        } catch (const ExpressionError &) {
            substituted += kFailedExpression;
        }
        copied = close + 1;
        from = s.find(brackets.expleft, copied);
    }
    substituted.append(s, copied);
    s.swap(substituted);
}

void TCalcRun::assignVariables() {
    if (s.find('#') == std::string::npos)
        return;
    VariablenZuweisen(s, vars, evaluator, [this](int n) {
        written.push_back(n);
        if ((n == 3000 || n == 3006) && env.message)
            env.message("Makro Ausgabe " + floattostr(vars.nva[size_t(n)]), memo1->line);
        if (flags.animatesleep > 0 && env.variableline)
            env.variableline(std::to_string(n) + ": " + floattostr(vars.nva[size_t(n)]));
    });
    VariablenEinsetzen(s, vars, scratch);
}

// The block's assignments take effect: ova holds the values from before the block, va the new
// ones. nva equals va outside a block, so only the variables assigned in this block and the
// last one need copying.
void TCalcRun::commitVariables() {
    if (lastWritten.empty() && written.empty())
        return;
    for (const int n : lastWritten)
        vars.ova[size_t(n)] = vars.va[size_t(n)];
    for (const int n : written)
        vars.ova[size_t(n)] = vars.va[size_t(n)];
    for (const int n : written)
        vars.Write(n, vars.nva[size_t(n)]);
    lastWritten.swap(written);
    written.clear();
}

// ---- words -----------------------------------------------------------------------------------

namespace {

// The characters that make up a word's number: digits, ".", "-", "+" and the space.
constexpr std::array<bool, 256> numberChars() {
    std::array<bool, 256> chars{};
    for (char c = '0'; c <= '9'; ++c)
        chars[uint8_t(c)] = true;
    chars[uint8_t('.')] = chars[uint8_t('-')] = chars[uint8_t('+')] = chars[uint8_t(' ')] = true;
    return chars;
}
constexpr std::array<bool, 256> kNumberChar = numberChars();

} // namespace

// A character other than ".", "-", "+", a digit or a space starts a word; the others make up its
// number. Characters before the first letter are dropped.
void TCalcRun::splitWords() {
    const char *const text = s.data(), *const end = text + s.size();
    const char *p = text;
    while (p < end && kNumberChar[uint8_t(*p)])
        ++p;
    st.foundchar = false;
    while (p < end) {
        st.foundchar = true;
        st.c = upper(*p);
        // Most numbers are short decimals, read while the word is split.
        const char *const number = ++p;
        const ShortDecimal read = ScanShortDecimal<true>(p, end); // s ends in a 0
        p = read.stop;
        const bool whole = p == end || !kNumberChar[uint8_t(*p)];
        while (p < end && kNumberChar[uint8_t(*p)])
            ++p;
        st.num = std::string_view(number, size_t(p - number));
        interpret(read.ok && whole ? &read.value : nullptr);
    }
}

// ---- line end and events ---------------------------------------------------------------------

void TCalcRun::endOfLine() {
    if (flags.plotbis > 0 && lineStart <= flags.plotbis && flags.plotbis <= lineEnd &&
        st.mainprog == 0) {
        flags.pause = true;
        flags.animatesleep = 100;
    }
    if (flags.animatesleep > 0 && env.events)
        env.events->Sleep(flags.verzoeg);
    pump(flags.animatesleep > 0 || flags.pause || flags.oneline);
    // Nobody could end a pause without an event loop.
    while (env.events && flags.pause && !flags.oneline && !flags.breakprogram)
        env.events->WaitForEvents();
    flags.oneline = false;
}

// Lets the interface work: always when asked to, else at most every kPumpInterval (the clock
// is read only every 16th call).
void TCalcRun::pump(bool always) {
    if (!env.events)
        return;
    if (!always) {
        if (++pumpTick < 16)
            return;
        pumpTick = 0;
        if (std::chrono::steady_clock::now() - lastPump < kPumpInterval)
            return;
    }
    env.events->ProcessEvents();
    lastPump = std::chrono::steady_clock::now();
}

bool TCalcRun::interrupted() {
    pump(false);
    return flags.breakprogram;
}

void CalcBtnClick(const CalcEnvironment &env) {
    if (env.flags->inrender)
        return;
    auto run = std::make_unique<TCalcRun>(env);
    env.flags->inrender = true;
    run->Run();
}

} // namespace morvilo
