#include "relief/dropcutter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvilo {

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
    const int32_t reach = int32_t(std::floor(radius / step + 1e-9));
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
        cache.rows.emplace_back(cellOf.size());
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
    return dest;
}

void DropCutter::latticeRow(double v, float *dest, RowCache &cache) const {
    const double cv = std::clamp(v / grid.pitch, 0.0, double(grid.rows - 1));
    const int32_t r = std::min(int32_t(cv), grid.rows - 1), r1 = std::min(r + 1, grid.rows - 1);
    const float fv = float(cv - r);
    const float *low = pixelRow(r, cache);
    const float *high = r1 == r || fv == 0 ? low : pixelRow(r1, cache);
    const size_t total = cellOf.size();
    size_t i = 0;
#if defined(__SSE2__)
    const __m128 f = _mm_set1_ps(fv);
    for (; i + 4 <= total; i += 4) {
        const __m128 a = _mm_loadu_ps(low + i), b = _mm_loadu_ps(high + i);
        _mm_storeu_ps(dest + i, _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(b, a), f)));
    }
#endif
    for (; i < total; ++i)
        dest[i] = low[i] + (high[i] - low[i]) * fv;
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

void DropCutter::apply(const KernelRow &row, const float *lattice, float *out) const {
    const size_t n = size_t(samples);
    for (int32_t k = -row.reach; k <= row.reach; ++k) {
        const float offset = row.taps[size_t(k + row.reach)];
        const float *source = lattice + pad + k;
        size_t i = 0;
#if defined(__SSE2__)
        const __m128 o = _mm_set1_ps(offset);
        for (; i + 4 <= n; i += 4)
            _mm_storeu_ps(out + i, _mm_max_ps(_mm_loadu_ps(out + i),
                                              _mm_sub_ps(_mm_loadu_ps(source + i), o)));
#endif
        for (; i < n; ++i)
            out[i] = std::max(out[i], source[i] - offset);
    }
    if (!row.rim)
        return;
    // Between lattice columns the surface is straight along a lattice row (the columns include
    // every pixel column).
    const int32_t whole = int32_t(row.rimAt);
    const float f = float(row.rimAt - whole), o = rimOffset;
    const float *right = lattice + pad + whole;
    const float *left = lattice + pad - whole;
    size_t i = 0;
#if defined(__SSE2__)
    const __m128 f4 = _mm_set1_ps(f), o4 = _mm_set1_ps(o);
    for (; i + 4 <= n; i += 4) {
        const __m128 r0 = _mm_loadu_ps(right + i), r1 = _mm_loadu_ps(right + i + 1);
        const __m128 l0 = _mm_loadu_ps(left + i), l1 = _mm_loadu_ps(left + i - 1);
        const __m128 a = _mm_add_ps(r0, _mm_mul_ps(f4, _mm_sub_ps(r1, r0)));
        const __m128 b = _mm_add_ps(l0, _mm_mul_ps(f4, _mm_sub_ps(l1, l0)));
        _mm_storeu_ps(out + i, _mm_max_ps(_mm_loadu_ps(out + i), _mm_sub_ps(_mm_max_ps(a, b), o4)));
    }
#endif
    for (; i < n; ++i) {
        const float a = right[i] + f * (right[i + 1] - right[i]);
        const float b = left[i] + f * (left[ptrdiff_t(i) - 1] - left[i]);
        out[i] = std::max(out[i], std::max(a, b) - o);
    }
}

void DropCutter::Row(double v, float *out, RowCache &cache) const {
    std::vector<float> &lattice = cache.lattice;
    lattice.resize(cellOf.size());
    std::vector<KernelRow> extra;
    pixelRows(v, extra);
    std::fill(out, out + samples, -INFINITY);
    const std::vector<KernelRow> *const lists[] = {&kernel, &extra};
    for (const std::vector<KernelRow> *rows : lists)
        for (const KernelRow &row : *rows) {
            latticeRow(v + row.dv, lattice.data(), cache);
            apply(row, lattice.data(), out);
        }
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
