#include "view/viewstate.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace morvilo {

namespace {

constexpr double pi = std::numbers::pi;

constexpr std::array<FixedViewData, 9> kFixedViews = {{
    {FixedView::Top, "ToolButton1", "xy", "Oben", pi, 0, 0, false},
    {FixedView::Bottom, "ToolButton8", "yx", "Unten", 0, 0, pi, false},
    {FixedView::Front, "ToolButton2", "xz", "Von vorne", pi / 2, 0, 0, false},
    {FixedView::Back, "ToolButton9", "zx", "Von hinten", pi / 2, 0, pi, false},
    {FixedView::Right, "ToolButton3", "yz", "Von rechts", pi / 2, 0, 1.5 * pi, false},
    {FixedView::Left, "ToolButton10", "zy", "Von links", pi / 2, 0, pi / 2, false},
    {FixedView::Isometric, "ToolButton4", "xyz", "Isometische 3D Darstellung", 2.625 * pi, 0,
     1.75 * pi, false},
    {FixedView::LatheRadius, "ToolButton25", "", "Drehmaschine Radius", 1.5 * pi, pi / 2, 0, false},
    {FixedView::LatheDiameter, "ToolButton27", "", "Drehmaschine Durchmesser", 1.5 * pi, pi / 2, 0,
     true},
}};

static_assert(std::ranges::all_of(kFixedViews, [](const FixedViewData &d) {
    return &d == &kFixedViews[size_t(d.view)];
}));

constexpr double kZoomStep = 1.1;
constexpr double kRotationStep = pi / 16;
constexpr int64_t kFitMargin = 25;

double limitZoom(double zoom) {
    if (std::isnan(zoom))
        return ViewState{}.zoom;
    return std::clamp(zoom, kMinZoom, kMaxZoom);
}

// The pixel box with its margin on both sides; 64-bit, as the box may span the whole 32-bit range.
struct Extent {
    int64_t ex, ey;
};

Extent boxExtent(const ViewState &view) {
    return {int64_t(view.maxx) - view.minx + 2 * kFitMargin,
            int64_t(view.maxy) - view.miny + 2 * kFitMargin};
}

bool canFit(const ViewState &view, int width, int height) {
    const Extent e = boxExtent(view);
    return view.minxs && view.minx != view.maxx && view.miny != view.maxy && width > 0 &&
           height > 0 && e.ex > 0 && e.ey > 0;
}

// The margin kept free on each side: 25 pixels, less in a paint box too small for that.
int64_t fitMargin(int width, int height) {
    return std::min<int64_t>(kFitMargin, std::min(width, height) / 8);
}

// The zoom factor that makes the box fill the paint box less the margins, in the direction
// where it fits first. The margins are pixels after the zoom: a plot drawn far larger than the
// paint box keeps them too, so its outermost segments are never cut at the edge.
double fitFactor(const ViewState &view, int width, int height) {
    const int64_t margin = fitMargin(width, height);
    const double boxWidth = double(int64_t(view.maxx) - view.minx);
    const double boxHeight = double(int64_t(view.maxy) - view.miny);
    return std::min(double(width - 2 * margin) / boxWidth, double(height - 2 * margin) / boxHeight);
}

// Pans so that the box with its margin sits in the middle of the paint box.
void centreBox(ViewState &view, int width, int height) {
    const Extent e = boxExtent(view);
    view.tx = view.tx - double(view.minx - (width - e.ex) / 2) + double(kFitMargin);
    view.ty = view.ty - double(view.miny - (height - e.ey) / 2) + double(kFitMargin);
}

} // namespace

tmat44 RotationMatrix(const ViewState &view) {
    tmat44 mat = view.id;
    doskalz(mat, view.skalz);
    roty(mat, view.rotyv);
    rotz(mat, view.rotzv);
    rotx(mat, view.rotxv);
    return mat;
}

tmat44 ViewMatrix(const ViewState &view, int width, int height) {
    tmat44 mat = RotationMatrix(view);
    skal(mat, view.zoom);
    translateMAT(mat, width / 2 + view.tx, height / 2 + view.ty, 0);
    return mat;
}

void RememberPaintMatrix(ViewState &view, const tmat44 &mat) {
    view.lastmat = mat;
    MatrixInvertieren(mat, view.lastinvert);
    view.hasinverted = true;
}

void ClearPixelBox(ViewState &view) {
    view.minxs = false;
}

void ExtendPixelBox(ViewState &view, int32_t sx, int32_t sy) {
    if (!view.minxs) {
        view.minx = view.maxx = sx;
        view.miny = view.maxy = sy;
        view.minxs = true;
        return;
    }
    view.minx = std::min(view.minx, sx);
    view.maxx = std::max(view.maxx, sx);
    view.miny = std::min(view.miny, sy);
    view.maxy = std::max(view.maxy, sy);
}

std::span<const FixedViewData> FixedViews() {
    return kFixedViews;
}

const FixedViewData &FixedViewDataOf(FixedView view) {
    return kFixedViews[size_t(view)];
}

bool SetFixedView(ViewState &view, bool &diametermode, FixedView which, int width, int height,
                  const Repaint &repaint) {
    const FixedViewData &data = FixedViewDataOf(which);
    const bool wasDiameter = diametermode;
    view.skalz = 1.0;
    view.rotxv = data.rotxv;
    view.rotyv = data.rotyv;
    view.rotzv = data.rotzv;
    // Leaving the diameter display takes effect before the repaint, entering it only afterwards.
    if (!data.diametermode)
        diametermode = false;
    repaint();
    ZoomToFit(view, width, height, repaint);
    diametermode = data.diametermode;
    return wasDiameter != data.diametermode;
}

void ZoomIn(ViewState &view) {
    view.zoom = limitZoom(view.zoom * kZoomStep);
}

void ZoomOut(ViewState &view) {
    view.zoom = limitZoom(view.zoom * (1 / kZoomStep));
}

bool WheelZoom(ViewState &view, int delta) {
    // A turn against the direction of the movement still kept starts afresh.
    if ((delta > 0 && view.wheelrest < 0) || (delta < 0 && view.wheelrest > 0))
        view.wheelrest = 0;
    view.wheelrest += delta;
    bool zoomed = false;
    for (; view.wheelrest >= kWheelNotch; view.wheelrest -= kWheelNotch, zoomed = true)
        ZoomIn(view);
    for (; view.wheelrest <= -kWheelNotch; view.wheelrest += kWheelNotch, zoomed = true)
        ZoomOut(view);
    return zoomed;
}

void Rotate(ViewState &view, RotationStep step) {
    switch (step) {
    case RotationStep::Left:
        view.rotzv -= kRotationStep;
        break;
    case RotationStep::Right:
        view.rotzv += kRotationStep;
        break;
    case RotationStep::Up:
        view.rotxv -= kRotationStep;
        break;
    case RotationStep::Down:
        view.rotxv += kRotationStep;
        break;
    }
}

void ZoomToFit(ViewState &view, int width, int height, const Repaint &repaint) {
    if (!canFit(view, width, height))
        return;
    view.zoom = limitZoom(view.zoom * fitFactor(view, width, height));
    repaint();
    centreBox(view, width, height);
    repaint();
}

} // namespace morvilo
