#pragma once
// The view state of the backplot: rotation, zoom and pan, the matrices of the last paint and the
// pixel box of the last painted plot, and the commands that change the view (fixed views, zoom
// and rotation steps, zoom to fit). The main window holds one; the interpreter draws through it.
// Nothing here paints: commands that must repaint between their steps take a callback.

#include "view/viewmath.h"

#include <cstdint>
#include <functional>
#include <numbers>
#include <span>

namespace morvilo {

struct ViewState {
    // Start-up view: the isometric one.
    double rotxv = 2.625 * std::numbers::pi; // rotation about X, radians
    double rotyv = 0;                        // rotation about Y
    double rotzv = 1.75 * std::numbers::pi;  // rotation about Z
    double skalz = 1.0;                      // scale of Z before the rotation
    double zoom = 40.0;                      // pixels per drawing unit
    double tx = 0, ty = 0;                   // pan, in pixels from the window centre
    tmat44 id = IdentityMatrix();
    tmat44 lastmat = IdentityMatrix();    // view matrix of the last paint
    tmat44 lastinvert = IdentityMatrix(); // its adjugate
    bool hasinverted = false;
    // Pixel box of the drawn segments of the last paint; minxs: it holds anything.
    int32_t minx = 0, miny = 0, maxx = 0, maxy = 0;
    bool minxs = false;
    // Values at the start of a mouse drag.
    double orotxv = 0, orotzv = 0, otx = 0, oty = 0;
    // Wheel movement not yet turned into zoom steps (eighths of a degree).
    int wheelrest = 0;
};

// Zoom steps and zoom to fit keep the zoom within these bounds, so the view matrix stays finite
// and invertible.
inline constexpr double kMinZoom = 1e-9;
inline constexpr double kMaxZoom = 1e9;

// The view's rotation alone: Z scale, then rotations about Y, Z and X. The axis cross uses it.
tmat44 RotationMatrix(const ViewState &view);
// The complete view matrix for a paint box of width x height pixels: the rotation, the zoom and
// the move of the world origin to the box centre plus the pan.
tmat44 ViewMatrix(const ViewState &view, int width, int height);

// Records the view matrix of a paint and its adjugate for picking.
void RememberPaintMatrix(ViewState &view, const tmat44 &mat);
// The pixel box: emptied at the start of a paint, extended by every drawn segment end.
void ClearPixelBox(ViewState &view);
void ExtendPixelBox(ViewState &view, int32_t sx, int32_t sy);

// Called by the commands below whenever the view must be painted again; the paint refreshes the
// matrices and the pixel box of the view state.
using Repaint = std::function<void()>;

enum class FixedView {
    Top,
    Bottom,
    Front,
    Back,
    Right,
    Left,
    Isometric,
    LatheRadius,
    LatheDiameter
};

struct FixedViewData {
    FixedView view;
    const char *button;  // the tool button's name
    const char *caption; // empty: the button shows a picture only
    const char *hint;
    double rotxv, rotyv, rotzv;
    bool diametermode;
};

// All fixed views in the order of the view toolbar.
std::span<const FixedViewData> FixedViews();
const FixedViewData &FixedViewDataOf(FixedView view);

// Sets the angles of a fixed view and the lathe display mode (diametermode, the dialect option
// the interpreter reads), repaints and zooms to fit. True when the lathe display mode changed:
// the stored plot depends on it, so the caller must run the interpreter again.
[[nodiscard]] bool SetFixedView(ViewState &view, bool &diametermode, FixedView which, int width,
                                int height, const Repaint &repaint);

// Zoom steps about the window centre plus the pan; the caller repaints.
void ZoomIn(ViewState &view);
void ZoomOut(ViewState &view);

// One notch of a mouse wheel: an angle delta of 120 (15 degrees).
inline constexpr int kWheelNotch = 120;
// The mouse wheel: every notch of movement (positive away from the user) is one zoom step in,
// (towards the user) one step out. Smaller deltas, as touchpads and smooth-scrolling wheels send,
// add up in wheelrest until they make a notch; turning the other way drops what was kept. True
// when the zoom changed: the caller repaints.
bool WheelZoom(ViewState &view, int delta);

enum class RotationStep { Left, Right, Up, Down };
// Turns the view by a sixteenth of a half turn; angles are not wrapped. The caller repaints.
void Rotate(ViewState &view, RotationStep step);

// Zooms and pans so that the pixel box of the last paint fills the paint box less a margin of 25
// pixels on each side (less in a paint box under 200 pixels) and sits in its middle. Does nothing
// when the box is empty or a single row or column, or when the paint box has no area.
void ZoomToFit(ViewState &view, int width, int height, const Repaint &repaint);

} // namespace morvilo
