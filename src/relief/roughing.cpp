#include "relief/roughing.h"

#include <algorithm>
#include <cmath>

namespace morvilo {

namespace {

// A position stands below a layer when it is lower by more than this.
constexpr double kBelow = 1e-6;

double stepoverOf(const SurfaceOptions &o) {
    return o.roughStepover > 0 ? o.roughStepover : 0.4 * o.roughTool.diameter;
}

HeightGrid raisedBy(const HeightGrid &grid, double leave) {
    HeightGrid raised = grid;
    for (float &h : raised.heights)
        h = float(double(h) + leave);
    return raised;
}

} // namespace

uint64_t RoughingBytes(const ReliefParameters &p, int32_t columns, int32_t rows) {
    const SurfaceOptions &o = p.surface;
    const double pitch = double(p.width / (long double)std::max(1, columns - 1));
    const double extent = pitch * std::max(0, rows - 1);
    const double rasterRows = extent / stepoverOf(o) + 2;
    const double samples =
        double(std::max(0, columns - 1)) * DropCutter::SubdivisionsFor(pitch, o.roughTool) + 1;
    const double bytes = rasterRows * samples * 4 + double(columns) * double(rows) * 4;
    return bytes >= 1.8e19 ? UINT64_MAX : uint64_t(bytes);
}

Roughing::Roughing(const SurfaceFrame &frame, const HeightGrid &grid, const SurfaceOptions &o)
    : frame(frame), o(o), raised(raisedBy(grid, o.leave)),
      cutter(raised, o.roughTool, DropCutter::SubdivisionsFor(grid.pitch, o.roughTool)),
      stepover(stepoverOf(o)), rows(RasterRows(double(grid.rows - 1) * grid.pitch, stepover)),
      samples(cutter.RowSamples()) {
    field.resize(rows.size() * size_t(samples));
    std::vector<DropCutter::RowCache> caches(ThreadCount());
    ParallelRows(0, int64_t(rows.size()), [&](int64_t k, unsigned t) {
        cutter.Row(rows[size_t(k)], field.data() + size_t(k) * size_t(samples), caches[t]);
    });
    const double bottom = field.empty() ? 0 : *std::min_element(field.begin(), field.end());
    for (int64_t k = 1; bottom < -kBelow; ++k) {
        const double layer = -double(k) * o.stepdown;
        layers.push_back(std::max(layer, bottom));
        if (layer <= bottom)
            break;
    }
}

double Roughing::travelHeight(int64_t a, int64_t i, int64_t b, int64_t j, double previous) const {
    const double radius = o.roughTool.Radius();
    const int64_t rowReach = int64_t(std::ceil(radius / stepover));
    const int64_t sampleReach = int64_t(std::ceil(radius / cutter.Step()));
    const int64_t r0 = std::max<int64_t>(0, std::min(a, b) - rowReach);
    const int64_t r1 = std::min<int64_t>(int64_t(rows.size()) - 1, std::max(a, b) + rowReach);
    const int64_t s0 = std::max<int64_t>(0, std::min(i, j) - sampleReach);
    const int64_t s1 = std::min<int64_t>(samples - 1, std::max(i, j) + sampleReach);
    double highest = previous;
    for (int64_t r = r0; r <= r1; ++r)
        for (int64_t s = s0; s <= s1; ++s)
            highest = std::max(highest, double(placed(r, s)));
    // Between the rows the material stands higher than the tool's tip by the tool's shape.
    return std::min(0.0, highest) + ToolOffset(o.roughTool, std::min(radius, stepover)) +
           o.clearance;
}

bool Roughing::Write(GcodeWriter &w, ReliefProgress *progress) {
    const double step = cutter.Step();
    bool first = true, forward = true;
    int64_t atRow = -1, atSample = -1;
    std::vector<float> heights(static_cast<size_t>(samples));
    std::vector<float> link;
    PathRow path, linkPath;
    const int64_t rowCount = int64_t(rows.size());
    for (size_t layerIndex = 0; layerIndex < layers.size(); ++layerIndex) {
        const double layer = layers[layerIndex];
        const double previous = layerIndex > 0 ? layers[layerIndex - 1] : 0.0;
        for (int64_t rowIndex = 0; rowIndex < rowCount; ++rowIndex) {
            const int64_t r = layerIndex % 2 == 0 ? rowIndex : rowCount - 1 - rowIndex;
            // The runs of the row that stand below the layer before.
            std::vector<std::pair<int64_t, int64_t>> runs;
            for (int64_t s = 0; s < samples; ++s) {
                if (!(placed(r, s) < previous - kBelow))
                    continue;
                int64_t e = s;
                while (e + 1 < samples && placed(r, e + 1) < previous - kBelow)
                    ++e;
                runs.emplace_back(s, e);
                s = e;
            }
            if (!forward)
                std::reverse(runs.begin(), runs.end());
            for (const auto &[a, b] : runs) {
                const int64_t start = forward ? a : b;
                const double startHeight = std::max(layer, double(placed(r, start)));
                const ToolPoint entry =
                    frame.Point(double(start) * step, rows[size_t(r)], startHeight);
                if (first) {
                    frame.Enter(w, entry);
                    first = false;
                } else if (atRow == r && atSample == start) {
                    w.Move(Motion::Plunge, entry);
                } else if (std::abs(atRow - r) == 1 && atSample == start) {
                    // A step to the next row stays in the layer when the way is free.
                    const double from = rows[size_t(atRow)], to = rows[size_t(r)];
                    const int64_t steps =
                        std::max<int64_t>(1, int64_t(std::ceil(std::fabs(to - from) / step)));
                    link.assign(size_t(steps + 1), 0);
                    bool free = true;
                    for (int64_t j = 0; j <= steps && free; ++j) {
                        const double h = cutter.At(double(start) * step,
                                                   from + (to - from) * double(j) / double(steps));
                        free = h < previous - kBelow;
                        link[size_t(j)] = float(std::max(layer, h));
                    }
                    if (free) {
                        link[0] = float(w.Height());
                        link[size_t(steps)] = float(startHeight);
                        MergePath(link.data(), 0, steps + 1, o.tolerance, linkPath);
                        for (size_t j = 1; j < linkPath.kept.size(); ++j)
                            w.Move(Motion::Cut,
                                   frame.Point(double(start) * step,
                                               from + (to - from) * double(linkPath.kept[j]) /
                                                          double(steps),
                                               linkPath.heights[j]));
                    } else {
                        frame.Travel(w, entry, travelHeight(atRow, atSample, r, start, previous));
                    }
                } else {
                    frame.Travel(w, entry, travelHeight(atRow, atSample, r, start, previous));
                }
                const int64_t count = b - a + 1;
                for (int64_t s = a; s <= b; ++s)
                    heights[size_t(s - a)] = float(std::max(layer, double(placed(r, s))));
                MergePath(heights.data(), 0, count, o.tolerance, path);
                const int64_t kept = int64_t(path.kept.size());
                for (int64_t j = 1; j < kept; ++j) {
                    const size_t m = size_t(forward ? j : kept - 1 - j);
                    w.Move(Motion::Cut, frame.Point(double(a + path.kept[m]) * step,
                                                    rows[size_t(r)], path.heights[m]));
                }
                atRow = r;
                atSample = forward ? b : a;
            }
            if (!runs.empty())
                forward = !forward;
            if (!RowWritten(w, progress))
                return false;
        }
    }
    return true;
}

} // namespace morvilo
