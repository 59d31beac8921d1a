#pragma once
// The run object of CalcBtnClick: the driver, the words and the motion share its state.

#include "expressions/handleexpression.h"
#include "interpreter/calcinterfaces.h"
#include "interpreter/calcstate.h"
#include "interpreter/runlog.h"

#include <chrono>
#include <map>
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
    void resetBlock();
    Flow controlWords();
    bool ifWord();
    Flow whileWord();
    bool conditionHolds(const std::string &text, size_t open, size_t &close);
    bool findForward(std::string_view letters, const std::string &number, bool fromFirstLine,
                     int64_t skip = -1);
    bool findDoBackwards(const std::string &number);
    // A line holding a label (N or O and a number), where it lies in its text.
    struct LabelLine {
        int64_t olpos, lpos, linenr;
    };
    // The labels of one text: for N and O, every line holding each label number (without
    // leading zeros), in text order. Built once per text and run, at the first jump or call.
    struct LabelIndex {
        std::unordered_map<std::string, std::vector<LabelLine>> n, o;
    };
    const LabelIndex *labelIndex();
    bool jumpToLabel(char letter, const std::string &number, int64_t skip, bool runTarget);
    void missingTarget(const char *text, const std::string &target);
    void substituteBrackets();
    void assignVariables();
    void commitVariables();
    void splitWords();
    void endOfLine();
    void pump(bool always);
    bool interrupted();

    // ---- words and block steps (calcwords.cpp) --------------------------------------------
    void interpret();
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
    bool storeArc(const TPlotArcPoints &arc, uint32_t count);
    void transform(double &x, double &y, double &z) const;
    double arcTolerance() const;
    bool recordArc(uint32_t first, const double (&centre)[3], const double (&u)[3],
                   const double (&v)[3], const double (&h)[3], double start, double sweep);
    void feedWarnings();
    void moveWarnings();
    bool storePoint(int8_t typ, double x, double y, double z, double a, double b, double c,
                    double u, double v, double w);
    t9dline pointRecord(int8_t typ, double x, double y, double z, double a, double b, double c,
                        double u, double v, double w) const;
    void rescalePlot(double factor);
    void shiftPlot(const double (&delta)[kAxes]);
    void repaint();

    CalcEnvironment env;
    TEditorCore *memo1;
    RunFlags &flags;
    VariableStore &vars;
    const DialectOptions &options;
    TPlotList &lines;

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
    // the facts of the run beyond its points (null: nobody asked for them)
    RunLog *log = nullptr;
    int64_t mainLine = 0; // the main program's line being run, 0-based
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
    std::vector<int> written, lastWritten; // variables assigned by this block and the last
    std::vector<std::string> subfiles; // the subprogram folder's files, listed at the first call
    std::map<const TEditorCore *, LabelIndex> labels; // per text read in this run
    int64_t missingLine = 0;                          // the line (0-based) that jumped or called
    bool targetMissing = false; // a jump or call found no target: the run ends after the line
    bool subfilesListed = false;
    unsigned pumpTick = 0;
    std::chrono::steady_clock::time_point lastPump;
};

} // namespace morvilo
