#include "relief/reliefgenerator.h"

#include "relief/grafikrw.h"
#include "relief/reliefformat.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvilo {

const char *const kMessageTempFileNotCreated = "Konnte temporäre Datei nicht anlegen.";
const char *const kMessagePictureNotLoaded = "Das Bild konnte nicht geladen werden.";
const char *const kMessageFileNotCreated = "Die Datei konnte nicht erzeugt werden!";

namespace {

// Above this many samples the levels are computed row by row for every level instead of
// being kept for the whole grid.
constexpr uint64_t kLevelGridBudget = uint64_t(1) << 30;
// Row buffers end with this many spare bytes, so that runs are scanned 16 samples at a time.
constexpr size_t kRowPadding = 16;
// Up to this many grid columns the X texts are formatted once and reused.
constexpr int64_t kColumnTextLimit = int64_t(1) << 20;

std::string outOfRange(const char *name, double low, double high) {
    return std::string(name) + " must lie between " + FormatFixed(low, 4) + " and " +
           FormatFixed(high, 0);
}

// Where each grid column or row samples the picture: (size - 1) * i / (cells - 1), truncated;
// a single cell samples index 0.
std::vector<int64_t> samplePositions(int64_t cells, int32_t size) {
    std::vector<int64_t> positions(static_cast<size_t>(cells));
    for (int64_t i = 0; i < cells; ++i)
        positions[size_t(i)] = cells > 1 ? int64_t(size - 1) * i / (cells - 1) : 0;
    return positions;
}

// Numbers of the four lines of a group that depend only on the level and the row.
struct RowTexts {
    std::string middle; // " Y<y>\rG1 Z<z>\rG1 X"
    std::string tail;   // " Y<y>\rG0 Z<safe>\r\n"
};

class ReliefWriter {
public:
    ReliefWriter(const ReliefParameters &p, const dib &picture, OutputFile &out)
        : p(p), picture(picture), out(out),
          grid(ComputeReliefGrid(p, DibBreit(picture), DibHoch(picture))) {}

    uint64_t Run() {
        if (grid.aufl <= 0 || grid.aufly <= 0)
            return 0;
        columns = samplePositions(grid.aufl, DibBreit(picture));
        rows = samplePositions(grid.aufly, DibHoch(picture));
        findBrightnessRange();
        buildLevelTable();
        buildColumnTexts();
        keepLevelGrid();
        safeText = FormatFixed(p.sicher, p.nach);
        rowLevels.resize(size_t(grid.aufl) + kRowPadding);
        if (progress)
            progress->rowsTotal = uint64_t(grid.abstuf + 1) * uint64_t(grid.aufly);
        for (int level = 0; level <= grid.abstuf && !stopped(); ++level) {
            const long double z = (long double)level * p.tiefe / grid.abstuf + p.zstart;
            const std::string zText = FormatFixed(z, p.nach);
            for (int64_t y = 0; y < grid.aufly && !stopped(); ++y) {
                writeRow(level, y, zText);
                if (progress)
                    progress->rowsDone.fetch_add(1, std::memory_order_relaxed);
            }
        }
        return groups;
    }

    ReliefProgress *progress = nullptr;

private:
    bool stopped() const {
        return out.Failed() || (progress && progress->cancel.load(std::memory_order_relaxed));
    }

    const uint8_t *samplePixel(int64_t x, int64_t y) const {
        return picture.row(rows[size_t(y)]) + columns[size_t(x)] * 3;
    }
    static int grey(const uint8_t *bgr) { return (30 * bgr[2] + 59 * bgr[1] + 11 * bgr[0]) / 100; }

    void findBrightnessRange() {
        if (!p.brightnessRange) {
            minc = 0;
            maxc = 255;
            return;
        }
        minc = 255;
        maxc = 0;
        for (int64_t y = 0; y < grid.aufly; ++y)
            for (int64_t x = 0; x < grid.aufl; ++x) {
                const int g = grey(samplePixel(x, y));
                minc = std::min(minc, g);
                maxc = std::max(maxc, g);
            }
    }

    // Level of every grey value: brightness normalised by the range (divided by the maximum,
    // not by maximum - minimum), optionally inverted, scaled to 0 .. abstuf. An all-black
    // picture under the range option (maxc = 0) gives brightness 0 everywhere.
    void buildLevelTable() {
        for (int g = 0; g < 256; ++g) {
            int b = (maxc > 0 && g >= minc) ? (g - minc) * 255 / maxc : 0;
            if (p.invert)
                b = 255 - b;
            levelOfGrey[g] = uint8_t(b * grid.abstuf / 255);
        }
    }

    void computeRowLevels(int64_t y, uint8_t *dest) const {
        for (int64_t x = 0; x < grid.aufl; ++x)
            dest[x] = levelOfGrey[grey(samplePixel(x, y))];
    }

    // Each sample's level is computed once when the whole grid fits the budget.
    void keepLevelGrid() {
        const uint64_t samples = uint64_t(grid.aufl) * uint64_t(grid.aufly);
        if (samples > kLevelGridBudget)
            return;
        try {
            levelGrid.resize(samples + kRowPadding);
        } catch (const std::bad_alloc &) {
            levelGrid.clear();
            return;
        }
        for (int64_t y = 0; y < grid.aufly; ++y)
            computeRowLevels(y, levelGrid.data() + y * grid.aufl);
    }

    const uint8_t *levelsOfRow(int64_t y) {
        if (!levelGrid.empty())
            return levelGrid.data() + y * grid.aufl;
        computeRowLevels(y, rowLevels.data());
        return rowLevels.data();
    }

    long double columnX(int64_t x) const { return (long double)x * grid.scale + p.xstart; }

    void buildColumnTexts() {
        if (grid.aufl > kColumnTextLimit)
            return;
        columnTextStart.reserve(size_t(grid.aufl) + 1);
        char text[kMaxFixedText];
        for (int64_t x = 0; x < grid.aufl; ++x) {
            columnTextStart.push_back(uint32_t(columnTexts.size()));
            columnTexts.append(text, FormatFixed(columnX(x), p.nach, text));
        }
        columnTextStart.push_back(uint32_t(columnTexts.size()));
    }

    std::string_view columnText(int64_t x, char *scratch) const {
        if (!columnTextStart.empty()) {
            const uint32_t begin = columnTextStart[size_t(x)];
            return {columnTexts.data() + begin, columnTextStart[size_t(x) + 1] - begin};
        }
        return {scratch, FormatFixed(columnX(x), p.nach, scratch)};
    }

    void writeRow(int level, int64_t y, const std::string &zText) {
        const long double yValue = (long double)y * grid.scale + p.ystart;
        const std::string yText = FormatFixed(yValue, p.nach);
        texts.middle = " Y" + yText + "\rG1 Z" + zText + "\rG1 X";
        texts.tail = " Y" + yText + "\rG0 Z" + safeText + "\r\n";

        // Runs of samples reaching the level, found 16 samples at a time: a bit per sample
        // that reaches it, and the edges where that bit changes start and end the runs.
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

    // One group: rapid to the run's start, plunge, cut to its end, retract.
    void MakeLine(int64_t firstx, int64_t lastx) {
        const std::string_view from = columnText(firstx, scratchFrom);
        const std::string_view to = columnText(lastx, scratchTo);
        const size_t length = 4 + from.size() + texts.middle.size() + to.size() + texts.tail.size();
        char *dest = out.Reserve(length);
        if (length > out.BufferSize())
            return; // cannot happen with sane buffers; never write past the buffer
        append(dest, "G0 X", 4);
        append(dest, from.data(), from.size());
        append(dest, texts.middle.data(), texts.middle.size());
        append(dest, to.data(), to.size());
        append(dest, texts.tail.data(), texts.tail.size());
        out.Advance(length);
        ++groups;
    }

    static void append(char *&dest, const char *text, size_t n) {
        std::memcpy(dest, text, n);
        dest += n;
    }

    const ReliefParameters &p;
    const dib &picture;
    OutputFile &out;
    ReliefGrid grid;
    std::vector<int64_t> columns, rows;
    int minc = 0, maxc = 255;
    uint8_t levelOfGrey[256]{};
    std::vector<uint8_t> levelGrid, rowLevels;
    std::string columnTexts;
    std::vector<uint32_t> columnTextStart;
    std::string safeText;
    RowTexts texts;
    char scratchFrom[kMaxFixedText], scratchTo[kMaxFixedText];
    uint64_t groups = 0;
};

ReliefResult failure(ReliefStatus status, std::string message, std::string detail = {}) {
    ReliefResult result;
    result.status = status;
    result.message = std::move(message);
    result.detail = std::move(detail);
    return result;
}

} // namespace

std::string CheckReliefParameters(const ReliefParameters &p) {
    using L = ReliefLimits;
    for (double v : {p.sicher, p.tiefe, p.xstart, p.ystart, p.zstart, p.abstandfr})
        if (!std::isfinite(v))
            return "every value must be a finite number";
    if (!std::isfinite(p.width))
        return "every value must be a finite number";
    if (!(p.width >= L::minWidth && p.width <= L::maxWidth))
        return outOfRange("the motif width", L::minWidth, L::maxWidth);
    if (!(p.abstandfr >= L::minDistance && p.abstandfr <= L::maxDistance))
        return outOfRange("the path distance", L::minDistance, L::maxDistance);
    if (p.levels < L::minLevels || p.levels > L::maxLevels)
        return "the number of levels must lie between 2 and 256";
    if (p.nach < L::minDecimals || p.nach > L::maxDecimals)
        return "the number of decimals must lie between 0 and 20";
    return {};
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

uint64_t WriteRelief(const ReliefParameters &p, const dib &picture, OutputFile &out,
                     ReliefProgress *progress) {
    if (picture.poi() == nullptr || picture.pmi.biBitCount != 24 || DibBreit(picture) <= 0 ||
        DibHoch(picture) <= 0)
        return 0;
    auto writer = std::make_unique<ReliefWriter>(p, picture, out);
    writer->progress = progress;
    return writer->Run();
}

ReliefResult GenerateReliefFile(const ReliefParameters &p, const std::string &picturePath,
                                const std::string &outputPath, OutputFile::Mode mode,
                                ReliefProgress *progress) {
    if (std::string problem = CheckReliefParameters(p); !problem.empty())
        return failure(ReliefStatus::InvalidParameters, problem, problem);

    dib picture;
    OpenDib(picture, picturePath, 0, 0);
    if (picture.poi() == nullptr)
        return failure(ReliefStatus::PictureUnreadable, kMessagePictureNotLoaded);
    DepthUpTo(picture, 24);
    // A picture that could not be raised to 24 bits is not read as one.
    if (picture.poi() == nullptr || picture.pmi.biBitCount != 24)
        return failure(ReliefStatus::PictureUnreadable, kMessagePictureNotLoaded);

    OutputFile out;
    const char *notCreated = mode == OutputFile::Mode::OwnTemporary ? kMessageTempFileNotCreated
                                                                    : kMessageFileNotCreated;
    if (!out.Open(outputPath, mode))
        return failure(ReliefStatus::OutputNotCreated, notCreated, out.Error());

    ReliefResult result;
    result.groups = WriteRelief(p, picture, out, progress);
    deldib(picture);
    if (progress && progress->cancel) {
        out.Abandon();
        return failure(ReliefStatus::Cancelled, "cancelled");
    }
    result.bytes = out.BytesWritten();
    if (!out.Commit())
        return failure(ReliefStatus::WriteFailed, out.Error(), out.Error());
    return result;
}

} // namespace morvilo
