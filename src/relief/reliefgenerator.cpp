#include "relief/reliefgenerator.h"

#include "relief/grafikrw.h"
#include "relief/surfacerelief.h"
#include "vantrel/fixedformat.h"
#include "vantrel/numberparse.h"
#include "vantrel/room.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvilo {

const char *const kMessageTempFileNotCreated = "Konnte temporäre Datei nicht anlegen.";
const char *const kMessagePictureNotLoaded = "Das Bild konnte nicht geladen werden.";
const char *const kMessageFileNotCreated = "Die Datei konnte nicht erzeugt werden!";
const char *const kMessageGridTooSmall =
    "Das Raster ist zu klein (Spalten: %1, Zeilen: %2): ein Relief braucht mindestens 2 Spalten "
    "und 1 Zeile. Die Motivbreite muss größer oder der Bahnabstand kleiner werden.";
const char *const kMessageReliefMemory =
    "Das Relief aus %1 × %2 Rasterpunkten braucht %3 Arbeitsspeicher, frei sind nur %4.";
const char *const kMessageProgramTooLarge =
    "Das Programm braucht mindestens %1 (bis zu %2), auf dem Datenträger von %3 sind nur %4 "
    "frei.";
const char *const kMessagePictureTooLarge =
    "Das Bild hat %1 × %2 Pixel; gelesen werden Bilder bis %3 Pixel.";
const char *const kMessagePictureMemory = "Das Bild braucht %1 Arbeitsspeicher, frei sind nur %2.";
const char *const kMessageNoMemory = "Zu wenig Arbeitsspeicher.";

namespace {

// Above this many samples the levels are computed row by row for every level instead of
// being kept for the whole grid.
constexpr uint64_t kLevelGridBudget = uint64_t(1) << 30;
// Row buffers end with this many spare bytes, so that runs are scanned 16 samples at a time.
constexpr size_t kRowPadding = 16;
// Up to this many grid columns the X texts are formatted once and reused.
constexpr int64_t kColumnTextLimit = int64_t(1) << 20;

// The output buffer of a run.
constexpr size_t kOutputBuffer = size_t(4) << 20;

UserMessage outOfRange(const char *text, double low, double high) {
    return {text, {FormatFixed(low, 4), FormatFixed(high, 0)}};
}

uint64_t saturatingProduct(uint64_t a, uint64_t b) {
    uint64_t product = 0;
    return __builtin_mul_overflow(a, b, &product) ? UINT64_MAX : product;
}

uint64_t saturatingSum(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

// Where grid column or row i of cells samples the picture: (size - 1) * i / (cells - 1),
// truncated; a single cell samples index 0.
uint32_t samplePosition(int64_t i, int64_t cells, int32_t size) {
    using u128 = unsigned __int128;
    return cells > 1 ? uint32_t(u128(size - 1) * u128(i) / u128(cells - 1)) : 0;
}

// The picture rows the grid samples, each with the number of grid rows that sample it, found
// without a walk over the grid rows (a fine grid over a small picture has very many).
std::vector<std::pair<uint32_t, uint64_t>> sampledRows(int64_t cells, int32_t size) {
    std::vector<std::pair<uint32_t, uint64_t>> rows;
    if (cells <= 1 || size <= 1) {
        rows.emplace_back(0, uint64_t(cells));
        return rows;
    }
    // Grid row y samples row r from the first y with (size - 1) * y >= r * (cells - 1) on.
    using u128 = unsigned __int128;
    auto firstSampling = [&](uint64_t r) {
        const u128 n = u128(r) * u128(cells - 1), d = u128(size - 1);
        return uint64_t((n + d - 1) / d);
    };
    for (uint32_t r = 0; r < uint32_t(size); ++r) {
        const uint64_t from = firstSampling(r);
        const uint64_t to = r + 1 < uint32_t(size) ? firstSampling(r + 1) : uint64_t(cells);
        if (to > from)
            rows.emplace_back(r, to - from);
    }
    return rows;
}

// How the numbers of a program are written: the decimals, and a point even without them.
struct NumberStyle {
    int decimals = 4;
    bool point = false;

    // The text of value in dest (room for kMaxFixedText + 1 characters); returns its length.
    size_t Format(long double value, char *dest) const {
        size_t length = FormatFixed(value, decimals, dest);
        if (point && decimals == 0)
            dest[length++] = '.';
        return length;
    }
    std::string Format(long double value) const {
        char text[kMaxFixedText + 1];
        return {text, Format(value, text)};
    }
};

// The shortest and the longest text a value between first and last is given.
std::pair<size_t, size_t> textLengths(long double first, long double last, NumberStyle style) {
    char text[kMaxFixedText + 1];
    const size_t a = style.Format(first, text), b = style.Format(last, text);
    const bool crossesZero = (first <= 0 && last >= 0) || (first >= 0 && last <= 0);
    return {crossesZero ? style.Format(0.0L, text) : std::min(a, b), std::max(a, b)};
}

// The texts between the numbers of a group, as the profile joins its lines and sets its feeds:
// "G0 X" x " Y" y sep "G1 Z" z plunge sep "G1 X" x " Y" y cut sep "G0 Z" safe end.
struct GroupFrame {
    std::string separator;           // between the lines of a group
    std::string end;                 // after its last line
    std::string plungeFeed, cutFeed; // " F..." on the plunge and the cut, or nothing

    explicit GroupFrame(const MachineProfile &profile, int decimals) {
        const std::string lineEnd = profile.crlf ? "\r\n" : "\n";
        end = profile.pathsOnly ? "\r\n" : lineEnd;
        separator = profile.movePerLine && !profile.pathsOnly ? lineEnd : "\r";
        // Feeds that differ alternate on every line; an equal feed is set once by the header.
        if (!profile.pathsOnly && profile.feed != profile.plungeFeed) {
            plungeFeed = " F" + ProfileNumber(profile.plungeFeed, profile, decimals);
            cutFeed = " F" + ProfileNumber(profile.feed, profile, decimals);
        }
    }
    // The bytes of a group besides its numbers.
    size_t FixedBytes() const {
        return 20 + 3 * separator.size() + end.size() + plungeFeed.size() + cutFeed.size();
    }
};

// Numbers of the four lines of a group that depend only on the level and the row.
struct RowTexts {
    std::string middle;    // " Y<y>" sep "G1 Z<z>" plunge sep "G1 X"
    std::string tail;      // " Y<y>" cut sep "G0 Z<safe>" end
    std::string tailClear; // " Y<y>" cut sep "G0 Z<clearance>" end
};

// The time of a move of a length at a speed from rest to rest: the moves of a relief program
// meet at right angles or turn back, where the speed planner's junctions leave next to no
// speed. No move is faster than the machine's rapid rate.
struct MoveTimer {
    double speed = 1; // units per second
    double acceleration = 0;

    double Seconds(double length) const {
        return SpeedPlanner::RestToRestTime(length, speed, acceleration);
    }
};

// Lengths and times of a program's moves as they are made. Moves along a row are counted by
// their number of grid steps and timed once per length at the end.
class MoveTally {
public:
    MoveTally(const MachineProfile &profile, double scale, int64_t columns, uint64_t histogramLimit)
        : scale(scale), rapid{profile.rapidRate / 60, profile.acceleration},
          plunge{std::min(profile.plungeFeed, profile.rapidRate) / 60, profile.acceleration},
          cut{std::min(profile.feed, profile.rapidRate) / 60, profile.acceleration},
          histogramColumns(uint64_t(columns) <= histogramLimit ? size_t(columns) : 0) {}

    // The plunges and retracts of a level span depth (from and to the safe height); with a
    // clearance, all but the level's first plunge and its last retract span shortDepth.
    void StartLevel(double depth, double shortDepth) {
        finishLevel();
        levelDepth = depth;
        levelShortDepth = shortDepth;
    }
    // One group of the row y: rapid from the last group's end, plunge, cut from startx to endx,
    // retract.
    void Group(int64_t y, int64_t startx, int64_t endx) {
        if (!started && histogramColumns > 0) {
            cutSteps.assign(histogramColumns, 0);
            rapidSteps.assign(histogramColumns, 0);
        }
        if (started && y == lastY)
            addSteps(rapidSteps, std::abs(startx - lastX), rapid, estimate.rapidLength);
        else if (started)
            addRapid(double(startx - lastX), double(y - lastY), estimate.rapidLength);
        addSteps(cutSteps, std::abs(endx - startx), cut, estimate.cutLength);
        ++groupsOfLevel;
        started = true;
        lastX = endx;
        lastY = y;
    }
    // The groups of the row just tallied, made again in times rows more: a rapid of
    // betweenRows grid steps in X and one in Y into each, then the rapids between its runs and its
    // cuts. The last of them ends at endx of row endY.
    void RepeatRow(uint64_t times, double betweenRows,
                   const std::vector<std::pair<int64_t, int64_t>> &runs, int64_t endx,
                   int64_t endY) {
        if (times == 0 || runs.empty())
            return;
        addRapid(betweenRows, 1, estimate.rapidLength, double(times));
        for (size_t k = 0; k < runs.size(); ++k) {
            if (k > 0)
                addSteps(rapidSteps, runs[k].first - runs[k - 1].second, rapid,
                         estimate.rapidLength, times);
            addSteps(cutSteps, runs[k].second - runs[k].first, cut, estimate.cutLength, times);
        }
        groupsOfLevel += times * runs.size();
        lastX = endx;
        lastY = endY;
    }
    ReliefEstimate Finish() {
        finishLevel();
        for (size_t k = 0; k < cutSteps.size(); ++k) {
            if (cutSteps[k] != 0)
                add(double(k) * scale, cut, estimate.cutLength, double(cutSteps[k]));
            if (rapidSteps[k] != 0)
                add(double(k) * scale, rapid, estimate.rapidLength, double(rapidSteps[k]));
        }
        cutSteps.clear();
        rapidSteps.clear();
        return estimate;
    }

private:
    void finishLevel() {
        const double count = double(groupsOfLevel);
        if (levelShortDepth == levelDepth || groupsOfLevel == 0) {
            add(levelDepth, plunge, estimate.plungeLength, count);
            add(levelDepth, rapid, estimate.retractLength, count);
        } else {
            add(levelDepth, plunge, estimate.plungeLength);
            add(levelShortDepth, plunge, estimate.plungeLength, count - 1);
            add(levelShortDepth, rapid, estimate.retractLength, count - 1);
            add(levelDepth, rapid, estimate.retractLength);
        }
        groupsOfLevel = 0;
    }
    void add(double length, const MoveTimer &timer, double &total, double count = 1) {
        total += length * count;
        estimate.seconds += timer.Seconds(length) * count;
    }
    // A rapid of dx and dy grid steps: every axis at the rapid rate, so it takes as long as its
    // longest axis needs.
    void addRapid(double dx, double dy, double &total, double count = 1) {
        total += std::hypot(dx, dy) * scale * count;
        estimate.seconds += rapid.Seconds(std::max(std::fabs(dx), std::fabs(dy)) * scale) * count;
    }
    void addSteps(std::vector<uint64_t> &histogram, int64_t steps, const MoveTimer &timer,
                  double &total, uint64_t times = 1) {
        if (!histogram.empty())
            histogram[size_t(steps)] += times;
        else
            add(double(steps) * scale, timer, total, double(times));
    }

    double scale;
    MoveTimer rapid, plunge, cut;
    size_t histogramColumns;
    std::vector<uint64_t> cutSteps, rapidSteps;
    double levelDepth = 0, levelShortDepth = 0;
    uint64_t groupsOfLevel = 0;
    bool started = false;
    int64_t lastX = 0, lastY = 0;
    ReliefEstimate estimate;
};

class ReliefWriter {
public:
    // Without an output the run only measures the program.
    ReliefWriter(const ReliefParameters &p, const dib &picture, OutputFile *out,
                 bool levelGridAllowed)
        : p(p), picture(picture), out(out),
          grid(ComputeReliefGrid(p, DibBreit(picture), DibHoch(picture))),
          style{ProgramDecimals(p, p.profile), p.profile.decimalPoint},
          frame(p.profile, style.decimals), levelGridAllowed(levelGridAllowed),
          tally(p.profile, grid.scale, grid.aufl, kColumnTextLimit) {}

    // What a run of this grid keeps in memory besides the picture, and the level grid it keeps
    // on top when the memory allows.
    static uint64_t MemoryNeeded(const ReliefParameters &p, const ReliefGrid &grid,
                                 const dib &picture) {
        const uint64_t columns = uint64_t(grid.aufl), width = uint64_t(DibBreit(picture));
        const uint64_t rowsSampled =
            std::min<uint64_t>(uint64_t(grid.aufly), uint64_t(DibHoch(picture)));
        // The output buffer and the sampled rows; a grid finer than the picture keeps, for each
        // picture column, its number, where it starts in the grid and its level; any other keeps
        // where each grid column samples and the levels of a grid row (and the picture columns
        // when it samples every one). Both keep the X texts when they are kept.
        uint64_t bytes = kOutputBuffer + rowsSampled * sizeof(std::pair<uint32_t, uint64_t>);
        if (FinerThanPicture(grid, picture))
            bytes += width * (sizeof(int64_t) + 1 + sizeof(uint32_t)) + sizeof(int64_t);
        else
            bytes += columns * (sizeof(uint32_t) + 1) + kRowPadding +
                     (columns == width ? width * sizeof(uint32_t) : 0);
        if (grid.aufl <= kColumnTextLimit) {
            const long double last = (long double)(grid.aufl - 1) * grid.scale + p.xstart;
            const NumberStyle style{ProgramDecimals(p, p.profile), p.profile.decimalPoint};
            bytes += columns * (textLengths(p.xstart, last, style).second + sizeof(uint32_t));
            bytes += 2 * columns * sizeof(uint64_t); // the move tally's lengths
        }
        // The runs of a row, kept until the row is done (zigzag, clearance).
        if (p.levelOptions.zigzag || p.levelOptions.useClearance)
            bytes += (std::min(columns, width) / 2 + 1) * sizeof(std::pair<int64_t, int64_t>);
        return bytes;
    }
    static uint64_t LevelGridBytes(const ReliefGrid &grid, const dib &picture) {
        const uint64_t samples = saturatingProduct(uint64_t(grid.aufl), uint64_t(grid.aufly));
        return samples > kLevelGridBudget || FinerThanPicture(grid, picture)
                   ? 0
                   : samples + kRowPadding;
    }
    // More grid columns than picture columns: every picture column is sampled by one grid
    // column or a run of them, and the runs of a row are found among the picture columns.
    static bool FinerThanPicture(const ReliefGrid &grid, const dib &picture) {
        return grid.aufl > DibBreit(picture);
    }

    // What the size of the program depends on: the picture columns and rows the grid samples,
    // the brightness range, the level of every grey value. Where each grid column samples is
    // left to the run.
    void Prepare() {
        const int32_t width = DibBreit(picture), height = DibHoch(picture);
        // A grid at least as wide as the picture samples every picture column; a narrower one
        // samples a different column with each grid column.
        if (grid.aufl >= width) {
            everyColumn.resize(size_t(width));
            std::iota(everyColumn.begin(), everyColumn.end(), 0u);
        } else {
            buildColumns();
        }
        rows = sampledRows(grid.aufly, height);
        findBrightnessRange();
        buildLevelTable();
        buildRetractTexts();
        findLastRowsOfLevels();
    }

    // The program's size in bytes, the fewest and the most it can take. A rough bound (every
    // row split into as many runs as it can hold) settles most cases at once; counting the
    // groups takes a pass over the sampled pixels and is done only when the rough bound does
    // not show that the program fits into room.
    std::pair<uint64_t, uint64_t> ProgramSize(uint64_t room) const {
        const auto [fewestX, mostX] =
            textLengths(p.xstart, (long double)(grid.aufl - 1) * grid.scale + p.xstart, style);
        const auto [fewestY, mostY] =
            textLengths(p.ystart, (long double)(grid.aufly - 1) * grid.scale + p.ystart, style);
        const auto [fewestZ, mostZ] = textLengths(p.zstart, (long double)p.tiefe + p.zstart, style);
        size_t fewestRetract = safeTextOf().size(), mostRetract = fewestRetract;
        for (const std::string &text : retractTexts) {
            fewestRetract = std::min(fewestRetract, text.size());
            mostRetract = std::max(mostRetract, text.size());
        }
        const uint64_t fixed = frame.FixedBytes();
        const uint64_t smallest = fixed + fewestRetract + 2 * fewestX + 2 * fewestY + fewestZ;
        const uint64_t largest = fixed + mostRetract + 2 * mostX + 2 * mostY + mostZ;
        const uint64_t frameBytes = Header().size() + Footer().size();
        // Level 0 is one run a row, unless it is left out.
        const uint64_t levelZeroRuns = p.levelOptions.skipAir ? 0 : 1;
        const uint64_t runsPerRow =
            levelZeroRuns + uint64_t(grid.abstuf) * ((sampledColumns().size() + 1) / 2);
        const uint64_t mostGroups = saturatingProduct(uint64_t(grid.aufly), runsPerRow);
        uint64_t fewest = saturatingProduct(uint64_t(grid.aufly) * levelZeroRuns, smallest);
        uint64_t most = saturatingProduct(mostGroups, largest);
        if (saturatingSum(most, frameBytes) > room) {
            const uint64_t groups = countGroups();
            fewest = saturatingProduct(groups, smallest);
            most = saturatingProduct(groups, largest);
        }
        return {saturatingSum(fewest, frameBytes), saturatingSum(most, frameBytes)};
    }

    uint64_t Run() {
        if (!startRun(levelGridAllowed))
            return 0;
        if (progress)
            progress->rowsTotal = RowsOfLevels();
        emit(Header());
        for (int level = firstLevel(); level <= grid.abstuf && !stopped(); ++level) {
            const std::string zText = startLevel(level);
            for (int64_t y = 0; y < grid.aufly && !stopped(); ++y) {
                writeRow(level, y, zText);
                if (collectRuns)
                    writeCollectedRuns(level, y);
                rowsDone(1);
            }
        }
        emit(Footer());
        return groups;
    }

    // The figures of the program without making it. The grid rows that sample the same
    // picture row one after another have the same runs: they are found once, and the moves and
    // bytes of the other rows follow from them (only the Y texts differ, and their lengths
    // change only at a few rows).
    void Measure() {
        if (!startRun(false))
            return;
        collectRuns = true;
        emit(Header());
        for (int level = firstLevel(); level <= grid.abstuf && !stopped(); ++level) {
            const std::string zText = startLevel(level);
            int64_t y = 0;
            for (const auto &[row, count] : rows) {
                if (stopped())
                    break;
                writeRow(level, y, zText);
                measureRows(level, y, int64_t(count));
                rowRuns.clear();
                y += int64_t(count);
                rowsDone(count);
            }
        }
        emit(Footer());
    }

    // The grid rows of every level cut.
    uint64_t RowsOfLevels() const {
        return saturatingProduct(uint64_t(grid.abstuf + 1 - firstLevel()), uint64_t(grid.aufly));
    }

    // The figures of the run so far: call once, after Run.
    ReliefEstimate Figures() {
        ReliefEstimate figures = tally.Finish();
        figures.columns = grid.aufl;
        figures.rows = grid.aufly;
        figures.cuts = groups;
        figures.bytes = bytesSoFar();
        figures.plainSeconds = figures.seconds;
        return figures;
    }

    // What comes before the first group: the profile's header, then the retract to the safe
    // height, then the feed when cuts and plunges share it.
    std::string safeTextOf() const { return style.Format(p.sicher); }
    std::string Header() const {
        if (p.profile.pathsOnly)
            return {};
        std::string text = ExpandProfileTemplate(p.profile.header, p.profile, p, date());
        const std::string lineEnd = p.profile.crlf ? "\r\n" : "\n";
        if (p.profile.retractFirst)
            text += "G0 Z" + style.Format(p.sicher) + lineEnd;
        if (frame.cutFeed.empty())
            text += "F" + ProfileNumber(p.profile.feed, p.profile, style.decimals) + lineEnd;
        return text;
    }
    std::string Footer() const {
        return p.profile.pathsOnly ? std::string()
                                   : ExpandProfileTemplate(p.profile.footer, p.profile, p, date());
    }

    // The levels of the grid's cells, every step-th column of every step-th row, so that no
    // more than maxCells are kept.
    ReliefLevelMap LevelMap(uint64_t maxCells) {
        ReliefLevelMap map;
        map.columns = grid.aufl;
        map.rows = grid.aufly;
        map.levels = grid.abstuf + 1;
        if (grid.aufl < 1 || grid.aufly < 1)
            return map;
        Prepare();
        const auto kept = [](int64_t cells, int64_t step) { return (cells + step - 1) / step; };
        const double cells = double(grid.aufl) * double(grid.aufly);
        int64_t step = std::max<int64_t>(1, int64_t(std::sqrt(cells / double(maxCells))));
        while (uint64_t(kept(grid.aufl, step)) * uint64_t(kept(grid.aufly, step)) > maxCells)
            ++step;
        map.step = step;
        map.width = int(kept(grid.aufl, step));
        map.height = int(kept(grid.aufly, step));
        std::vector<uint32_t> sampled(size_t(map.width));
        for (int i = 0; i < map.width; ++i)
            sampled[size_t(i)] = samplePosition(i * step, grid.aufl, DibBreit(picture));
        map.cells.resize(size_t(map.width) * size_t(map.height));
        for (int j = 0; j < map.height; ++j) {
            const uint32_t row = samplePosition(j * step, grid.aufly, DibHoch(picture));
            uint8_t *cell = map.cells.data() + size_t(j) * size_t(map.width);
            for (int i = 0; i < map.width; ++i)
                cell[i] = levelOfGrey[grey(pixel(row, sampled[size_t(i)]))];
        }
        return map;
    }

    ReliefProgress *progress = nullptr;

private:
    // What every pass over the levels needs; false for a grid without two columns and a row.
    bool startRun(bool keepGrid) {
        if (grid.aufl < 2 || grid.aufly < 1)
            return false;
        if (rows.empty())
            Prepare();
        if (FinerThanPicture(grid, picture)) {
            findColumnStarts();
        } else {
            if (columns.empty())
                buildColumns();
            if (keepGrid)
                keepLevelGrid();
            rowLevels.resize(size_t(grid.aufl) + kRowPadding);
        }
        buildColumnTexts();
        safeText = style.Format(p.sicher);
        collectRuns = p.levelOptions.zigzag || p.levelOptions.useClearance;
        reversedRow = false;
        return true;
    }

    int firstLevel() const { return p.levelOptions.skipAir ? 1 : 0; }
    long double levelZ(int level) const {
        return (long double)level * p.tiefe / grid.abstuf + p.zstart;
    }

    // The level's Z text; its plunges and retracts go into the tally.
    std::string startLevel(int level) {
        const long double z = levelZ(level);
        const double depth = double(std::fabs((long double)p.sicher - z));
        const double shortDepth = p.levelOptions.useClearance
                                      ? double(std::fabs(retractHeights[size_t(level)] - z))
                                      : depth;
        tally.StartLevel(depth, shortDepth);
        return style.Format(z);
    }

    void rowsDone(uint64_t count) {
        if (!progress)
            return;
        progress->rowsDone.fetch_add(count, std::memory_order_relaxed);
        progress->bytesWritten.store(bytesSoFar(), std::memory_order_relaxed);
        if (progress->afterRow)
            progress->afterRow();
    }

    // A value as the program writes it.
    long double written(long double value) const {
        long double parsed = value;
        ParseReal(FormatFixed(value, style.decimals), parsed);
        return parsed;
    }

    // Where the runs of a level at z retract to between each other: the clearance beyond Z
    // start (or beyond z, where z lies on the safe height's side of Z start), towards the safe
    // height. The safe height itself where that plane, as written, would not lie strictly
    // between the stock and the safe height (Z start at the safe height, a clearance too
    // large, or too small for the decimals).
    long double retractHeight(long double z) const {
        const long double safe = p.sicher, start = p.zstart;
        if (safe == start)
            return safe;
        const long double side = SafeSide(p);
        const long double from = side * (z - start) > 0 ? z : start;
        const long double plane = written(from + side * (long double)p.levelOptions.clearance);
        const bool beyondStock = side * (plane - written(from)) > 0;
        const bool beforeSafe = side * (written(safe) - plane) > 0;
        return beyondStock && beforeSafe ? plane : safe;
    }

    void buildRetractTexts() {
        retractHeights.clear();
        retractTexts.clear();
        if (!p.levelOptions.useClearance)
            return;
        for (int level = 0; level <= grid.abstuf; ++level) {
            const long double height = retractHeight(levelZ(level));
            retractHeights.push_back(height);
            retractTexts.push_back(height == (long double)p.sicher ? style.Format(p.sicher)
                                                                   : style.Format(height));
        }
    }

    // With a clearance, the last grid row with a run at each level: there the level's last
    // run retracts to the safe height.
    void findLastRowsOfLevels() {
        lastRowOfLevel.clear();
        if (!p.levelOptions.useClearance)
            return;
        lastRowOfLevel.assign(size_t(grid.abstuf) + 1, -1);
        int64_t end = 0; // the sampled rows come bottom first
        for (const auto &[row, count] : rows) {
            end += int64_t(count);
            int top = 0;
            for (const uint32_t column : sampledColumns())
                top = std::max<int>(top, levelOfGrey[grey(pixel(row, column))]);
            lastRowOfLevel[size_t(top)] = end - 1;
        }
        for (int level = grid.abstuf - 1; level >= 0; --level)
            lastRowOfLevel[size_t(level)] =
                std::max(lastRowOfLevel[size_t(level)], lastRowOfLevel[size_t(level) + 1]);
    }

    // The runs of row y, kept while it was scanned: right to left on every other row with
    // runs (zigzag), and with a clearance every run but the level's last retracts to it.
    void writeCollectedRuns(int level, int64_t y) {
        const size_t n = rowRuns.size();
        if (n == 0)
            return;
        const bool reverse = p.levelOptions.zigzag && reversedRow;
        const bool lastRow = !p.levelOptions.useClearance || y == lastRowOfLevel[size_t(level)];
        for (size_t k = 0; k < n; ++k) {
            const auto [first, last] = rowRuns[reverse ? n - 1 - k : k];
            const bool toSafe = !p.levelOptions.useClearance || (lastRow && k + 1 == n);
            const std::string &tail = toSafe ? texts.tail : texts.tailClear;
            if (reverse)
                writeGroup(last, first, tail);
            else
                writeGroup(first, last, tail);
        }
        if (p.levelOptions.zigzag)
            reversedRow = !reversedRow;
        rowRuns.clear();
    }

    // The figures of count grid rows from y0 on, which all have the runs in rowRuns (found for
    // y0, whose texts are in texts): the first row tallied group by group, the others as
    // repeats of it.
    void measureRows(int level, int64_t y0, int64_t count) {
        const size_t n = rowRuns.size();
        if (n == 0 || count <= 0)
            return;
        const bool zigzag = p.levelOptions.zigzag;
        const bool reverse = zigzag && reversedRow;
        uint64_t xBytes = 0;
        for (size_t k = 0; k < n; ++k) {
            const auto [first, last] = rowRuns[reverse ? n - 1 - k : k];
            tally.Group(y0, reverse ? last : first, reverse ? first : last);
            xBytes += columnText(first, scratchFrom).size() + columnText(last, scratchTo).size();
        }
        const uint64_t repeats = uint64_t(count - 1);
        // Zigzag: each row starts above the end of the one below; else back to the first start.
        const bool lastReversed = zigzag && (reversedRow != (repeats % 2 == 1));
        const int64_t endx = lastReversed ? rowRuns.front().first : rowRuns.back().second;
        const double between = zigzag ? 0.0 : double(rowRuns.front().first - rowRuns.back().second);
        tally.RepeatRow(repeats, between, rowRuns, endx, y0 + count - 1);
        if (zigzag && count % 2 == 1)
            reversedRow = !reversedRow;

        // Every group: its fixed texts, two X and two Y texts and the retract's Z.
        const size_t yLength = style.Format(rowY(y0)).size();
        const uint64_t fixed =
            4 + texts.middle.size() + texts.tail.size() - 2 * yLength - safeText.size();
        const uint64_t groupsHere = saturatingProduct(uint64_t(count), n);
        uint64_t retract = saturatingProduct(groupsHere, safeText.size());
        if (p.levelOptions.useClearance) {
            retract = saturatingProduct(groupsHere, retractTexts[size_t(level)].size());
            if (lastRowOfLevel[size_t(level)] == y0 + count - 1)
                retract = retract + safeText.size() - retractTexts[size_t(level)].size();
        }
        uint64_t bytes = saturatingProduct(groupsHere, fixed);
        bytes = saturatingSum(bytes, saturatingProduct(uint64_t(count), xBytes));
        bytes = saturatingSum(bytes, saturatingProduct(2 * n, yTextBytes(y0, y0 + count)));
        bytes = saturatingSum(bytes, retract);
        measuredBytes = saturatingSum(measuredBytes, bytes);
        groups = saturatingSum(groups, groupsHere);
    }

    long double rowY(int64_t y) const { return (long double)y * grid.scale + p.ystart; }

    // The length of the Y texts of the grid rows from .. to - 1, formatting only a few: the
    // length falls (or stays) while Y is negative and rises (or stays) from 0 on, so rows of
    // one length lie together and are found by halving.
    uint64_t yTextBytes(int64_t from, int64_t to) const {
        char text[kMaxFixedText + 1];
        const auto length = [&](int64_t y) { return style.Format(rowY(y), text); };
        int64_t low = from, high = to; // the first row with Y >= 0
        while (low < high) {
            const int64_t middle = low + (high - low) / 2;
            if (rowY(middle) >= 0)
                high = middle;
            else
                low = middle + 1;
        }
        uint64_t total = 0;
        for (const auto &[begin, end] : {std::pair{from, low}, std::pair{low, to}}) {
            for (int64_t y = begin; y < end;) {
                const size_t here = length(y);
                int64_t last = y, bound = end - 1; // the last row of this length
                while (last < bound) {
                    const int64_t middle = last + (bound - last + 1) / 2;
                    if (length(middle) == here)
                        last = middle;
                    else
                        bound = middle - 1;
                }
                total = saturatingSum(total, saturatingProduct(here, uint64_t(last - y + 1)));
                y = last + 1;
            }
        }
        return total;
    }

    bool stopped() const {
        return (out && out->Failed()) ||
               (progress && progress->cancel.load(std::memory_order_relaxed));
    }
    uint64_t bytesSoFar() const { return out ? out->BytesWritten() : measuredBytes; }
    std::string date() const { return p.date.empty() ? TodaysDate() : p.date; }
    void emit(const std::string &text) {
        if (out)
            out->Write(text);
        else
            measuredBytes += text.size();
    }

    const uint8_t *pixel(uint32_t row, uint32_t column) const {
        return picture.row(row) + size_t(column) * 3;
    }
    static int grey(const uint8_t *bgr) { return (30 * bgr[2] + 59 * bgr[1] + 11 * bgr[0]) / 100; }

    // The picture columns the grid samples, left to right, each once.
    const std::vector<uint32_t> &sampledColumns() const {
        return everyColumn.empty() ? columns : everyColumn;
    }

    // (width - 1) * x / (aufl - 1) for every grid column x, stepped by quotient and remainder
    // instead of a division per column.
    void buildColumns() {
        const int64_t span = DibBreit(picture) - 1, steps = grid.aufl - 1;
        const int64_t whole = span / steps, part = span % steps;
        columns.resize(size_t(grid.aufl));
        int64_t position = 0, remainder = 0;
        for (uint32_t &column : columns) {
            column = uint32_t(position);
            position += whole;
            remainder += part;
            if (remainder >= steps) {
                remainder -= steps;
                ++position;
            }
        }
    }

    // The range of the sampled pixels: every sampled row with every sampled column, each pixel
    // once however many grid points sample it.
    void findBrightnessRange() {
        if (!p.brightnessRange) {
            minc = 0;
            maxc = 255;
            return;
        }
        minc = 255;
        maxc = 0;
        for (const auto &[row, count] : rows)
            for (const uint32_t column : sampledColumns()) {
                const int g = grey(pixel(row, column));
                minc = std::min(minc, g);
                maxc = std::max(maxc, g);
            }
    }

    // Level of every grey value: brightness stretched over the range (g - min) * 255 /
    // (max - min), so that the darkest sample is 0 and the brightest 255 (a picture of one
    // grey is 0 everywhere), optionally inverted, scaled to 0 .. abstuf. Without the range the
    // brightness is the grey value itself.
    void buildLevelTable() {
        const int span = maxc - minc;
        for (int g = 0; g < 256; ++g) {
            int b = g;
            if (p.brightnessRange)
                b = span > 0 && g >= minc ? std::min(g - minc, span) * 255 / span : 0;
            if (p.invert)
                b = 255 - b;
            levelOfGrey[g] = uint8_t(b * grid.abstuf / 255);
        }
    }

    // The groups of the whole program. A row's runs change only where the sampled pixel
    // changes, so the sampled pixels of each sampled row tell its groups: level 0 is one run,
    // and every rise of the level along the row starts one run more at each level it climbs.
    uint64_t countGroups() const {
        uint64_t total = 0;
        for (const auto &[row, count] : rows) {
            uint64_t groups = 0;
            int previous = firstLevel() - 1;
            for (const uint32_t column : sampledColumns()) {
                const int level = levelOfGrey[grey(pixel(row, column))];
                if (level > previous)
                    groups += uint64_t(level - previous);
                previous = level;
            }
            total = saturatingSum(total, saturatingProduct(groups, count));
        }
        return total;
    }

    void computeRowLevels(int64_t y, uint8_t *dest) const {
        const uint32_t row = samplePosition(y, grid.aufly, DibHoch(picture));
        for (int64_t x = 0; x < grid.aufl; ++x)
            dest[x] = levelOfGrey[grey(pixel(row, columns[size_t(x)]))];
    }

    // Each sample's level is computed once when the whole grid fits the budget and the memory.
    void keepLevelGrid() {
        const uint64_t bytes = LevelGridBytes(grid, picture);
        if (!levelGridAllowed || bytes == 0)
            return;
        try {
            levelGrid.resize(bytes);
        } catch (const std::bad_alloc &) {
            levelGrid.clear();
            return;
        }
        for (int64_t y = 0; y < grid.aufly; ++y)
            computeRowLevels(y, levelGrid.data() + y * grid.aufl);
    }

    // Without the level grid a row's levels are computed for each level, once for all the grid
    // rows that sample the same picture row one after another.
    const uint8_t *levelsOfRow(int64_t y) {
        if (!levelGrid.empty())
            return levelGrid.data() + y * grid.aufl;
        const int64_t row = samplePosition(y, grid.aufly, DibHoch(picture));
        if (row != rowLevelsOf) {
            computeRowLevels(y, rowLevels.data());
            rowLevelsOf = row;
        }
        return rowLevels.data();
    }

    long double columnX(int64_t x) const { return (long double)x * grid.scale + p.xstart; }

    void buildColumnTexts() {
        if (grid.aufl > kColumnTextLimit)
            return;
        columnTextStart.reserve(size_t(grid.aufl) + 1);
        char text[kMaxFixedText + 1];
        for (int64_t x = 0; x < grid.aufl; ++x) {
            columnTextStart.push_back(uint32_t(columnTexts.size()));
            columnTexts.append(text, style.Format(columnX(x), text));
        }
        columnTextStart.push_back(uint32_t(columnTexts.size()));
    }

    std::string_view columnText(int64_t x, char *scratch) const {
        if (!columnTextStart.empty()) {
            const uint32_t begin = columnTextStart[size_t(x)];
            return {columnTexts.data() + begin, columnTextStart[size_t(x) + 1] - begin};
        }
        return {scratch, style.Format(columnX(x), scratch)};
    }

    void writeRow(int level, int64_t y, const std::string &zText) {
        const std::string yText = style.Format(rowY(y));
        texts.middle = " Y" + yText + frame.separator + "G1 Z" + zText + frame.plungeFeed +
                       frame.separator + "G1 X";
        texts.tail = " Y" + yText + frame.cutFeed + frame.separator + "G0 Z" + safeText + frame.end;
        if (p.levelOptions.useClearance)
            texts.tailClear = " Y" + yText + frame.cutFeed + frame.separator + "G0 Z" +
                              retractTexts[size_t(level)] + frame.end;
        currentY = y;

        if (FinerThanPicture(grid, picture))
            writeRunsOfPictureColumns(level, y);
        else
            writeRunsOfSamples(level, y);
    }

    // The runs of a grid finer than the picture: a run of picture columns reaching the level
    // is a run of the grid columns that sample them.
    void writeRunsOfPictureColumns(int level, int64_t y) {
        const uint32_t row = samplePosition(y, grid.aufly, DibHoch(picture));
        if (int64_t(row) != pictureRowLevelsOf) {
            for (size_t c = 0; c < pictureRowLevels.size(); ++c)
                pictureRowLevels[c] = levelOfGrey[grey(pixel(row, uint32_t(c)))];
            pictureRowLevelsOf = row;
        }
        int64_t first = -1;
        for (size_t c = 0; c < pictureRowLevels.size(); ++c) {
            if (pictureRowLevels[c] >= level) {
                if (first < 0)
                    first = columnStart[c];
            } else if (first >= 0) {
                MakeLine(first, columnStart[c] - 1);
                first = -1;
            }
        }
        if (first >= 0)
            MakeLine(first, grid.aufl - 1);
    }

    // The first grid column that samples each picture column c: the least x with
    // (width - 1) * x >= c * (aufl - 1); one more entry holds aufl.
    void findColumnStarts() {
        const int64_t width = DibBreit(picture);
        columnStart.resize(size_t(width) + 1);
        for (int64_t c = 0; c < width; ++c) {
            using u128 = unsigned __int128;
            const u128 n = u128(c) * u128(grid.aufl - 1), d = u128(std::max<int64_t>(width - 1, 1));
            columnStart[size_t(c)] = int64_t((n + d - 1) / d);
        }
        columnStart[size_t(width)] = grid.aufl;
        pictureRowLevels.resize(size_t(width));
    }

    // Runs of samples reaching the level, found 16 samples at a time: a bit per sample that
    // reaches it, and the edges where that bit changes start and end the runs.
    void writeRunsOfSamples(int level, int64_t y) {
        const uint8_t *levels = levelsOfRow(y);
        const uint8_t wanted = uint8_t(level);
        uint32_t previous = 0; // the sample before the chunk was in a run
        int64_t firstx = 0;
        for (int64_t x0 = 0; x0 < grid.aufl; x0 += 16) {
            const int valid = int(std::min<int64_t>(16, grid.aufl - x0));
            uint32_t reaching = reachingMask(levels + x0, wanted);
            if (valid < 16)
                reaching &= (1u << valid) - 1;
            uint32_t edges = (reaching ^ ((reaching << 1) | previous)) & ((1u << valid) - 1);
            while (edges != 0) {
                const int k = __builtin_ctz(edges);
                edges &= edges - 1;
                if (reaching >> k & 1)
                    firstx = x0 + k;
                else
                    MakeLine(firstx, x0 + k - 1);
            }
            previous = reaching >> (valid - 1) & 1;
        }
        if (previous)
            MakeLine(firstx, grid.aufl - 1);
    }

    // Bit k set when levels[k] >= wanted, for 16 samples (the row buffers are padded).
    static uint32_t reachingMask(const uint8_t *levels, uint8_t wanted) {
#if defined(__SSE2__)
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(levels));
        const __m128i atLeast =
            _mm_cmpeq_epi8(_mm_max_epu8(chunk, _mm_set1_epi8(char(wanted))), chunk);
        return uint32_t(_mm_movemask_epi8(atLeast));
#else
        uint32_t mask = 0;
        for (int k = 0; k < 16; ++k)
            mask |= uint32_t(levels[k] >= wanted) << k;
        return mask;
#endif
    }

    // A run of the row from firstx to lastx: written at once, or kept until the row is done.
    void MakeLine(int64_t firstx, int64_t lastx) {
        if (collectRuns)
            rowRuns.emplace_back(firstx, lastx);
        else
            writeGroup(firstx, lastx, texts.tail);
    }

    // One group: rapid to the run's start, plunge, cut to its end, retract (tail).
    void writeGroup(int64_t startx, int64_t endx, const std::string &tail) {
        const std::string_view from = columnText(startx, scratchFrom);
        const std::string_view to = columnText(endx, scratchTo);
        const size_t length = 4 + from.size() + texts.middle.size() + to.size() + tail.size();
        tally.Group(currentY, startx, endx);
        ++groups;
        if (!out) {
            measuredBytes += length;
            return;
        }
        char *dest = out->Reserve(length);
        if (length > out->BufferSize())
            return; // cannot happen with sane buffers; never write past the buffer
        append(dest, "G0 X", 4);
        append(dest, from.data(), from.size());
        append(dest, texts.middle.data(), texts.middle.size());
        append(dest, to.data(), to.size());
        append(dest, tail.data(), tail.size());
        out->Advance(length);
    }

    static void append(char *&dest, const char *text, size_t n) {
        std::memcpy(dest, text, n);
        dest += n;
    }

    const ReliefParameters &p;
    const dib &picture;
    OutputFile *out;
    ReliefGrid grid;
    NumberStyle style;
    GroupFrame frame;
    bool levelGridAllowed;
    MoveTally tally;
    int64_t currentY = 0;
    uint64_t measuredBytes = 0;
    std::vector<uint32_t> columns;     // the picture column each grid column samples
    std::vector<uint32_t> everyColumn; // 0 .. width - 1 when the grid samples every column
    std::vector<std::pair<uint32_t, uint64_t>> rows; // sampled picture rows, grid rows each
    int minc = 0, maxc = 255;
    uint8_t levelOfGrey[256]{};
    std::vector<uint8_t> levelGrid, rowLevels;
    int64_t rowLevelsOf = -1;              // the picture row rowLevels holds
    std::vector<int64_t> columnStart;      // a grid finer than the picture: see findColumnStarts
    std::vector<uint8_t> pictureRowLevels; // and the levels of one picture row
    int64_t pictureRowLevelsOf = -1;
    std::string columnTexts;
    std::vector<uint32_t> columnTextStart;
    std::string safeText;
    std::vector<std::string> retractTexts; // of each level, with a clearance
    std::vector<long double> retractHeights;
    std::vector<int64_t> lastRowOfLevel; // the last grid row with a run at each level
    bool collectRuns = false;            // runs wait in rowRuns until their row is done
    std::vector<std::pair<int64_t, int64_t>> rowRuns;
    bool reversedRow = false; // zigzag: the next row with runs is cut right to left
    RowTexts texts;
    char scratchFrom[kMaxFixedText + 1], scratchTo[kMaxFixedText + 1];
    uint64_t groups = 0;
};

ReliefResult failure(ReliefStatus status, std::string message, std::string detail = {}) {
    ReliefResult result;
    result.status = status;
    result.message = std::move(message);
    result.detail = std::move(detail);
    return result;
}

// A failure whose message carries values; its detail is the message, filled in.
ReliefResult failure(ReliefStatus status, UserMessage message) {
    ReliefResult result = failure(status, message.Filled(), message.Filled());
    result.messageParts = std::move(message);
    return result;
}

// A failure of the output file, with its system error.
ReliefResult outputFailure(ReliefStatus status, std::string message, const OutputFile &out) {
    ReliefResult result = failure(status, std::move(message), out.Error());
    result.errorNumber = out.ErrorNumber();
    return result;
}

std::string count(uint64_t n) {
    return std::to_string(n);
}

ReliefResult pictureRefused(const PictureLoad &load) {
    switch (load.refusal) {
    case PictureRefusal::TooManyPixels:
        return failure(ReliefStatus::PictureUnreadable,
                       UserMessage{kMessagePictureTooLarge,
                                   {count(uint64_t(load.width)), count(uint64_t(load.height)),
                                    count(uint64_t(DibPixelLimit()))}});
    case PictureRefusal::NotEnoughMemory:
        if (load.memoryNeeded > 0)
            return failure(
                ReliefStatus::PictureUnreadable,
                UserMessage{kMessagePictureMemory,
                            {ByteSizeText(load.memoryNeeded), ByteSizeText(load.memoryAvailable)}});
        return failure(ReliefStatus::PictureUnreadable, UserMessage{kMessageNoMemory, {}});
    default:
        return failure(ReliefStatus::PictureUnreadable, kMessagePictureNotLoaded);
    }
}

} // namespace

std::optional<ReliefResult> LoadReliefPicture(const std::string &picturePath, dib &picture) {
    if (const PictureLoad load = OpenPicture(picture, picturePath); picture.poi() == nullptr)
        return pictureRefused(load);
    DepthUpTo(picture, 24);
    // A picture that could not be raised to 24 bits is not read as one.
    if (picture.poi() == nullptr || picture.pmi.biBitCount != 24)
        return failure(ReliefStatus::PictureUnreadable, kMessagePictureNotLoaded);
    return std::nullopt;
}

namespace {

// The picture of a run, loaded and raised to 24 bits, and the checks that come before any
// output: a grid without two columns and a row (no cut would have a length), a run beyond the
// memory. Returns the failure, or nothing when the run can go on.
std::optional<ReliefResult> prepare(const ReliefParameters &p, const std::string &picturePath,
                                    dib &picture, uint64_t &memory, uint64_t &available) {
    if (std::optional<ReliefResult> refused = LoadReliefPicture(picturePath, picture))
        return refused;
    const ReliefGrid grid = ComputeReliefGrid(p, DibBreit(picture), DibHoch(picture));
    if (grid.aufl < 2 || grid.aufly < 1)
        return failure(ReliefStatus::InvalidParameters,
                       UserMessage{kMessageGridTooSmall,
                                   {count(uint64_t(std::max<int64_t>(grid.aufl, 0))),
                                    count(uint64_t(grid.aufly))}});
    memory = ReliefWriter::MemoryNeeded(p, grid, picture);
    available = AvailableMemory();
    if (memory > available)
        return failure(ReliefStatus::InvalidParameters,
                       UserMessage{kMessageReliefMemory,
                                   {count(uint64_t(grid.aufl)), count(uint64_t(grid.aufly)),
                                    ByteSizeText(memory), ByteSizeText(available)}});
    return std::nullopt;
}

bool levelGridAllowed(const ReliefParameters &p, const dib &picture, uint64_t memory,
                      uint64_t available) {
    const ReliefGrid grid = ComputeReliefGrid(p, DibBreit(picture), DibHoch(picture));
    return memory + ReliefWriter::LevelGridBytes(grid, picture) <= available;
}

// The run after the parameters were checked; a lack of memory on the way is thrown.
ReliefResult generate(const ReliefParameters &p, const std::string &picturePath,
                      const std::string &outputPath, OutputFile::Mode mode,
                      ReliefProgress *progress) {
    dib picture;
    uint64_t memory = 0, available = 0;
    if (std::optional<ReliefResult> refused = prepare(p, picturePath, picture, memory, available))
        return *refused;

    OutputFile out;
    const char *notCreated = mode == OutputFile::Mode::OwnTemporary ? kMessageTempFileNotCreated
                                                                    : kMessageFileNotCreated;
    if (!out.Open(outputPath, mode, kOutputBuffer))
        return outputFailure(ReliefStatus::OutputNotCreated, notCreated, out);
    ReliefWriter writer(p, picture, &out, levelGridAllowed(p, picture, memory, available));
    writer.progress = progress;
    writer.Prepare();
    if (const std::optional<uint64_t> room = out.FreeSpace()) {
        const auto [fewest, most] = writer.ProgramSize(*room);
        if (fewest > *room) {
            out.Abandon();
            return failure(ReliefStatus::InvalidParameters,
                           UserMessage{kMessageProgramTooLarge,
                                       {ByteSizeText(fewest), ByteSizeText(most), outputPath,
                                        ByteSizeText(*room)}});
        }
    }

    ReliefResult result;
    result.groups = writer.Run();
    if (progress && progress->cancel) {
        out.Abandon();
        return failure(ReliefStatus::Cancelled, "cancelled");
    }
    result.bytes = out.BytesWritten();
    result.estimate = writer.Figures();
    if (p.levelOptions.Any()) { // what the options save: the program without them, measured
        ReliefParameters plain = p;
        plain.levelOptions = LevelOptions{};
        result.estimate.plainSeconds = MeasureRelief(plain, picture).seconds;
    }
    deldib(picture);
    if (!out.Commit())
        return outputFailure(ReliefStatus::WriteFailed, out.Error(), out);
    return result;
}

ReliefResult measure(const ReliefParameters &p, const std::string &picturePath,
                     ReliefProgress *progress) {
    dib picture;
    uint64_t memory = 0, available = 0;
    if (std::optional<ReliefResult> refused = prepare(p, picturePath, picture, memory, available))
        return *refused;
    ReliefResult result;
    result.estimate = MeasureRelief(p, picture, progress);
    if (progress && progress->cancel)
        return failure(ReliefStatus::Cancelled, "cancelled");
    result.groups = result.estimate.cuts;
    result.bytes = result.estimate.bytes;
    return result;
}

// A run's checks of the parameters and the profile, then the work; a lack of memory on the
// way ends it with the one message.
template <typename Work> ReliefResult checkedRun(const ReliefParameters &p, Work work) {
    if (UserMessage problem = CheckReliefParameters(p); !problem.empty())
        return failure(ReliefStatus::InvalidParameters, std::move(problem));
    if (UserMessage problem = CheckProfile(p.profile); !problem.empty())
        return failure(ReliefStatus::InvalidParameters, std::move(problem));
    if (UserMessage problem = CheckReliefSafety(p, p.profile); !problem.empty())
        return failure(ReliefStatus::InvalidParameters, std::move(problem));
    try {
        return work();
    } catch (const std::bad_alloc &) {
        // The output was abandoned on the way out: the target is as it was.
        return failure(ReliefStatus::WriteFailed, UserMessage{kMessageNoMemory, {}});
    } catch (const std::length_error &) {
        return failure(ReliefStatus::WriteFailed, UserMessage{kMessageNoMemory, {}});
    }
}

} // namespace

UserMessage CheckReliefParameters(const ReliefParameters &p) {
    using L = ReliefLimits;
    const UserMessage notFinite{"Jeder Wert muss eine endliche Zahl sein", {}};
    for (double v : {p.sicher, p.tiefe, p.xstart, p.ystart, p.zstart, p.abstandfr})
        if (!std::isfinite(v))
            return notFinite;
    if (!std::isfinite(p.width))
        return notFinite;
    if (!(p.width >= L::minWidth && p.width <= L::maxWidth))
        return outOfRange("Die Motivbreite muss zwischen %1 und %2 liegen", L::minWidth,
                          L::maxWidth);
    if (!(p.abstandfr >= L::minDistance && p.abstandfr <= L::maxDistance))
        return outOfRange("Der Bahnabstand muss zwischen %1 und %2 liegen", L::minDistance,
                          L::maxDistance);
    if (p.levels < L::minLevels || p.levels > L::maxLevels)
        return {"Die Anzahl der Stufen muss zwischen 2 und 256 liegen", {}};
    if (p.nach < L::minDecimals || p.nach > L::maxDecimals)
        return {"Die Anzahl der Nachkommastellen muss zwischen 0 und 20 liegen", {}};
    if (p.levelOptions.useClearance) {
        if (!std::isfinite(p.levelOptions.clearance))
            return notFinite;
        if (!(p.levelOptions.clearance >= L::minClearance &&
              p.levelOptions.clearance <= L::maxClearance))
            return outOfRange("Der Freiraum muss zwischen %1 und %2 liegen", L::minClearance,
                              L::maxClearance);
    }
    return {};
}

double SafeSide(const ReliefParameters &p) {
    return p.sicher >= p.zstart ? 1.0 : -1.0;
}

int64_t GridColumns(long double width, double distance) {
    const long double quotient = width / (long double)distance;
    if (!(quotient >= 0) || quotient >= 4e18L)
        return 0;
    return int64_t(quotient);
}

ReliefGrid ComputeReliefGrid(const ReliefParameters &p, int32_t pictureWidth,
                             int32_t pictureHeight) {
    ReliefGrid grid;
    grid.abstuf = p.levels - 1;
    grid.aufl = GridColumns(p.width, p.abstandfr);
    if (pictureWidth > 0 && pictureHeight > 0 && grid.aufl > 0)
        grid.aufly = int64_t(pictureHeight) * grid.aufl / pictureWidth;
    // Formed in extended precision, held as a double.
    grid.scale = grid.aufl > 0 ? double(p.width / (long double)grid.aufl) : 0;
    return grid;
}

// A picture the generator can read: 24 bits and not empty.
static bool usablePicture(const dib &picture) {
    return picture.poi() != nullptr && picture.pmi.biBitCount == 24 && DibBreit(picture) > 0 &&
           DibHoch(picture) > 0;
}

uint64_t WriteRelief(const ReliefParameters &p, const dib &picture, OutputFile &out,
                     ReliefProgress *progress) {
    if (!usablePicture(picture))
        return 0;
    auto writer = std::make_unique<ReliefWriter>(p, picture, &out, true);
    writer->progress = progress;
    return writer->Run();
}

ReliefEstimate MeasureRelief(const ReliefParameters &p, const dib &picture,
                             ReliefProgress *progress) {
    if (!usablePicture(picture))
        return {};
    ReliefParameters plain = p;
    plain.levelOptions = LevelOptions{};
    auto writer = std::make_unique<ReliefWriter>(p, picture, nullptr, false);
    auto plainWriter = std::make_unique<ReliefWriter>(plain, picture, nullptr, false);
    const bool withOptions = p.levelOptions.Any();
    if (progress)
        progress->rowsTotal =
            saturatingSum(writer->RowsOfLevels(), withOptions ? plainWriter->RowsOfLevels() : 0);
    writer->progress = progress;
    writer->Measure();
    ReliefEstimate figures = writer->Figures();
    if (withOptions && !(progress && progress->cancel)) {
        plainWriter->progress = progress;
        plainWriter->Measure();
        figures.plainSeconds = plainWriter->Figures().seconds;
    }
    return figures;
}

ReliefLevelMap ComputeLevelMap(const ReliefParameters &p, const dib &picture, uint64_t maxCells) {
    if (!usablePicture(picture))
        return {};
    auto writer = std::make_unique<ReliefWriter>(p, picture, nullptr, false);
    return writer->LevelMap(std::max<uint64_t>(maxCells, 1));
}

ReliefResult GenerateReliefFile(const ReliefParameters &p, const std::string &picturePath,
                                const std::string &outputPath, OutputFile::Mode mode,
                                ReliefProgress *progress) {
    if (p.strategy == ReliefStrategy::Surface)
        return checkedRun(
            p, [&] { return GenerateSurfaceFile(p, picturePath, outputPath, mode, progress); });
    return checkedRun(p, [&] { return generate(p, picturePath, outputPath, mode, progress); });
}

ReliefResult MeasureReliefFile(const ReliefParameters &p, const std::string &picturePath,
                               ReliefProgress *progress) {
    if (p.strategy == ReliefStrategy::Surface)
        return checkedRun(p, [&] { return MeasureSurfaceFile(p, picturePath, progress); });
    return checkedRun(p, [&] { return measure(p, picturePath, progress); });
}

double SecondsSaved(const ReliefEstimate &e) {
    const double saved = e.plainSeconds - e.seconds;
    return std::isfinite(saved) && saved > 0 ? saved : 0;
}

} // namespace morvilo
