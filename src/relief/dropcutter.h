#pragma once
// Placing a tool on a surface from above (a drop cutter): the tool's tip is put at the highest
// height at which no point of its cutting shape lies below the surface. The surface is given
// at the centres of a grid of cells (pitch apart), bilinear between the centres and constant
// beyond the outermost ones. Heights grow upwards here; the caller turns them into Z.
//
// The surface is sampled on a lattice of pitch / subdivisions around the tool's axis, the
// lattice's rows and columns through the axis; the tool's offsets at the lattice points are
// computed once, and the disc's rim is sampled where each lattice row crosses it. A whole row
// of positions is placed at once: for each lattice row under the tool the row's heights less
// the offsets are maxed in, 4 or 8 positions at a time, a tile of positions at a time. The rows
// either side of the axis share their offsets: their maximum is taken first, and so is the
// maximum of the columns either side.

#include "machine/millingtool.h"

#include <cstdint>
#include <vector>

namespace morvilo {

struct HeightGrid {
    int32_t columns = 0, rows = 0; // cells; row 0 at v = 0, column 0 at u = 0
    double pitch = 1;              // between cell centres
    std::vector<float> heights;    // rows of columns, row 0 first

    float At(int32_t c, int32_t r) const {
        return heights[size_t(r) * size_t(columns) + size_t(c)];
    }
    // Bilinear between the centres, constant beyond the outermost ones.
    double Height(double u, double v) const;
    // Rows become columns.
    HeightGrid Transposed() const;
};

// The height of the tool's lower surface above its tip at the distance r from its axis
// (r up to the radius).
double ToolOffset(const MillingTool &tool, double r);

class DropCutter {
public:
    // subdivisions: lattice points per cell pitch (at least 1).
    DropCutter(const HeightGrid &grid, const MillingTool &tool, int subdivisions);

    // The lattice pitch, and the number of positions along a row: u = 0, step, ... up to the
    // last column's centre.
    double Step() const { return step; }
    int64_t RowSamples() const { return samples; }

    // The pixel rows interpolated at the lattice columns, kept between the rows one thread
    // places.
    class RowCache {
        friend class DropCutter;
        std::vector<int32_t> keys;
        std::vector<std::vector<float>> rows;
        std::vector<float> tile; // the maxima of lattice row pairs, and the tile's heights
    public:
        // A lattice row's taps as a tile takes them.
        struct TapRow {
            const float *lattice; // the row's values, the axis at lattice column 0
            const float *taps;    // offsets at columns 0 .. reach (the same either side)
            int32_t reach;
        };

    private:
        std::vector<TapRow> tapRows;
        size_t next = 0;
    };

    // The tip heights along the line v = y at the positions u = k * Step(), k = 0 ..
    // RowSamples() - 1, into out (RowSamples() values).
    void Row(double v, float *out, RowCache &cache) const;
    void Row(double v, float *out) const {
        RowCache cache;
        Row(v, out, cache);
    }
    // The tip height with the axis at (u, v).
    double At(double u, double v) const;

    // The subdivisions that keep the lattice at most an eighth of the tool's radius apart (at
    // most 8 and at least 1).
    static int SubdivisionsFor(double pitch, const MillingTool &tool);

    // Whether rows are placed 8 positions at a time (where the processor has AVX2) rather
    // than 4; the heights are the same either way. Returns whether it is on (tests turn it
    // off to compare).
    static bool UseWideVectors(bool wanted);

private:
    // One lattice row under the tool: its offsets at the lattice columns within the disc, and
    // the disc's rim on that row.
    struct KernelRow {
        double dv;               // offset of the lattice row from the axis
        int32_t reach;           // lattice columns either side with taps; -1: none
        std::vector<float> taps; // offsets at columns -reach .. reach
        double rimAt;            // the rim lies this many lattice columns either side
        bool rim;                // sample the rim
    };
    KernelRow kernelRow(double dv, bool taps) const;
    void pixelRows(double v, std::vector<KernelRow> &rows) const;
    const float *pixelRow(int32_t r, RowCache &cache) const;
    // The lattice row at v, lattice columns first - pad .. first - pad + count - 1.
    void latticeRow(double v, int64_t first, int64_t count, float *dest, RowCache &cache) const;
    // One tile of a row: the positions first .. first + count - 1 into out.
    void rowTile(double v, const std::vector<KernelRow> &extra, int64_t first, int64_t count,
                 float *out, RowCache &cache) const;

    const HeightGrid &grid;
    MillingTool tool;
    int subdivisions;
    double step;
    int64_t samples;
    int32_t pad;
    std::vector<KernelRow> kernel;
    int32_t reach = 0; // kernel[reach + j] lies j lattice rows from the axis
    float rimOffset = 0;
    std::vector<int32_t> cellOf; // lattice column (from -pad) -> grid column of its left centre
    std::vector<float> fracOf;   // and its fraction towards the next
};

} // namespace morvilo
