#pragma once
// The relief of the strategy "Fläche" as the picture page shows it: the target surface and the
// part that the program about to be written mills, both as height fields on the same grid over
// the picture's extent, drawn from above with the colours of the machining preview. The part is
// made as the machining preview makes it: the program is written (by the generator, into
// temporary files), run through the interpreter and the tool swept along its plot list.
// A relief whose safe height lies below Z start is shown mirrored in Z (the material below,
// seen from the safe height's side), so that it reads as the part it becomes.

#include "relief/reliefgenerator.h"
#include "relief/surfacerelief.h"
#include "simulate/heightfield.h"

#include <QImage>

#include <atomic>
#include <memory>
#include <optional>

namespace morvilo {

// The grid both fields are drawn on: the picture's extent (X start to X start + width, Y start
// to Y start + (rows - 1) x pitch), the top at Z start, about maxCells cells, no finer than a
// tenth of the pixel pitch. None for a picture of fewer than 2 columns or 1 row.
struct ReliefViewGrid {
    Stock stock;
    double resolution = 0;
};
std::optional<ReliefViewGrid> ChooseReliefViewGrid(const ReliefParameters &p, int32_t columns,
                                                   int32_t rows, double maxCells);

// The target surface on the grid: each cell the surface's height (bilinear between the pixel
// centres) at its centre, towards the safe height's side of Z start, never above the top. False
// with the reason when the grid does not fit the memory.
bool TargetField(const TargetSurface &target, double up, const ReliefViewGrid &grid,
                 HeightField &field, UserMessage &message);

// How far a simulation has come (thousandths) and the way to stop it.
struct SimulationProgress {
    std::atomic<int> permille{0};
    std::atomic<bool> cancel{false};
};

// The part milled by the program of the strategy "Fläche" that the parameters give for the
// picture file: the roughing (always written apart here, so that it is milled with its own tool)
// and then the finishing. The problem, when there is one, is the generator's or the grid's; a
// cancelled simulation has neither part nor problem.
struct ReliefSimulation {
    std::shared_ptr<HeightField> part;
    UserMessage problem;
    bool cancelled = false;
};
ReliefSimulation SimulateSurfaceRelief(const ReliefParameters &p, const std::string &picturePath,
                                       const ReliefViewGrid &grid, SimulationProgress &progress);

// The field seen from above into an image of width x height (at most the field's cells).
QImage TopView(const HeightField &field, int width, int height);

} // namespace morvilo
