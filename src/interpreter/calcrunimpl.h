#pragma once
// The run object of CalcBtnClick: the driver, the words and the motion share its state.

#include "expressions/handleexpression.h"
#include "expressions/variablestore.h"
#include "interpreter/calcinterfaces.h"
#include "interpreter/calcstate.h"
#include "linetext/linetext.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace morvilo {

class TCalcRun {
public:
    explicit TCalcRun(const CalcEnvironment &env);
    void Run();

private:
    enum class Flow { Go, SkipLineEnd };

    // ---- driver (calcrun.cpp) -------------------------------------------------------------
    void start();
    void finish();
    void processLine();
    void prepareText();
    void classifyChars(const BracketChars &brackets);
    void resetBlock();
    Flow controlWords();
    bool ifWord();
    Flow whileWord();
    bool conditionHolds(const std::string &text, size_t open, size_t &close);
    // A line holding a label (N or O and a number, DO n, END n), where it lies in its text.
    struct LabelLine {
        int64_t olpos, lpos, linenr;
    };
    enum LabelKind : uint8_t { kLabelN, kLabelO, kLabelDo, kLabelEnd, kLabelKinds };
    // The labels of one text: of each kind, every line holding each label number (without
    // leading zeros), in text order. Built once per text and run, at the first jump, loop end
    // or call.
    struct LabelIndex {
        std::unordered_map<std::string, std::vector<LabelLine>> tables[kLabelKinds];
    };
    const LabelIndex *labelIndex();
    const std::vector<LabelLine> *labelLines(LabelKind kind, const std::string &number);
    const LabelLine *nearestLabel(LabelKind kind, const std::string &number, int64_t at,
                                  bool after);
    void moveTo(const LabelLine &target, bool runTarget);
    bool jumpToLabel(LabelKind kind, const std::string &number, int64_t skip, bool runTarget);
    void endlessLoop(int64_t site, int64_t siteLine);
    void missingTarget(const char *text, const std::string &target);
    void substituteBrackets();
    void assignVariables();
    void commitVariables();
    void splitWords();
    void endOfLine();
    void pump(bool always);
    bool interrupted();

    // ---- words and block steps (calcwords.cpp) --------------------------------------------
    void interpret(const double *value);
    void unreadableWord();
    void interpretG(double d);
    void applyBlock();
    void setMirrorPositions();
    void polarWordsOfShifts();
    void cannedSetup();
    void newPosition();
    void workOffsetData();
    void setupScaling();
    void setupRotation();
    void localShift();
    void coordinateSetting();
    void modalMacroSetup();
    void circlePockets();
    void holePatterns();
    void macroCall();
    void mWords();
    void cannedStroke();
    void latheRoughingCycle();
    bool holeToScale(double x, double y, double z);
    void modalCall();
    void useworkoffset(int n);
    void wordFacts(double d);
    void blockFacts();
    void warn(const char *text, std::vector<std::string> values = {});
    void ConvertToCardKoord();
    void ConvertToPolarKoord();

    // ---- offsets and coordinate setting (calcoffsets.cpp) ---------------------------------
    void clearAxisFlags();

    // ---- cycles and hole patterns (calccycles.cpp) ----------------------------------------
    bool stroke(double x, double y, double z);
    bool patternHole(double x, double y, int64_t e);
    void patternPen();
    // The machine's path where the drawing differs from it (drilling strokes).
    bool keepsMachinePath() const { return options.Mill() && !options.cyclesToScale; }
    void recordHole(double x, double y, double z);
    void recordApart();
    void apartAtBlockStartFor(unsigned axes); // bit 0: X, 1: Y, 2: Z
    void apartOfCoordinateSetting(const bool (&given)[3]);
    void boltPattern(bool arc);
    void holesOnLine();
    void gridPattern();

    // ---- macros and subprograms (calcsubs.cpp) --------------------------------------------
    static constexpr int kLowVariables = 100; // #0 ... #99, saved and restored by calls
    void setLowVariables(const double (&values)[kLowVariables]);
    void writeArguments(double (&values)[kLowVariables]) const;
    tsub *pushCall(int32_t num, int32_t count);
    void subprogramCall();
    void returnFromSub();
    void closeSubprogramFile(const tsub &entry);
    void callSub(int32_t nr);
    const std::string *subprogramFile(const std::string &number);

    // ---- motion and points (calcmotion.cpp) -----------------------------------------------
    void motion();
    bool arcTurnsUsable();
    void lineToPosition();
    void machineZeroLeg();
    void arcFromR();
    void arcFromIJK();
    bool arcTurnsCcw() const;
    bool arc3d(double mx, double my, double r, double ox, double oy, double oz, double ax,
               double ay, double az, bool ccw);
    bool mymoveto(double x, double y, double z, double a, double b, double c, double u, double v,
                  double w);
    bool mylineto(double x, double y, double z, double a, double b, double c, double u, double v,
                  double w);
    void line3d(double x, double y, double z, double xx, double yy, double zz);
    PointTransform pointTransform() const;
    void transform(double &x, double &y, double &z) const;
    double arcTolerance() const;
    void trueCurve(MotionArc &arc, const double (&centre)[3], const double (&u)[3],
                   const double (&v)[3], const double (&h)[3]) const;
    void feedWarnings();
    void moveWarnings();
    bool storePoint(int8_t typ, double x, double y, double z, double a, double b, double c,
                    double u, double v, double w);
    t9dline pointRecord(int8_t typ, double x, double y, double z, double a, double b, double c,
                        double u, double v, double w) const;
    void rescalePlot(MoveUnits units, double factor);
    void shiftPlot(const double (&delta)[kAxes]);

    CalcEnvironment env;
    TEditorCore *memo1;
    RunFlags &flags;
    VariableStore &vars;
    const DialectOptions &options;
    MotionStream &stream;     // the consumers of what the machine does
    bool wantsCurves = false; // some consumer reads the true curve of arcs

    tcalcstate st{};
    TDynaArray<tsub> subs;
    tsub *asub = nullptr;
    bool endrun = false;

    // the pen of immediate drawing and of the stored points
    int32_t pencol = kColourWhite;
    uint8_t penstyle = psSolid;
    double rotcos = 1, rotsin = 0; // of g68rot
    // what the moves are and the words in force (stored with every point)
    TPlotMove move;
    uint64_t blocksWithWords = 0;
    int64_t mainLine = 0; // the main program's line being run, 0-based
    // How far the machine stands from the drawn position (program coordinates X, Y, Z): after
    // a stroke drawn for a G99 cycle it stands on the R level; at the block's start; the last
    // distance told to the stream (in plot coordinates) and whether it is not zero.
    double apart[3] = {}, apartAtBlockStart[3] = {}, apartTold[3] = {};
    bool apartRecorded = false;
    bool spindleOn = false, spindleCcw = false;
    bool warnedNoFeed = false, warnedZeroFeed = false, warnedNoSpeed = false;
    // the block's stops and starts, logged once its points are stored
    struct BlockWords {
        bool dwell, toolChange, spindleStart, pHasPoint;
    } blockWords{};
    // source offsets of the points of the current line, and its extent for plotbis
    int64_t linevon = 0, linebis = 0, lineStart = 0, lineEnd = 0;

    ExpressionEvaluator evaluator;
    std::string s, so, result, scratch, substituted;
    // What prepareText does with each byte under the brackets `classified`; whether the block
    // may hold an expression or a variable.
    uint8_t charClass[256] = {};
    BracketChars classified{0, 0, 0, 0};
    bool mayHoldExpression = false, mayHoldVariable = false;
    std::vector<int> written, lastWritten; // variables assigned by this block and the last
    std::vector<std::string> subfiles; // the subprogram folder's files, listed at the first call
    std::map<const TEditorCore *, LabelIndex> labels; // per text read in this run
    // What the run was like the last time it jumped back from a block: per text, by the
    // block's text offset. The state and the variables are kept only while their summaries
    // stay the same.
    struct JumpState {
        uint64_t valuesHash = 0, clockReads = 0;
        uint32_t depth = 0; // of the call stack
        enum class Kept : uint8_t { Nothing, State, StateAndValues } kept = Kept::Nothing;
        std::unique_ptr<tcalcstate> state;
        std::vector<tsub> stack;
        std::unique_ptr<VariableStore::Values> values;
    };
    std::map<const TEditorCore *, std::unordered_map<int64_t, JumpState>> jumps;
    JumpState *lastJump = nullptr; // the entry of the last jump back, and where it was
    const TEditorCore *lastJumpEditor = nullptr;
    int64_t lastJumpSite = -1;
    int64_t missingLine = 0;    // the line (0-based) that jumped or called
    bool targetMissing = false; // a jump or call found no target: the run ends after the line
    bool subfilesListed = false;
    unsigned pumpTick = 0;
    std::chrono::steady_clock::time_point lastPump;
    const std::function<bool()> stopped = [this] { return interrupted(); };
};

} // namespace morvilo
