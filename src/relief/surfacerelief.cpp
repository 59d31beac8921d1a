#include "relief/surfacerelief.h"

#include "machine/motiontime.h"
#include "relief/dropcutter.h"
#include "relief/roughing.h"
#include "relief/surfacepath.h"
#include "vantrel/fixedformat.h"
#include "vantrel/room.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <optional>
#include <stdexcept>
#include <thread>

namespace morvilo {

const char *const kMessageNoToolChange =
    "Das Profil „%1“ hat keinen Werkzeugwechsel: das Schruppen braucht eine eigene Datei.";

namespace {

// Raster rows (or a roughing layer's rows) computed together before they are written.
constexpr int64_t kRowChunk = 64;
// The most raster rows a pass may have.
constexpr int64_t kMaxRows = int64_t(1) << 26;
// The most lattice samples along a row.
constexpr int64_t kMaxSamples = int64_t(1) << 28;

const char *const kMessageSurfaceTooLarge =
    "Die Bahnen aus %1 Zeilen mit je %2 Punkten sind zu viele: der Bahnabstand muss größer "
    "werden.";

ReliefResult failure(ReliefStatus status, UserMessage message, std::string detail = {}) {
    ReliefResult result;
    result.status = status;
    result.message = message.Filled();
    result.detail = detail.empty() ? message.Filled() : std::move(detail);
    result.messageParts = std::move(message);
    return result;
}

const char *const kMessageFileNotWritten = "Die Datei konnte nicht geschrieben werden.";

// A failure of an output file: the system's reason in detail and its number, and the file when
// it is the roughing program of its own.
ReliefResult outputFailure(ReliefStatus status, const char *message, const OutputFile &out,
                           std::string roughFile = {}) {
    ReliefResult result = failure(status, UserMessage{message, {}}, out.Error());
    result.errorNumber = out.ErrorNumber();
    result.failedFile = std::move(roughFile);
    return result;
}

int grey(const uint8_t *bgr) {
    return (30 * bgr[2] + 59 * bgr[1] + 11 * bgr[0]) / 100;
}

bool usable(const dib &picture) {
    return picture.poi() != nullptr && picture.pmi.biBitCount == 24 && DibBreit(picture) > 1 &&
           DibHoch(picture) > 0;
}

} // namespace

TargetSurface ComputeTargetSurface(const ReliefParameters &p, const dib &picture) {
    TargetSurface s;
    if (!usable(picture))
        return s;
    s.columns = DibBreit(picture);
    s.rows = DibHoch(picture);
    s.pitch = double(p.width / (long double)(s.columns - 1));
    s.xstart = p.xstart;
    s.ystart = p.ystart;
    s.zstart = p.zstart;
    int minGrey = 255, maxGrey = 0;
    for (int32_t r = 0; r < s.rows; ++r) {
        const uint8_t *row = picture.row(uint32_t(r));
        for (int32_t c = 0; c < s.columns; ++c) {
            const int g = grey(row + size_t(c) * 3);
            minGrey = std::min(minGrey, g);
            maxGrey = std::max(maxGrey, g);
        }
    }
    float depthOf[256];
    for (int g = 0; g < 256; ++g) {
        double b = g;
        if (p.brightnessRange)
            b = maxGrey > minGrey ? double(g - minGrey) / double(maxGrey - minGrey) * 255 : 0;
        if (p.invert)
            b = 255 - b;
        depthOf[g] = float(p.tiefe * b / 255);
    }
    s.depth.resize(size_t(s.columns) * size_t(s.rows));
    float *depth = s.depth.data();
    for (int32_t r = 0; r < s.rows; ++r) {
        const uint8_t *row = picture.row(uint32_t(r));
        for (int32_t c = 0; c < s.columns; ++c)
            *depth++ = depthOf[grey(row + size_t(c) * 3)];
    }
    return s;
}

UserMessage CheckSurfaceOptions(const ReliefParameters &p) {
    const SurfaceOptions &o = p.surface;
    using L = SurfaceLimits;
    for (const MillingTool *tool : {&o.tool, &o.roughTool}) {
        if (!ToolIsValid(*tool) || tool->diameter > L::maxDiameter)
            return {"Der Fräser braucht einen Durchmesser über 0 und bis 1000, ein V-Fräser einen "
                    "Winkel über 0 und unter 180 Grad",
                    {}};
        if (!o.rough)
            break;
    }
    if (!(o.tolerance >= L::minTolerance && o.tolerance <= L::maxTolerance))
        return {"Die Toleranz muss zwischen 0.0001 und 10 liegen", {}};
    if (!(o.clearance >= 0 && o.clearance <= L::maxClearance))
        return {"Der Sicherheitsabstand muss zwischen 0 und 100000 liegen", {}};
    if (o.rough) {
        if (!(o.stepdown >= L::minStepdown && o.stepdown <= L::maxClearance))
            return {"Die Zustellung muss zwischen 0.001 und 100000 liegen", {}};
        if (!(o.leave >= 0 && o.leave <= L::maxClearance))
            return {"Das Aufmaß muss zwischen 0 und 100000 liegen", {}};
        if (!(o.roughStepover >= 0 && o.roughStepover <= L::maxClearance))
            return {"Der Bahnabstand beim Schruppen muss zwischen 0 und 100000 liegen", {}};
    }
    return {};
}

namespace {

// The finishing passes of a surface: rows of tool positions along one direction, merged
// within the tolerance, zigzag or one way.
class FinishPass {
public:
    FinishPass(const SurfaceFrame &frame, const HeightGrid &grid, bool alongY,
               const SurfaceOptions &o, double distance, bool arcs)
        : frame(frame), alongY(alongY), o(o),
          cutter(grid, o.tool, DropCutter::SubdivisionsFor(grid.pitch, o.tool)),
          rows(RasterRows(double(grid.rows - 1) * grid.pitch, distance)),
          arcStep(arcs ? cutter.Step() : 0) {}

    int64_t Rows() const { return int64_t(rows.size()); }
    int64_t Samples() const { return cutter.RowSamples(); }

    // Writes the pass; false when it was cancelled. The next rows are computed (on every
    // thread) while the rows before them are written.
    bool Write(GcodeWriter &w, ReliefProgress *progress) {
        const int64_t n = cutter.RowSamples();
        std::vector<std::vector<float>> buffers(ThreadCount(), std::vector<float>(size_t(n)));
        std::vector<DropCutter::RowCache> caches(ThreadCount());
        std::vector<PathRow> chunks[2] = {std::vector<PathRow>(kRowChunk),
                                          std::vector<PathRow>(kRowChunk)};
        auto compute = [&](int64_t first, std::vector<PathRow> &chunk) {
            ParallelRows(first, std::min(Rows(), first + kRowChunk), [&](int64_t k, unsigned t) {
                float *heights = buffers[t].data();
                cutter.Row(rows[size_t(k)], heights, caches[t]);
                MergePath(heights, 0, n, o.tolerance, chunk[size_t(k - first)], arcStep,
                          o.tool.shape == ToolShape::Flat);
            });
        };
        compute(0, chunks[0]);
        for (int64_t first = 0, c = 0; first < Rows(); first += kRowChunk, c ^= 1) {
            std::thread next;
            if (first + kRowChunk < Rows())
                next = std::thread(compute, first + kRowChunk, std::ref(chunks[c ^ 1]));
            const bool written = writeRows(w, progress, first, chunks[c]);
            if (next.joinable())
                next.join();
            if (!written)
                return false;
        }
        return true;
    }

private:
    // Writes the rows from first on, merged into chunk; false when the run was cancelled.
    bool writeRows(GcodeWriter &w, ReliefProgress *progress, int64_t first,
                   std::vector<PathRow> &chunk) {
        const double step = cutter.Step();
        const int64_t last = std::min(Rows(), first + kRowChunk);
        for (int64_t k = first; k < last; ++k) {
            PathRow &row = chunk[size_t(k - first)];
            const bool backwards = !o.oneWay && k % 2 == 1;
            const int64_t start = backwards ? int64_t(row.kept.size()) - 1 : 0;
            const double entryU = row.kept[size_t(start)] * step;
            const float entryHeight = row.heights[size_t(start)];
            const double v = rows[size_t(k)];
            if (k == 0 && !w.HasXY()) {
                frame.Enter(w, at(entryU, v, entryHeight));
            } else if (k == 0 || o.oneWay) {
                frame.Hop(w, at(entryU, v, entryHeight));
            } else {
                // The step to the next row follows the surface at the end's position.
                const double u = entryU, from = rows[size_t(k - 1)];
                const int64_t steps = std::max<int64_t>(1, int64_t(std::ceil((v - from) / step)));
                link.assign(size_t(steps + 1), 0);
                link[0] = float(w.Height());
                for (int64_t j = 1; j < steps; ++j)
                    link[size_t(j)] =
                        float(cutter.At(u, from + (v - from) * double(j) / double(steps)));
                link[size_t(steps)] = entryHeight;
                MergePath(link.data(), 0, steps + 1, o.tolerance, linkRow);
                for (size_t j = 1; j < linkRow.kept.size(); ++j)
                    w.Move(Motion::Cut,
                           at(u, from + (v - from) * double(linkRow.kept[j]) / double(steps),
                              linkRow.heights[j]));
            }
            const int64_t count = int64_t(row.kept.size());
            for (int64_t j = 1; j < count; ++j) {
                const size_t m = size_t(backwards ? count - 1 - j : j);
                // Backwards the move into m is the one that ends at m + 1, turned round.
                const double bulge = backwards ? -row.bulges[m + 1] : row.bulges[m];
                const ToolPoint to = at(row.kept[m] * step, v, row.heights[m]);
                if (bulge != 0)
                    w.Arc(to, bulge, alongY);
                else
                    w.Move(Motion::Cut, to);
            }
            if (!RowWritten(w, progress))
                return false;
        }
        return true;
    }

    // A point of the pass: u along the row, v across, h the height.
    ToolPoint at(double u, double v, double h) const {
        return alongY ? frame.Point(v, u, h) : frame.Point(u, v, h);
    }

    const SurfaceFrame &frame;
    bool alongY;
    const SurfaceOptions &o;
    DropCutter cutter;
    std::vector<double> rows;
    double arcStep;          // 0: no arcs
    std::vector<float> link; // the step to the next row
    PathRow linkRow;
};

// The grid of heights of a target surface, growing towards the safe height (in the target's
// own memory).
HeightGrid heightGrid(TargetSurface &&target, double up) {
    HeightGrid grid;
    grid.columns = target.columns;
    grid.rows = target.rows;
    grid.pitch = target.pitch;
    grid.heights = std::move(target.depth);
    for (float &height : grid.heights)
        height = float(up) * height;
    return grid;
}

// The rows the passes of a run have, for the progress.
uint64_t rowsOf(const std::vector<std::unique_ptr<FinishPass>> &passes) {
    uint64_t total = 0;
    for (const auto &pass : passes)
        total += uint64_t(pass->Rows());
    return total;
}

} // namespace

SurfaceRun WriteSurfaceRelief(const ReliefParameters &p, const dib &picture, OutputFile *finish,
                              OutputFile *rough, ReliefProgress *progress) {
    SurfaceRun run;
    TargetSurface target = ComputeTargetSurface(p, picture);
    if (target.columns < 2)
        return run;
    const SurfaceOptions &o = p.surface;
    const SurfaceFrame frame(p);
    const HeightGrid grid = heightGrid(std::move(target), frame.Up());
    std::optional<HeightGrid> transposed;
    std::vector<std::unique_ptr<FinishPass>> passes;
    const bool arcs = ArcsAllowed(p);
    if (o.direction != RasterDirection::Y)
        passes.push_back(std::make_unique<FinishPass>(frame, grid, false, o, p.abstandfr, arcs));
    if (o.direction != RasterDirection::X) {
        transposed = grid.Transposed();
        passes.push_back(
            std::make_unique<FinishPass>(frame, *transposed, true, o, p.abstandfr, arcs));
    }
    std::optional<Roughing> roughing;
    if (o.rough)
        roughing.emplace(frame, grid, o);
    if (progress)
        progress->rowsTotal = rowsOf(passes) + (roughing ? roughing->Rows() : 0);

    const bool combined = roughing && o.roughOutput.empty();
    GcodeWriter w(p, finish);
    // With a tool change first the spindle starts after it.
    w.Header(!combined);
    if (roughing) {
        GcodeWriter separate(p, rough);
        GcodeWriter &rw = combined ? w : separate;
        if (!combined)
            rw.Header();
        else
            rw.ToolChange(o.roughToolNumber);
        run.cancelled = !roughing->Write(rw, progress);
        rw.MoveZ(Motion::Rapid, p.sicher);
        if (!combined) {
            rw.Footer();
            run.rough = rw.Figures();
        } else {
            w.ToolChange(o.finishToolNumber);
        }
    }
    for (size_t k = 0; k < passes.size() && !run.cancelled; ++k)
        run.cancelled = !passes[k]->Write(w, progress);
    w.PlaneXY();
    w.MoveZ(Motion::Rapid, p.sicher);
    w.Footer();
    run.finish = w.Figures();
    run.finish.columns = passes.front()->Samples();
    run.finish.rows = passes.front()->Rows();
    return run;
}

namespace {

// The checks of a run on a picture: the options, the picture, the size of the work.
std::optional<ReliefResult> prepareSurface(const ReliefParameters &p,
                                           const std::string &picturePath, dib &picture) {
    if (UserMessage problem = CheckSurfaceOptions(p); !problem.empty())
        return failure(ReliefStatus::InvalidParameters, std::move(problem));
    if (std::optional<ReliefResult> refused = LoadReliefPicture(picturePath, picture))
        return refused;
    if (DibBreit(picture) < 2)
        return failure(
            ReliefStatus::InvalidParameters,
            UserMessage{kMessageGridTooSmall,
                        {std::to_string(DibBreit(picture)), std::to_string(DibHoch(picture))}});
    const double pitch = double(p.width / (long double)(DibBreit(picture) - 1));
    const double extent = std::max(pitch * (DibBreit(picture) - 1), pitch * (DibHoch(picture) - 1));
    const double rows = extent / p.abstandfr + 2;
    const double samples = double(DibBreit(picture) + DibHoch(picture)) * 8;
    if (rows > double(kMaxRows) || samples > double(kMaxSamples))
        return failure(
            ReliefStatus::InvalidParameters,
            UserMessage{kMessageSurfaceTooLarge, {FormatFixed(rows, 0), FormatFixed(samples, 0)}});
    // The target surface, the grid and its turned copy, a row buffer per thread, the roughing
    // positions.
    const uint64_t pixels = uint64_t(DibBreit(picture)) * uint64_t(DibHoch(picture));
    uint64_t memory = pixels * 13 + uint64_t(samples) * 64 * 16;
    if (p.surface.rough)
        memory += RoughingBytes(p, DibBreit(picture), DibHoch(picture));
    const uint64_t available = AvailableMemory();
    if (memory > available)
        return failure(
            ReliefStatus::InvalidParameters,
            UserMessage{kMessageReliefMemory,
                        {std::to_string(DibBreit(picture)), std::to_string(DibHoch(picture)),
                         ByteSizeText(memory), ByteSizeText(available)}});
    if (p.surface.rough && p.surface.roughOutput.empty() && p.profile.toolChange.empty())
        return failure(ReliefStatus::InvalidParameters,
                       UserMessage{kMessageNoToolChange, {p.profile.name}});
    return std::nullopt;
}

ReliefEstimate sum(const ReliefEstimate &a, const ReliefEstimate &b) {
    ReliefEstimate e = a;
    e.cuts += b.cuts;
    e.bytes += b.bytes;
    e.rapidLength += b.rapidLength;
    e.plungeLength += b.plungeLength;
    e.cutLength += b.cutLength;
    e.retractLength += b.retractLength;
    e.seconds += b.seconds;
    return e;
}

} // namespace

ReliefResult GenerateSurfaceFile(const ReliefParameters &p, const std::string &picturePath,
                                 const std::string &outputPath, OutputFile::Mode mode,
                                 ReliefProgress *progress) {
    dib picture;
    if (std::optional<ReliefResult> refused = prepareSurface(p, picturePath, picture))
        return *refused;
    const char *notCreated = mode == OutputFile::Mode::OwnTemporary ? kMessageTempFileNotCreated
                                                                    : kMessageFileNotCreated;
    OutputFile finish, rough;
    if (!finish.Open(outputPath, mode, size_t(4) << 20))
        return outputFailure(ReliefStatus::OutputNotCreated, notCreated, finish);
    const bool separate = p.surface.rough && !p.surface.roughOutput.empty();
    if (separate &&
        !rough.Open(p.surface.roughOutput, OutputFile::Mode::Replace, size_t(1) << 20)) {
        finish.Abandon();
        return outputFailure(ReliefStatus::OutputNotCreated, kMessageFileNotCreated, rough,
                             p.surface.roughOutput);
    }
    const SurfaceRun run =
        WriteSurfaceRelief(p, picture, &finish, separate ? &rough : nullptr, progress);
    deldib(picture);
    if (run.cancelled || (progress && progress->cancel)) {
        finish.Abandon();
        if (separate)
            rough.Abandon();
        ReliefResult result;
        result.status = ReliefStatus::Cancelled;
        result.message = result.detail = "cancelled";
        return result;
    }
    ReliefResult result;
    result.estimate = sum(run.finish, run.rough);
    result.groups = result.estimate.cuts;
    result.bytes = result.estimate.bytes;
    if (separate && !rough.Commit()) {
        finish.Abandon();
        return outputFailure(ReliefStatus::WriteFailed, kMessageFileNotWritten, rough,
                             p.surface.roughOutput);
    }
    if (!finish.Commit())
        return outputFailure(ReliefStatus::WriteFailed, kMessageFileNotWritten, finish);
    return result;
}

ReliefResult MeasureSurfaceFile(const ReliefParameters &p, const std::string &picturePath,
                                ReliefProgress *progress) {
    dib picture;
    if (std::optional<ReliefResult> refused = prepareSurface(p, picturePath, picture))
        return *refused;
    const SurfaceRun run = WriteSurfaceRelief(p, picture, nullptr, nullptr, progress);
    ReliefResult result;
    if (run.cancelled) {
        result.status = ReliefStatus::Cancelled;
        result.message = result.detail = "cancelled";
        return result;
    }
    result.estimate = sum(run.finish, run.rough);
    result.groups = result.estimate.cuts;
    result.bytes = result.estimate.bytes;
    return result;
}

} // namespace morvilo
