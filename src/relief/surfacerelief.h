#pragma once
// The relief strategy "Fläche": the target surface of a picture, finished row by row with the
// tool's shape taken into account, optionally roughed in layers before.
//
// The target surface: the picture of C x R pixels seen upright from above, pixel pitch
// p = W / (C - 1); the centre of pixel column c (left to right) and pixel row r (from the bottom
// up) lies at X = xstart + c p, Y = ystart + r p. Its brightness b is the grey value (weights
// 30/59/11), with the brightness range on stretched to (grey - min) / (max - min) x 255 over
// all pixels (max = min gives 0), then inverted when asked (255 - b). Between the centres the
// surface is bilinear in b, beyond the outermost ones constant; its height is
// Z = zstart + depth x b / 255. Z grows towards the safe height's side of Z start.

#include "relief/dib.h"
#include "relief/reliefgenerator.h"

#include <cstdint>
#include <string>
#include <vector>

namespace morvilo {

struct TargetSurface {
    int32_t columns = 0, rows = 0; // pixels
    double pitch = 0;              // between pixel centres
    double xstart = 0, ystart = 0, zstart = 0;
    // Z - zstart at the pixel centres, rows of columns, the bottom row first.
    std::vector<float> depth;

    double Z(int32_t column, int32_t row) const {
        return zstart + depth[size_t(row) * size_t(columns) + size_t(column)];
    }
};

// The target surface of a 24-bit picture (empty for another picture or one column).
TargetSurface ComputeTargetSurface(const ReliefParameters &p, const dib &picture);

// Empty when the options of the strategy "Fläche" can be used; otherwise what is wrong
// (German).
UserMessage CheckSurfaceOptions(const ReliefParameters &p);

// The program of the strategy "Fläche" for a 24-bit picture into finish (which must be open)
// and, when roughing goes into a file of its own, the roughing program into rough. Without
// outputs only the figures are made (the dry run). The estimate covers both programs.
struct SurfaceRun {
    ReliefEstimate finish, rough;
    bool cancelled = false;
};
SurfaceRun WriteSurfaceRelief(const ReliefParameters &p, const dib &picture, OutputFile *finish,
                              OutputFile *rough, ReliefProgress *progress = nullptr);

// The whole run on a picture file, as GenerateReliefFile and MeasureReliefFile do it for this
// strategy (they call these).
ReliefResult GenerateSurfaceFile(const ReliefParameters &p, const std::string &picturePath,
                                 const std::string &outputPath, OutputFile::Mode mode,
                                 ReliefProgress *progress);
ReliefResult MeasureSurfaceFile(const ReliefParameters &p, const std::string &picturePath,
                                ReliefProgress *progress);

extern const char *const kMessageNoToolChange; // profile

} // namespace morvilo
