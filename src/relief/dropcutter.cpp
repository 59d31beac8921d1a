#include "relief/dropcutter.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>

namespace morvilo {

namespace {

// The positions of a row placed together: their lattice rows stay in the first cache level.
constexpr int64_t kTile = 512;
// Room beyond a pixel row's lattice columns, for whole vectors at the row's end.
constexpr int64_t kSlack = 16;
// Positions are taken in whole vectors of this many (the widest).
constexpr int64_t kLanes = 8;

int64_t wholeLanes(int64_t n) {
    return (n + kLanes - 1) / kLanes * kLanes;
}

// The row's arithmetic on vectors of V (4 or 8 floats; the compiler's vector extension, so
// that the same text serves either width). Every value is computed with the same operations in
// the same order as one at a time: the heights do not depend on the width.
template <typename V> [[gnu::always_inline]] inline void loadV(V &v, const float *p) {
    std::memcpy(&v, p, sizeof v);
}
template <typename V> [[gnu::always_inline]] inline void storeV(float *p, const V &v) {
    std::memcpy(p, &v, sizeof v);
}

// dest = low + (high - low) * f over count values (whole vectors).
template <typename V>
[[gnu::always_inline]] inline void latticeSpan(const float *low, const float *high, float f,
                                               float *dest, int64_t count) {
    constexpr int64_t w = sizeof(V) / sizeof(float);
    for (int64_t i = 0; i < count; i += w) {
        V a, b;
        loadV(a, low + i);
        loadV(b, high + i);
        storeV(dest + i, a + (b - a) * f);
    }
}

// dest = max(dest, other) over count values.
template <typename V>
[[gnu::always_inline]] inline void maxSpan(float *dest, const float *other, int64_t count) {
    constexpr int64_t w = sizeof(V) / sizeof(float);
    for (int64_t i = 0; i < count; i += w) {
        V a, b;
        loadV(a, dest + i);
        loadV(b, other + i);
        storeV(dest + i, a > b ? a : b);
    }
}

using TapRow = DropCutter::RowCache::TapRow;

// acc = max(acc, max(row[i + k], row[i - k]) - tap[k]) over every tap of every row, count
// values (whole vectors), four vectors at a time.
template <typename V>
[[gnu::always_inline]] inline void tapSpan(float *acc, int64_t count, const TapRow *rows,
                                           size_t rowCount) {
    constexpr int64_t w = sizeof(V) / sizeof(float);
    int64_t i = 0;
    for (; i + 4 * w <= count; i += 4 * w) {
        V a0, a1, a2, a3;
        loadV(a0, acc + i);
        loadV(a1, acc + i + w);
        loadV(a2, acc + i + 2 * w);
        loadV(a3, acc + i + 3 * w);
        for (size_t r = 0; r < rowCount; ++r) {
            const float *m = rows[r].lattice + i;
            for (int32_t k = 0; k <= rows[r].reach; ++k) {
                const float t = rows[r].taps[k];
                V x0, y0, x1, y1, x2, y2, x3, y3;
                loadV(x0, m + k);
                loadV(y0, m - k);
                loadV(x1, m + w + k);
                loadV(y1, m + w - k);
                loadV(x2, m + 2 * w + k);
                loadV(y2, m + 2 * w - k);
                loadV(x3, m + 3 * w + k);
                loadV(y3, m + 3 * w - k);
                x0 = (x0 > y0 ? x0 : y0) - t;
                x1 = (x1 > y1 ? x1 : y1) - t;
                x2 = (x2 > y2 ? x2 : y2) - t;
                x3 = (x3 > y3 ? x3 : y3) - t;
                a0 = a0 > x0 ? a0 : x0;
                a1 = a1 > x1 ? a1 : x1;
                a2 = a2 > x2 ? a2 : x2;
                a3 = a3 > x3 ? a3 : x3;
            }
        }
        storeV(acc + i, a0);
        storeV(acc + i + w, a1);
        storeV(acc + i + 2 * w, a2);
        storeV(acc + i + 3 * w, a3);
    }
    for (; i < count; i += w) {
        V a;
        loadV(a, acc + i);
        for (size_t r = 0; r < rowCount; ++r) {
            const float *m = rows[r].lattice + i;
            for (int32_t k = 0; k <= rows[r].reach; ++k) {
                V x, y;
                loadV(x, m + k);
                loadV(y, m - k);
                x = (x > y ? x : y) - rows[r].taps[k];
                a = a > x ? a : x;
            }
        }
        storeV(acc + i, a);
    }
}

// The rim whole + f lattice columns either side of the axis on the lattice row (the axis at
// column 0), rimOffset above the tip: acc = max(acc, max(right, left) - rimOffset). Between
// lattice columns the surface is straight along a lattice row (the columns include every pixel
// column).
template <typename V>
[[gnu::always_inline]] inline void rimSpan(float *acc, const float *lattice, int64_t count,
                                           int32_t whole, float f, float rimOffset) {
    constexpr int64_t w = sizeof(V) / sizeof(float);
    const float *right = lattice + whole;
    const float *left = lattice - whole;
    for (int64_t i = 0; i < count; i += w) {
        V r0, r1, l0, l1, a;
        loadV(r0, right + i);
        loadV(r1, right + i + 1);
        loadV(l0, left + i);
        loadV(l1, left + i - 1);
        loadV(a, acc + i);
        const V x = r0 + f * (r1 - r0), y = l0 + f * (l1 - l0);
        const V m = (x > y ? x : y) - rimOffset;
        storeV(acc + i, a > m ? a : m);
    }
}

typedef float Floats4 __attribute__((vector_size(16), aligned(4)));

struct RowKernels {
    void (*lattice)(const float *, const float *, float, float *, int64_t);
    void (*maxInto)(float *, const float *, int64_t);
    void (*taps)(float *, int64_t, const TapRow *, size_t);
    void (*rim)(float *, const float *, int64_t, int32_t, float, float);
};

const RowKernels kNarrow = {
    [](const float *low, const float *high, float f, float *dest, int64_t count) {
        latticeSpan<Floats4>(low, high, f, dest, count);
    },
    [](float *dest, const float *other, int64_t count) { maxSpan<Floats4>(dest, other, count); },
    [](float *acc, int64_t count, const TapRow *rows, size_t rowCount) {
        tapSpan<Floats4>(acc, count, rows, rowCount);
    },
    [](float *acc, const float *lattice, int64_t count, int32_t whole, float f, float o) {
        rimSpan<Floats4>(acc, lattice, count, whole, f, o);
    },
};

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define MORVILO_WIDE_VECTORS 1
typedef float Floats8 __attribute__((vector_size(32), aligned(4)));

// AVX2 without FMA: the same roundings as the narrow vectors.
__attribute__((target("avx2"))) void wideLattice(const float *low, const float *high, float f,
                                                 float *dest, int64_t count) {
    latticeSpan<Floats8>(low, high, f, dest, count);
}
__attribute__((target("avx2"))) void wideMax(float *dest, const float *other, int64_t count) {
    maxSpan<Floats8>(dest, other, count);
}
__attribute__((target("avx2"))) void wideTaps(float *acc, int64_t count, const TapRow *rows,
                                              size_t rowCount) {
    tapSpan<Floats8>(acc, count, rows, rowCount);
}
__attribute__((target("avx2"))) void wideRim(float *acc, const float *lattice, int64_t count,
                                             int32_t whole, float f, float o) {
    rimSpan<Floats8>(acc, lattice, count, whole, f, o);
}

const RowKernels kWide = {wideLattice, wideMax, wideTaps, wideRim};

bool wideAvailable() {
    return __builtin_cpu_supports("avx2");
}
#else
const RowKernels &kWide = kNarrow;
bool wideAvailable() {
    return false;
}
#endif

std::atomic<bool> wideVectors{wideAvailable()};

const RowKernels &rowKernels() {
    return wideVectors.load(std::memory_order_relaxed) ? kWide : kNarrow;
}

} // namespace

bool DropCutter::UseWideVectors(bool wanted) {
    wideVectors.store(wanted && wideAvailable());
    return wideVectors.load();
}

double HeightGrid::Height(double u, double v) const {
    const double cu = std::clamp(u / pitch, 0.0, double(columns - 1));
    const double cv = std::clamp(v / pitch, 0.0, double(rows - 1));
    const int32_t c = std::min(int32_t(cu), columns - 1), r = std::min(int32_t(cv), rows - 1);
    const int32_t c1 = std::min(c + 1, columns - 1), r1 = std::min(r + 1, rows - 1);
    const double fu = cu - c, fv = cv - r;
    const double bottom = At(c, r) + (At(c1, r) - At(c, r)) * fu;
    const double top = At(c, r1) + (At(c1, r1) - At(c, r1)) * fu;
    return bottom + (top - bottom) * fv;
}

HeightGrid HeightGrid::Transposed() const {
    HeightGrid t;
    t.columns = rows;
    t.rows = columns;
    t.pitch = pitch;
    t.heights.resize(heights.size());
    for (int32_t r = 0; r < rows; ++r)
        for (int32_t c = 0; c < columns; ++c)
            t.heights[size_t(c) * size_t(rows) + size_t(r)] = At(c, r);
    return t;
}

double ToolOffset(const MillingTool &tool, double r) {
    switch (tool.shape) {
    case ToolShape::Flat:
        return 0;
    case ToolShape::Ball: {
        const double radius = tool.Radius();
        return radius - std::sqrt(std::max(0.0, radius * radius - r * r));
    }
    case ToolShape::VBit:
        return r * tool.Slope();
    }
    return 0;
}

int DropCutter::SubdivisionsFor(double pitch, const MillingTool &tool) {
    const double wanted = tool.Radius() / 8;
    return int(std::clamp(std::ceil(pitch / wanted - 1e-9), 1.0, 8.0));
}

DropCutter::KernelRow DropCutter::kernelRow(double dv, bool taps) const {
    const double radius = tool.Radius();
    KernelRow row;
    row.dv = dv;
    const double half = std::sqrt(std::max(0.0, radius * radius - dv * dv));
    row.reach = taps ? int32_t(std::floor(half / step + 1e-9)) : -1;
    for (int32_t k = -row.reach; k <= row.reach; ++k)
        row.taps.push_back(float(ToolOffset(tool, std::hypot(k * step, dv))));
    // The rim lies less than pad lattice columns out (reach + 1): its sample and the column
    // beyond it stay on the padded lattice row.
    row.rimAt = std::min(half / step, std::nextafter(double(pad), 0.0));
    // A rim on a lattice column that is a tap already needs no sample of its own.
    row.rim = !taps || row.rimAt - row.reach > 1e-9;
    return row;
}

DropCutter::DropCutter(const HeightGrid &grid, const MillingTool &tool, int subdivisions)
    : grid(grid), tool(tool), subdivisions(std::max(1, subdivisions)),
      step(grid.pitch / this->subdivisions),
      samples(int64_t(grid.columns - 1) * this->subdivisions + 1) {
    const double radius = tool.Radius();
    reach = int32_t(std::floor(radius / step + 1e-9));
    pad = reach + 1;
    rimOffset = float(ToolOffset(tool, radius));
    for (int32_t j = -reach; j <= reach; ++j)
        kernel.push_back(kernelRow(j * step, true));
    // The rim, evenly around: where the tool touches a slope (a flat end mill always there).
    const int rimPoints =
        int(std::clamp(std::ceil(2 * std::numbers::pi * radius / (step / 2)), 64.0, 256.0));
    for (int k = 0; k < rimPoints / 2; ++k)
        kernel.push_back(kernelRow(
            radius * std::sin(std::numbers::pi * ((k + 0.5) / (rimPoints / 2) - 0.5)), false));
    for (const double dv : {-radius, radius})
        kernel.push_back(kernelRow(dv, false));
    // Where the rim crosses the lattice columns (every pixel column among them): the surface
    // bends there.
    for (int32_t k = 1; k <= reach; ++k)
        for (const double sign : {-1.0, 1.0})
            kernel.push_back(kernelRow(
                sign * std::sqrt(std::max(0.0, radius * radius - k * step * k * step)), false));
    const int64_t total = samples + 2 * pad;
    cellOf.resize(size_t(total));
    fracOf.resize(size_t(total));
    for (int64_t i = 0; i < total; ++i) {
        const int64_t lattice = std::clamp<int64_t>(i - pad, 0, samples - 1);
        int32_t c = int32_t(lattice / this->subdivisions);
        int32_t part = int32_t(lattice % this->subdivisions);
        if (c >= grid.columns - 1) {
            c = grid.columns - 1;
            part = 0;
        }
        cellOf[size_t(i)] = c;
        fracOf[size_t(i)] = float(part) / float(this->subdivisions);
    }
}

const float *DropCutter::pixelRow(int32_t r, RowCache &cache) const {
    for (size_t k = 0; k < cache.keys.size(); ++k)
        if (cache.keys[k] == r)
            return cache.rows[k].data();
    const size_t capacity = size_t(2 * (std::ceil(tool.diameter / grid.pitch) + 4));
    if (cache.keys.size() < capacity) {
        cache.keys.push_back(r);
        cache.rows.emplace_back(cellOf.size() + size_t(kSlack));
        cache.next = cache.keys.size() - 1;
    } else {
        cache.next = (cache.next + 1) % capacity;
        cache.keys[cache.next] = r;
    }
    float *dest = cache.rows[cache.next].data();
    const float *row = &grid.heights[size_t(r) * size_t(grid.columns)];
    const int32_t last = grid.columns - 1;
    for (size_t i = 0; i < cellOf.size(); ++i) {
        const int32_t c = cellOf[i], c1 = std::min(c + 1, last);
        dest[i] = row[c] + (row[c1] - row[c]) * fracOf[i];
    }
    std::fill(dest + cellOf.size(), dest + cellOf.size() + kSlack, dest[cellOf.size() - 1]);
    return dest;
}

void DropCutter::latticeRow(double v, int64_t first, int64_t count, float *dest,
                            RowCache &cache) const {
    const double cv = std::clamp(v / grid.pitch, 0.0, double(grid.rows - 1));
    const int32_t r = std::min(int32_t(cv), grid.rows - 1), r1 = std::min(r + 1, grid.rows - 1);
    const float fv = float(cv - r);
    const float *low = pixelRow(r, cache);
    const float *high = r1 == r || fv == 0 ? low : pixelRow(r1, cache);
    rowKernels().lattice(low + first, high + first, fv, dest, count);
}

// The kernel rows along the pixel rows under the tool at v: the surface bends there, so the
// tool's contact along those lines is sampled exactly.
void DropCutter::pixelRows(double v, std::vector<KernelRow> &rows) const {
    rows.clear();
    const double radius = tool.Radius();
    const int64_t first = std::max<int64_t>(0, int64_t(std::ceil((v - radius) / grid.pitch)));
    const int64_t last =
        std::min<int64_t>(grid.rows - 1, int64_t(std::floor((v + radius) / grid.pitch)));
    for (int64_t r = first; r <= last; ++r) {
        const double dv = double(r) * grid.pitch - v;
        const double nearest = std::round(dv / step) * step;
        if (std::fabs(dv) >= radius || std::fabs(dv - nearest) < 1e-9 * grid.pitch)
            continue; // outside, or a lattice row already
        rows.push_back(kernelRow(dv, true));
    }
}

void DropCutter::rowTile(double v, const std::vector<KernelRow> &extra, int64_t first,
                         int64_t count, float *out, RowCache &cache) const {
    const RowKernels &kernels = rowKernels();
    const int64_t lanes = wholeLanes(count);
    // A lattice row for the tile: its columns first - pad .. first + lanes + pad.
    const int64_t span = wholeLanes(lanes + 2 * int64_t(pad));
    const size_t tapRows = size_t(reach) + 1 + extra.size();
    cache.tile.resize(std::max(cache.tile.size(), (tapRows + 1) * size_t(span) + size_t(lanes)));
    float *const pairs = cache.tile.data();
    float *const single = pairs + tapRows * size_t(span);
    float *const acc = single + span;
    std::fill(acc, acc + lanes, -INFINITY);
    cache.tapRows.clear();
    auto rim = [&](const KernelRow &row, const float *lattice) {
        if (!row.rim)
            return;
        const int32_t whole = int32_t(row.rimAt);
        kernels.rim(acc, lattice + pad, lanes, whole, float(row.rimAt - whole), rimOffset);
    };
    auto taps = [&](const KernelRow &row, const float *lattice) {
        cache.tapRows.push_back({lattice + pad, row.taps.data() + row.reach, row.reach});
    };
    // The rows j lattice rows either side of the axis, their maximum for the taps they share.
    for (int32_t j = 0; j <= reach; ++j) {
        const KernelRow &above = kernel[size_t(reach + j)];
        float *lattice = pairs + size_t(j) * size_t(span);
        latticeRow(v + above.dv, first, span, lattice, cache);
        rim(above, lattice);
        if (j > 0) {
            const KernelRow &below = kernel[size_t(reach - j)];
            latticeRow(v + below.dv, first, span, single, cache);
            rim(below, single);
            kernels.maxInto(lattice, single, span);
        }
        if (above.reach >= 0)
            taps(above, lattice);
    }
    for (size_t e = 0; e < extra.size(); ++e) {
        float *lattice = pairs + (size_t(reach) + 1 + e) * size_t(span);
        latticeRow(v + extra[e].dv, first, span, lattice, cache);
        rim(extra[e], lattice);
        taps(extra[e], lattice);
    }
    kernels.taps(acc, lanes, cache.tapRows.data(), cache.tapRows.size());
    // The rim alone, around the disc.
    for (size_t k = size_t(2 * reach + 1); k < kernel.size(); ++k) {
        latticeRow(v + kernel[k].dv, first, span, single, cache);
        rim(kernel[k], single);
    }
    std::copy(acc, acc + count, out);
}

void DropCutter::Row(double v, float *out, RowCache &cache) const {
    std::vector<KernelRow> extra;
    pixelRows(v, extra);
    for (int64_t first = 0; first < samples; first += kTile)
        rowTile(v, extra, first, std::min(kTile, samples - first), out + first, cache);
}

double DropCutter::At(double u, double v) const {
    std::vector<KernelRow> extra;
    pixelRows(v, extra);
    double best = -INFINITY;
    const std::vector<KernelRow> *const lists[] = {&kernel, &extra};
    for (const std::vector<KernelRow> *rows : lists)
        for (const KernelRow &row : *rows) {
            for (int32_t k = -row.reach; k <= row.reach; ++k)
                best = std::max(best, double(float(grid.Height(u + k * step, v + row.dv))) -
                                          double(row.taps[size_t(k + row.reach)]));
            if (row.rim) {
                const double half = row.rimAt * step;
                best = std::max(best, std::max(grid.Height(u + half, v + row.dv),
                                               grid.Height(u - half, v + row.dv)) -
                                          double(rimOffset));
            }
        }
    return best;
}

} // namespace morvilo
