#pragma once
// The picture of the machined part: the height field drawn as a shaded solid (its surface, the
// walls and the bottom) through the backplot's view matrix (viewstate.h), so rotation,
// zoom, pan and the fixed views work on it as on the path. The light comes from the viewer;
// the colour says the depth below the stock's top, from the stock's pale wood to dark red-brown
// at the deepest cut.

#include "simulate/heightfield.h"
#include "view/viewstate.h"

#include <QImage>
#include <QPoint>

#include <optional>
#include <utility>

namespace morvilo {

inline constexpr QImage::Format kPartFormat = QImage::Format_RGB32;

// Sets the zoom and the pan of view (not its rotation) so that the whole part, down to its
// bottom, fills a paint box of width x height less a margin and sits in its middle.
void FitPartView(ViewState &view, const HeightField &field, int width, int height);

// Paints the part into image (kPartFormat, any size) on black, through ViewMatrix(view, width,
// height). Cells far smaller than a pixel are drawn as every n-th cell, so a picture costs about
// as much as its pixels whatever the grid.
void PaintPart(QImage &image, const HeightField &field, const ViewState &view);

// The pixel box of the part as PaintPart draws it through view into width x height (the
// corners of the stock from its top down to the part's bottom), for ZoomToFit.
void PartPixelBox(ViewState &view, const HeightField &field, int width, int height);

// The cell (i, j) of the part's surface seen at pixel in a picture of width x height drawn
// through view; none where the pixel shows the background, a wall or the bottom.
std::optional<std::pair<int32_t, int32_t>>
PickPartCell(const HeightField &field, const ViewState &view, int width, int height, QPoint pixel);

} // namespace morvilo
