#pragma once
// Roughing before the surface finishing: layers from Z start down to the deepest position by
// the step-down, each cutting only where the roughing tool, placed on the target surface plus
// the stock to leave, stands below the layer before (so material is left there); zigzag within
// a layer, the retracts only up to a clearance above the material still standing.

#include "relief/dropcutter.h"
#include "relief/surfacepath.h"

#include <cstdint>
#include <vector>

namespace morvilo {

class Roughing {
public:
    // grid: the target's heights above Z start (towards the safe height).
    Roughing(const SurfaceFrame &frame, const HeightGrid &grid, const SurfaceOptions &o);

    // Rows to write, for the progress (rows times layers).
    uint64_t Rows() const { return uint64_t(rows.size()) * uint64_t(layers.size()); }
    const std::vector<double> &Layers() const { return layers; }

    // Writes the roughing; false when it was cancelled or the output failed.
    bool Write(GcodeWriter &w, ReliefProgress *progress);

private:
    float placed(int64_t row, int64_t sample) const {
        return field[size_t(row) * size_t(samples) + size_t(sample)];
    }
    // The highest material a travel from (row a, sample i) to (row b, sample j) may meet, with
    // the layer before at previous.
    double travelHeight(int64_t a, int64_t i, int64_t b, int64_t j, double previous) const;

    const SurfaceFrame &frame;
    const SurfaceOptions &o;
    HeightGrid raised; // the target plus the stock to leave
    DropCutter cutter;
    double stepover;
    std::vector<double> rows;
    int64_t samples;
    std::vector<float> field; // the tool's heights at every row and sample
    std::vector<double> layers;
};

// Memory the roughing of a picture of columns x rows pixels takes beyond the finishing.
uint64_t RoughingBytes(const ReliefParameters &p, int32_t columns, int32_t rows);

} // namespace morvilo
