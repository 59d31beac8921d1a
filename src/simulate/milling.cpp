#include "simulate/milling.h"

#include "interpreter/motionreplay.h"
#include "interpreter/toolpoint.h"
#include "simulate/toolsweep.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <system_error>
#include <thread>
#include <vector>

namespace morvilo {

namespace {

// Points read between progress reports.
constexpr uint32_t kPollPoints = 4096;

bool finite(const t9dline &p) {
    const ToolPoint tip = ToolPointOf(p);
    return std::isfinite(tip.x) && std::isfinite(tip.y) && std::isfinite(tip.z);
}

// Cuts the move a -> b down to the part inside the box [x0, x1] x [y0, y1]; false when no part
// is inside. Only the tool over that box can reach the stock, and a move of enormous length
// becomes one of a size the sweep computes in doubles. A new end lies on a side of the box and
// is found from that side's coordinate, so that a move along an axis keeps its other
// coordinates exactly; extended precision keeps the differences of any two doubles finite.
bool clipToBox(TipPoint &a, TipPoint &b, double x0, double y0, double x1, double y1) {
    if (a.x >= x0 && a.x <= x1 && a.y >= y0 && a.y <= y1 && b.x >= x0 && b.x <= x1 && b.y >= y0 &&
        b.y <= y1)
        return true;
    using real = long double;
    const real dx = real(b.x) - a.x, dy = real(b.y) - a.y, dz = real(b.z) - a.z;
    // Side k holds the points where p[k] t <= q[k]: x >= x0, x <= x1, y >= y0, y <= y1.
    const real p[4] = {-dx, dx, -dy, dy};
    const real q[4] = {real(a.x) - x0, x1 - real(a.x), real(a.y) - y0, y1 - real(a.y)};
    const double side[4] = {x0, x1, y0, y1};
    real t0 = 0, t1 = 1;
    int enter = -1, leave = -1;
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0) {
            if (q[k] < 0)
                return false;
            continue;
        }
        const real t = q[k] / p[k];
        if (p[k] < 0 && t > t0) {
            t0 = t;
            enter = k;
        } else if (p[k] > 0 && t < t1) {
            t1 = t;
            leave = k;
        }
    }
    if (t0 > t1)
        return false;
    const TipPoint from = a;
    const auto onSide = [&](int k) {
        const double s = side[k];
        if (k < 2) {
            const real run = (real(s) - from.x) / dx;
            return TipPoint{s, double(from.y + run * dy), double(from.z + run * dz)};
        }
        const real run = (real(s) - from.y) / dy;
        return TipPoint{double(from.x + run * dx), s, double(from.z + run * dz)};
    };
    if (leave >= 0)
        b = onSide(leave);
    if (enter >= 0)
        a = onSide(enter);
    return true;
}

// The moves of a run that can reach below the stock's top, each as the sweep of the tool, as a
// consumer of the run's replay: f(index of the move's end point, sweep); every kPollPoints
// points poll(index). A false f or poll ends it.
template <typename F, typename Poll> class Sweeps : public MotionStream {
public:
    Sweeps(const ToolSpans &tools, const HeightField &field, F f, Poll poll)
        : tools(tools), top(field.GetStock().top), f(f), poll(poll) {
        const Stock &s = field.GetStock();
        const double r = LargestRadius(tools);
        x0 = s.xmin - r;
        y0 = s.ymin - r;
        x1 = s.xmax + r;
        y1 = s.ymax + r;
    }

    void At(uint32_t k) override {
        point = k;
        stopped = stopped || (k % kPollPoints == 0 && !poll(k));
    }
    bool Line(const t9dline &p) override { return !stopped && move(point, p); }
    uint32_t Arc(const MotionArc &arc) override {
        if (stopped)
            return 0;
        t9dline p;
        for (uint32_t k = 0; k < arc.count; ++k) {
            arc.DrawnPoint(k, p);
            if (!move(point + k, p))
                return 0;
        }
        return arc.count;
    }

private:
    // A move is a point drawn from the point before it; the axis cross is left out.
    bool move(uint32_t k, const t9dline &p) {
        while (span + 1 < tools.size() && tools[span + 1].from <= k)
            ++span; // the tool in the spindle at the move to point k
        const bool usable = !AxisCross(p) && finite(p);
        const ToolPoint tip = ToolPointOf(p);
        TipPoint a = previous, b{tip.x, tip.y, tip.z};
        const bool moves = usable && hasPrevious && p.typ == 1;
        previous = b;
        hasPrevious = usable;
        if (!moves || std::min(a.z, b.z) >= top || !clipToBox(a, b, x0, y0, x1, y1))
            return true;
        return f(k, ToolSweep(tools[span].tool, a, b));
    }

    const ToolSpans &tools;
    double top, x0, y0, x1, y1;
    F f;
    Poll poll;
    bool stopped = false;
    uint32_t point = 0;
    size_t span = 0;
    TipPoint previous{};
    bool hasPrevious = false;
};

// Replays the run for f and poll (as Sweeps).
template <typename F, typename Poll>
void eachSweep(const TPlotList &lines, const RunLog *log, const ToolSpans &tools,
               const HeightField &field, F f, Poll poll) {
    Sweeps<F, Poll> sweeps(tools, field, f, poll);
    ReplayRun(lines, log, sweeps);
}

// The cells from first to last (inclusive) that a range of coordinates [lo, hi] may reach, with
// a cell to spare on each side and clamped to count cells; empty (first > last) when none.
void cellRange(double lo, double hi, double origin, double resolution, int32_t count,
               int32_t &first, int32_t &last) {
    const double f = std::ceil((lo - origin) / resolution - 0.5) - 1;
    const double l = std::floor((hi - origin) / resolution - 0.5) + 1;
    first = int32_t(std::clamp(f, 0.0, double(count)));
    last = int32_t(std::clamp(l, -1.0, double(count) - 1));
}

// One thread's share: the rows j with j % stripes == stripe.
class Stripe {
public:
    Stripe(const TPlotList &lines, const RunLog *log, const ToolSpans &tools, HeightField &field,
           float *cells, unsigned stripe, unsigned stripes)
        : lines(lines), log(log), tools(tools), field(field), cells(cells), stripe(stripe),
          stripes(stripes) {}

    // The cancel flag is looked at before every move, since one move over a fine grid may
    // take milliseconds; progress is reported every kPollPoints points.
    MillingResult Run(uint32_t count, const MillingControl &control, bool reports) {
        const auto cancelled = [&control] {
            return control.cancel && control.cancel->load(std::memory_order_relaxed);
        };
        const auto sweep = [&](uint32_t, const ToolSweep &sweep) {
            if (cancelled())
                return false;
            mill(sweep);
            return true;
        };
        const auto poll = [&](uint32_t k) {
            if (cancelled())
                return false;
            if (reports && control.progress)
                control.progress(double(k) / count);
            return true;
        };
        eachSweep(lines, log, tools, field, sweep, poll);
        if (cancelled())
            return MillingResult::Cancelled;
        if (reports && control.progress)
            control.progress(1.0);
        if (control.cellsVisited)
            *control.cellsVisited += visited;
        return MillingResult::Done;
    }

private:
    void mill(const ToolSweep &sweep) {
        const Stock &s = field.GetStock();
        const double resolution = field.Resolution();
        int32_t j0, j1;
        cellRange(sweep.YLow(), sweep.YHigh(), s.ymin, resolution, field.Rows(), j0, j1);
        // the first row of this stripe from j0 on
        int32_t j = j0 + int32_t((stripe + stripes - unsigned(j0) % stripes) % stripes);
        for (; j <= j1; j += int32_t(stripes)) {
            const double y = field.CellY(j);
            double xlo, xhi;
            if (!sweep.RowSpan(y, xlo, xhi))
                continue;
            int32_t i0, i1;
            cellRange(xlo, xhi, s.xmin, resolution, field.Columns(), i0, i1);
            float *row = cells + size_t(j) * size_t(field.Columns());
            visited += uint64_t(std::max(0, i1 - i0 + 1));
            switch (sweep.GetShape()) {
            case ToolShape::Flat:
                millRow<ToolShape::Flat>(sweep, row, i0, i1, y);
                break;
            case ToolShape::Ball:
                millRow<ToolShape::Ball>(sweep, row, i0, i1, y);
                break;
            case ToolShape::VBit:
                millRow<ToolShape::VBit>(sweep, row, i0, i1, y);
                break;
            }
        }
    }

    // The cells i ... last of row j, eight at a time: a run whose cells are all as deep as the
    // least height the move can have over it is passed over with one vector compare, which is
    // the fate of most cells in a finishing pass.
    template <ToolShape Shape>
    void millRow(const ToolSweep &sweep, float *row, int32_t i, int32_t last, double y) {
        for (; i <= last; i += kRun) {
            const int32_t n = std::min(kRun, last - i + 1);
            const double x0 = field.CellX(i);
            const float floor = floatBelow(sweep.FloorOver<Shape>(x0, field.CellX(i + n - 1), y));
            bool deeper = false;
            if (n == kRun) {
                for (int k = 0; k < kRun; ++k)
                    deeper |= row[i + k] > floor;
            } else {
                for (int k = 0; k < n; ++k)
                    deeper |= row[i + k] > floor;
            }
            if (!deeper)
                continue;
            if (sweep.LevelAlongX()) {
                const float beside = float(sweep.RowHeight<Shape>(y));
                for (int k = 0; k < n; ++k) {
                    const double x = field.CellX(i + k), t = sweep.Beside(x);
                    if (t > 0 && t < 1) {
                        row[i + k] = std::min(row[i + k], beside);
                        continue;
                    }
                    lower<Shape>(sweep, row[i + k], x, y);
                }
                continue;
            }
            for (int k = 0; k < n; ++k)
                if (row[i + k] > floor)
                    lower<Shape>(sweep, row[i + k], field.CellX(i + k), y);
        }
    }

    template <ToolShape Shape>
    static void lower(const ToolSweep &sweep, float &cell, double x, double y) {
        if (const double h = sweep.HeightAt<Shape>(x, y); h < cell)
            cell = float(h);
    }

    static constexpr int32_t kRun = 8;

    // The greatest float at most value: a cell at or below it keeps its float whatever a
    // height of at least value does to it.
    static float floatBelow(double value) {
        const float f = float(value);
        return double(f) > value ? std::nextafter(f, -HUGE_VALF) : f;
    }

    const TPlotList &lines;
    const RunLog *log;
    const ToolSpans &tools;
    const HeightField &field;
    float *cells; // the field's, for writing
    unsigned stripe, stripes;
    uint64_t visited = 0;
};

} // namespace

ToolSpans ToolsOfRun(const RunLog &log, const std::map<int, MillingTool> &table,
                     const MillingTool &tool) {
    ToolSpans tools = {{0, tool}};
    for (const RunEvent &event : log.events) {
        if (event.kind != RunEventKind::ToolChange)
            continue;
        const double number = event.value;
        const auto found = number >= INT_MIN && number <= INT_MAX && number == std::trunc(number)
                               ? table.find(int(number))
                               : table.end();
        const MillingTool &next = found == table.end() ? tool : found->second;
        if (tools.back().from == event.point)
            tools.back().tool = next;
        else if (!(tools.back().tool == next))
            tools.push_back({event.point, next});
    }
    return tools;
}

double LargestRadius(const ToolSpans &tools) {
    double radius = 0;
    for (const ToolSpan &span : tools)
        radius = std::max(radius, span.tool.Radius());
    return radius;
}

MillingResult MillPart(const TPlotList &lines, const MillingTool &tool, HeightField &field,
                       const MillingControl &control, const RunLog *log) {
    return MillPart(lines, ToolSpans{{0, tool}}, field, control, log);
}

MillingResult MillPart(const TPlotList &lines, const ToolSpans &tools, HeightField &field,
                       const MillingControl &control, const RunLog *log) {
    if (field.Empty() || tools.empty())
        return MillingResult::Done;
    float *const cells = field.Writable(); // once, before the threads start
    unsigned threads = control.threads ? control.threads : std::thread::hardware_concurrency();
    threads = std::clamp(threads, 1u, 64u);
    threads = unsigned(std::min<int64_t>(threads, field.Rows()));
    const uint32_t count = lines.Count();

    std::vector<std::thread> pool;
    std::vector<MillingResult> results(threads, MillingResult::Done);
    std::vector<unsigned> leftOver; // stripes without a thread of their own
    for (unsigned k = 1; k < threads; ++k) {
        try {
            pool.emplace_back([&, k] {
                results[k] =
                    Stripe(lines, log, tools, field, cells, k, threads).Run(count, control, false);
            });
        } catch (const std::system_error &) {
            leftOver.push_back(k);
        }
    }
    results[0] = Stripe(lines, log, tools, field, cells, 0, threads).Run(count, control, true);
    for (const unsigned k : leftOver)
        results[k] = Stripe(lines, log, tools, field, cells, k, threads).Run(count, control, false);
    for (std::thread &thread : pool)
        thread.join();
    return std::ranges::all_of(results, [](MillingResult r) { return r == MillingResult::Done; })
               ? MillingResult::Done
               : MillingResult::Cancelled;
}

std::optional<uint32_t> LastCut(const TPlotList &lines, const ToolSpans &tools,
                                const HeightField &field, int32_t i, int32_t j, const RunLog *log) {
    if (i < 0 || j < 0 || i >= field.Columns() || j >= field.Rows() || tools.empty())
        return std::nullopt;
    const float height = field.At(i, j);
    if (!(height < float(field.GetStock().top)))
        return std::nullopt;
    const double x = field.CellX(i), y = field.CellY(j);
    std::optional<uint32_t> last;
    eachSweep(
        lines, log, tools, field,
        [&](uint32_t k, const ToolSweep &sweep) {
            if (const double h = sweep.HeightAt(x, y);
                h != ToolSweep::kNowhere && float(h) == height)
                last = k;
            return true;
        },
        [](uint32_t) { return true; });
    return last;
}

std::optional<uint32_t> LastCut(const TPlotList &lines, const MillingTool &tool,
                                const HeightField &field, int32_t i, int32_t j, const RunLog *log) {
    return LastCut(lines, ToolSpans{{0, tool}}, field, i, j, log);
}

} // namespace morvilo
