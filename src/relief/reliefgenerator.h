#pragma once
// The relief generator: samples a picture on a grid whose pitch is the distance between
// milling paths, quantises each sample's brightness into depth levels and writes, for every
// level (shallowest first), every grid row (bottom first) and every run of samples reaching
// that level (left to right), one group of four G-code lines: rapid approach, plunge, cut,
// retract. The lines of a group are joined by CR; the group ends in CR LF. Nothing else is
// written: no header, no feed, no end-of-program word. A machine profile other than the bare
// paths dresses the program for a control: header, feeds, line ends, footer.

#include "machine/machineprofile.h"
#include "machine/motiontime.h"
#include "relief/dib.h"
#include "relief/reliefprofile.h"
#include "relief/surfaceoptions.h"
#include "vantrel/outputfile.h"
#include "vantrel/usermessage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvilo {

// Options of the stepped program that save machine time and leave the depth of every cut as it
// is. All off, the program is the one the generator has always written.
struct LevelOptions {
    // Leave out level 0: it cuts at Z start, on the stock's surface, and removes nothing.
    bool skipAir = false;
    // Between the runs of a level retract only to a clearance beyond Z start (and beyond the
    // level's cut) on the safe height's side, never beyond the safe height; the last run of a
    // level retracts to the safe height. No material lies beyond Z start.
    bool useClearance = false;
    double clearance = 0.5;
    // Every other row (of those with runs) is cut right to left, its runs in reverse order.
    bool zigzag = false;

    bool Any() const { return skipAir || useClearance || zigzag; }
};

struct ReliefParameters {
    double sicher = -1;     // safe Z of every retract, written as given
    double tiefe = 1;       // Z of the deepest level, relative to zstart
    long double width = 10; // motif width W, with the full precision of its text
    int levels = 16;        // number of depth levels (2 .. 256)
    double xstart = 0;
    double ystart = 0;
    double zstart = 0;           // Z of level 0
    double abstandfr = 0.05;     // path distance d
    bool invert = false;         // dark samples cut deepest
    bool brightnessRange = true; // normalise by the picture's darkest and brightest sample
    int nach = 4;                // decimals of every number (0 .. 20; above 18 writes 18)
    MachineProfile profile = PathsOnlyProfile(); // how the program is dressed
    std::string date;                            // {date} of the profile; empty: today
    LevelOptions levelOptions;                   // all off: the program as always
    ReliefStrategy strategy = ReliefStrategy::Levels;
    SurfaceOptions surface; // the strategy "Fläche" (relief/surfacerelief.h)
};

// The side of Z start the safe height lies on, +1 above (or at it) and -1 below: the tool
// retracts towards it, and every cut lies on the other side.
double SafeSide(const ReliefParameters &p);

// Accepted ranges of the parameters; values outside them make a run refuse to start.
struct ReliefLimits {
    static constexpr long double minWidth = 0.0001L, maxWidth = 100000;
    static constexpr double minDistance = 0.0001, maxDistance = 100000;
    static constexpr int minLevels = 2, maxLevels = 256;
    static constexpr int minDecimals = 0, maxDecimals = 20;
    static constexpr double minClearance = 0.0001, maxClearance = 100000;
};

// Empty when the parameters can be used; otherwise what is wrong with them (German, with the
// limits kept apart for a translation).
UserMessage CheckReliefParameters(const ReliefParameters &p);

struct ReliefGrid {
    int64_t aufl = 0;  // grid columns
    int64_t aufly = 0; // grid rows
    double scale = 0;  // grid pitch in X and Y
    int abstuf = 0;    // deepest level number (levels - 1)
};

// Number of grid columns: W / d truncated, the quotient formed in extended precision from
// W as parsed and d rounded to a double.
int64_t GridColumns(long double width, double distance);
ReliefGrid ComputeReliefGrid(const ReliefParameters &p, int32_t pictureWidth,
                             int32_t pictureHeight);

// How far a run has come, and a way to stop it, shared with another thread (a progress
// dialog). A row is one grid row of one level.
struct ReliefProgress {
    std::atomic<uint64_t> rowsDone{0};
    std::atomic<uint64_t> rowsTotal{0};
    std::atomic<uint64_t> bytesWritten{0};
    std::atomic<bool> cancel{false};
    // Called by the generating thread after every row, when set.
    std::function<void()> afterRow;
};

// What a program will be and how long it will run, from the moves the generator makes: a rapid
// over the paths at the safe height, a plunge at the plunge feed, the cut at the feed, a rapid
// retract. The time follows the profile as the speed planner (machine/motiontime.h) times moves
// from rest to rest: every move at its rate, or, with an acceleration, on a trapezoidal profile
// (the moves meet at right angles or turn back); a rapid goes at the rapid rate on every axis,
// so that it takes as long as its longest axis needs, and no feed is faster than a rapid. Moves
// of the header (the first retract) are not timed: where the tool stands before is not known.
struct ReliefEstimate {
    int64_t columns = 0;
    int64_t rows = 0;
    uint64_t cuts = 0;  // four-line groups
    uint64_t bytes = 0; // the whole program
    double rapidLength = 0, plungeLength = 0, cutLength = 0, retractLength = 0;
    double seconds = 0;
    // The run time of the program with every level option off (the same as seconds when none
    // is on): what the options save is plainSeconds - seconds.
    double plainSeconds = 0;
};

// The time the level options save (plainSeconds - seconds), never below 0.
double SecondsSaved(const ReliefEstimate &e);

// Writes the program of a 24-bit picture into out (which must be open). Returns the number
// of four-line groups written; stops early when out has failed or the run was cancelled.
uint64_t WriteRelief(const ReliefParameters &p, const dib &picture, OutputFile &out,
                     ReliefProgress *progress = nullptr);

// The program's figures without writing it (a 24-bit picture; empty for a grid of fewer than
// 2 columns or 1 row). Grid rows that sample the same picture row are measured together, so
// the work grows with the picture, not with the grid. Stops early, with partial figures, when
// progress->cancel is set.
ReliefEstimate MeasureRelief(const ReliefParameters &p, const dib &picture,
                             ReliefProgress *progress = nullptr);

// The grid exactly as the generator samples it, each cell's level 0 .. levels - 1 (0 the
// shallowest). A grid of more than maxCells cells keeps every columnStep-th column of every
// rowStep-th row (the same step both ways). Row 0 is the grid's bottom row (Y start).
struct ReliefLevelMap {
    int64_t columns = 0, rows = 0; // the whole grid
    int64_t step = 1;
    int width = 0, height = 0; // cells kept
    int levels = 0;
    std::vector<uint8_t> cells; // height rows of width cells, bottom row first
};
ReliefLevelMap ComputeLevelMap(const ReliefParameters &p, const dib &picture, uint64_t maxCells);

enum class ReliefStatus {
    Ok,
    // The parameters cannot be used: out of range, or for this picture a grid of fewer than 2
    // columns or 1 row, or work beyond the memory or the disk. detail says which.
    InvalidParameters,
    PictureUnreadable, // the picture could not be loaded (message: why) or raised to 24 bits
    OutputNotCreated,  // detail holds the system's reason
    WriteFailed,       // detail holds the reason (the system's, no memory); target unchanged
    Cancelled,         // stopped through ReliefProgress::cancel; the target was not changed
};

struct ReliefResult {
    ReliefStatus status = ReliefStatus::Ok;
    std::string detail;
    std::string message; // what to tell the user when the run failed (German)
    // The message with its values kept apart, so that a translation can be looked up before
    // they go in; empty for the plain messages (picture unreadable, file not created).
    UserMessage messageParts;
    int errorNumber = 0; // the system error (errno) of an output that failed; 0 for the rest
    // The file that could not be created or written when it is not the program itself (the
    // roughing program of its own); empty for the rest.
    std::string failedFile;
    uint64_t groups = 0;
    uint64_t bytes = 0;
    ReliefEstimate estimate; // of the program written (or, measuring, of the one to write)
};

// The strategy "Fläche" runs as relief/surfacerelief.h describes it.
// The whole run on a picture file: load it, raise it to 24 bits, write the program to
// outputPath. The picture is released and the output closed on every path. Work that cannot
// be done is refused before the output is touched: a picture beyond the pixel limit or the
// memory, a grid of fewer than 2 columns or 1 row, a run whose arrays exceed the memory
// available or whose program cannot fit the free space of the output's file system.
ReliefResult GenerateReliefFile(const ReliefParameters &p, const std::string &picturePath,
                                const std::string &outputPath,
                                OutputFile::Mode mode = OutputFile::Mode::Replace,
                                ReliefProgress *progress = nullptr);

// Loads the picture of a run and raises it to 24 bits; the failure when that cannot be done.
std::optional<ReliefResult> LoadReliefPicture(const std::string &picturePath, dib &picture);

// The same checks as GenerateReliefFile, then the figures of the program without writing it
// (the dry run).
ReliefResult MeasureReliefFile(const ReliefParameters &p, const std::string &picturePath,
                               ReliefProgress *progress = nullptr);

extern const char *const kMessageTempFileNotCreated; // "Konnte temporäre Datei nicht anlegen."
extern const char *const kMessagePictureNotLoaded;   // "Das Bild konnte nicht geladen werden."
extern const char *const kMessageFileNotCreated;     // "Die Datei konnte nicht erzeugt werden!"
// Messages with values (%1 ...), kept in ReliefResult::messageParts.
extern const char *const kMessageGridTooSmall;    // columns, rows
extern const char *const kMessageReliefMemory;    // columns, rows, memory needed, available
extern const char *const kMessageProgramTooLarge; // fewest, most bytes, output, free space
extern const char *const kMessagePictureTooLarge; // width, height, pixel limit
extern const char *const kMessagePictureMemory;   // memory needed, available
extern const char *const kMessageNoMemory;        // "Zu wenig Arbeitsspeicher."

} // namespace morvilo
