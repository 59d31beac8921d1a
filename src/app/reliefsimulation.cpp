#include "app/reliefsimulation.h"

#include "frontend/headlessrun.h"
#include "relief/dropcutter.h"
#include "relief/surfacepath.h"
#include "simulate/milling.h"
#include "vantrel/tempfile.h"
#include "view/partimage.h"
#include "view/viewstate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

namespace morvilo {

namespace {

// The most points a plot list of the simulation may hold: far beyond a relief a picture page
// shows, far below the memory.
constexpr uint32_t kMaxPoints = 50'000'000;

// The share of the work each step is given in the progress.
constexpr int kWritten = 300, kInterpreted = 500;

// The program file run through the interpreter as the machining preview runs it (the
// standard dialect: the generator writes for every control alike), ended after the current line
// once the simulation is cancelled or the plot list is full. What went wrong, if anything but a
// cancel did.
UserMessage interpret(const std::string &program, TPlotList &lines,
                      const std::atomic<bool> &cancel) {
    PlotListWriter plotList(lines);
    HeadlessRun run;
    run.path = program;
    run.motion = &plotList;
    run.points = &lines;
    run.maxPoints = kMaxPoints;
    run.stop = [&cancel] { return bool(cancel); };
    const HeadlessOutcome outcome = RunHeadless(run);
    if (!outcome.opened)
        return outcome.notOpened;
    if (outcome.pastPoints)
        return {"Das Programm hat mehr als %1 Punkte: zu viele für die Vorschau.",
                {std::to_string(kMaxPoints)}};
    return {};
}

// A temporary file of ours, removed when it goes.
class TemporaryProgram {
public:
    TemporaryProgram() : path(MYGetTempFileName("morvilo-preview", ".nc")) {}
    ~TemporaryProgram() {
        if (!path.empty())
            std::remove(path.c_str());
    }
    TemporaryProgram(const TemporaryProgram &) = delete;
    TemporaryProgram &operator=(const TemporaryProgram &) = delete;
    std::string path;
};

} // namespace

std::optional<ReliefViewGrid> ChooseReliefViewGrid(const ReliefParameters &p, int32_t columns,
                                                   int32_t rows, double maxCells) {
    if (columns < 2 || rows < 1 || !(maxCells >= 1))
        return std::nullopt;
    const double pitch = double(p.width / (long double)(columns - 1));
    const double width = pitch * (columns - 1);
    // A single pixel row still shows as a strip one pitch high.
    const double height = std::max(pitch * (rows - 1), pitch);
    ReliefViewGrid grid;
    grid.stock = {p.xstart, p.ystart, p.xstart + width, p.ystart + height, p.zstart};
    grid.resolution = std::max(std::sqrt(width * height / maxCells), pitch / 10);
    if (!StockIsValid(grid.stock) || !std::isfinite(grid.resolution))
        return std::nullopt;
    return grid;
}

bool TargetField(const TargetSurface &target, double up, const ReliefViewGrid &grid,
                 HeightField &field, UserMessage &message) {
    if (target.columns < 2 || target.rows < 1 || !field.Reset(grid.stock, grid.resolution, message))
        return false;
    // The target between the pixel centres, as the drop cutter sees it (in pixel units).
    const HeightGrid surface{target.columns, target.rows, 1.0, target.depth};
    float *cells = field.Writable();
    const float top = float(grid.stock.top);
    for (int32_t j = 0; j < field.Rows(); ++j) {
        const double v = (field.CellY(j) - target.ystart) / target.pitch;
        for (int32_t i = 0; i < field.Columns(); ++i) {
            const double u = (field.CellX(i) - target.xstart) / target.pitch;
            const float z = float(target.zstart + up * surface.Height(u, v));
            cells[size_t(j) * size_t(field.Columns()) + size_t(i)] = std::min(z, top);
        }
    }
    return true;
}

ReliefSimulation SimulateSurfaceRelief(const ReliefParameters &p, const std::string &picturePath,
                                       const ReliefViewGrid &grid, SimulationProgress &progress) {
    ReliefSimulation simulation;
    // Mirrored in Z where the safe height lies below Z start: the same heights above Z start,
    // the safe height's side up.
    ReliefParameters q = p;
    if (SurfaceFrame(p).Up() < 0) {
        q.sicher = 2 * p.zstart - p.sicher;
        q.tiefe = -p.tiefe;
    }
    TemporaryProgram finish, rough;
    if (finish.path.empty() || (p.surface.rough && rough.path.empty())) {
        simulation.problem = {kMessageTempFileNotCreated, {}};
        return simulation;
    }
    q.surface.roughOutput = p.surface.rough ? rough.path : std::string();

    ReliefProgress written;
    written.afterRow = [&] {
        const uint64_t total = written.rowsTotal;
        progress.permille = total ? int(written.rowsDone * kWritten / total) : 0;
        if (progress.cancel)
            written.cancel = true;
    };
    const ReliefResult result =
        GenerateReliefFile(q, picturePath, finish.path, OutputFile::Mode::OwnTemporary, &written);
    if (result.status == ReliefStatus::Cancelled || progress.cancel) {
        simulation.cancelled = true;
        return simulation;
    }
    if (result.status != ReliefStatus::Ok) {
        simulation.problem =
            result.messageParts.empty() ? UserMessage{result.message, {}} : result.messageParts;
        return simulation;
    }

    auto part = std::make_shared<HeightField>();
    if (!part->Reset(grid.stock, grid.resolution, simulation.problem))
        return simulation;
    // The roughing with its tool, then the finishing with its own.
    std::vector<std::pair<std::string, MillingTool>> programs;
    if (p.surface.rough)
        programs.emplace_back(rough.path, p.surface.roughTool);
    programs.emplace_back(finish.path, p.surface.tool);
    const int share = (1000 - kWritten) / int(programs.size());
    for (size_t k = 0; k < programs.size(); ++k) {
        const int start = kWritten + share * int(k);
        TPlotList lines;
        try {
            simulation.problem = interpret(programs[k].first, lines, progress.cancel);
        } catch (const std::bad_alloc &) {
            simulation.problem = {kMessageNoMemory, {}};
        }
        if (progress.cancel || !simulation.problem.empty()) {
            simulation.cancelled = progress.cancel;
            return simulation;
        }
        progress.permille = start + share * (kInterpreted - kWritten) / (1000 - kWritten);
        MillingControl control;
        control.cancel = &progress.cancel;
        const int milled = progress.permille;
        control.progress = [&progress, milled, start, share](double done) {
            progress.permille = milled + int(done * (start + share - milled));
        };
        if (MillPart(lines, programs[k].second, *part, control) == MillingResult::Cancelled) {
            simulation.cancelled = true;
            return simulation;
        }
    }
    progress.permille = 1000;
    simulation.part = std::move(part);
    return simulation;
}

QImage TopView(const HeightField &field, int width, int height) {
    if (field.Empty() || width < 1 || height < 1)
        return {};
    // The part's shape, no more pixels than cells: an enlarged picture is scaled by the label.
    const double columns = field.Columns(), rows = field.Rows();
    const double scale = std::min({width / columns, height / rows, 1.0});
    width = std::max(1, int(columns * scale));
    height = std::max(1, int(rows * scale));
    ViewState view;
    const FixedViewData &top = FixedViewDataOf(FixedView::Top);
    view.rotxv = top.rotxv;
    view.rotyv = top.rotyv;
    view.rotzv = top.rotzv;
    FitPartView(view, field, width, height);
    QImage image(width, height, kPartFormat);
    if (image.isNull())
        return {};
    PaintPart(image, field, view);
    return image;
}

} // namespace morvilo
