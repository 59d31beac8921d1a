#pragma once
// Drawing of the backplot: the whole plot list into the off-screen picture `bit` (segments in
// their colours and pen styles, end-point squares, the axis cross), the pick map `bitclick` in
// which every drawn segment carries its 1-based position in the list, and the marker at the
// segment of the editor's caret line. Nothing here touches a window: the paint box copies `bit`
// to the screen and draws the caret marker over it.
//
// The segments go through our own rasteriser (view/linerasterizer.h); QPainter draws only the
// axis cross, its labels and the caret marker.

#include "interpreter/motionstream.h"
#include "interpreter/plotlist.h"
#include "view/linerasterizer.h"
#include "view/viewstate.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace morvilo {

// The formats of the two bitmaps. The pick map keeps all 32 bits of every pixel, so each
// position a plot list can hold (up to 2^32 - 1) is told apart.
inline constexpr QImage::Format kPlotFormat = QImage::Format_RGB32;
inline constexpr QImage::Format kPickFormat = QImage::Format_ARGB32;

// Re-creates image with the given size and format unless it has them already.
void FitBitmap(QImage &image, QSize size, QImage::Format format);

// The three end-point marker options of the "Optionen" menu.
enum class EndpointMarks {
    RapidMoves, // "Zeiche kleines Rechteck um Rapid Move Endpunkte" (the default)
    All,        // "Zeichne kleines Rechteck um alle Endpunkte"
    None        // "Endpunkte nicht markieren"
};

// The font of the axis labels and the caret marker: Arial, bold, 13 pixels high.
QFont LabelFont();

// A colour of the plot list (red in the low byte) as a pixel of kPlotFormat.
uint32_t PlotPixel(int32_t col);

// The pixel box of the drawn segments with a source line, as a paint gathers it.
struct TPlotPixelBox {
    int32_t minx = INT32_MAX, maxx = INT32_MIN, miny = INT32_MAX, maxy = INT32_MIN;

    void Extend(int32_t x, int32_t y) {
        minx = std::min(minx, x), maxx = std::max(maxx, x);
        miny = std::min(miny, y), maxy = std::max(maxy, y);
    }
    // Stores it in view as the pixel box of the last paint.
    void Store(ViewState &view) const;
};

// Points of a running interpreter as it hands them out, gathered for a TPlotPaint on another
// thread than the one that writes the plot list: each point with what the list gives back for
// it, an arc as its record (its drawn points are computed where it is drawn). A piece carries
// the rotary and secondary axes of its first point, so pieces can be drawn one by one.
class TPlotPoints {
public:
    void Add(const t9dline &point);
    // Drawn points first ... last - 1 of a live run's arc (stored is null).
    void Add(const MotionArc &arc, uint32_t first, uint32_t last);
    // The points it stands for.
    uint64_t Points() const { return points; }
    void Clear();

private:
    friend class TPlotPaint;
    struct Item {
        double xyz[3];
        int32_t col;
        uint8_t typ, style;
        bool sourced;   // it has a source line
        uint8_t kind;   // kPoint, kAxes (the axes of the points from here on), kArc
        uint32_t index; // kAxes: into axes; kArc: into arcs
    };
    static constexpr uint8_t kPoint = 0, kAxes = 1, kArc = 2;
    struct ArcPart {
        MotionArc arc;
        uint32_t first, last;
    };
    void axesOf(const t9dline &point);

    std::vector<Item> items;
    std::vector<std::array<double, 6>> axes;
    std::vector<ArcPart> arcs;
    std::array<double, 6> firstAxes{}, lastAxes{};
    uint64_t points = 0;
};

// A paint that follows the plot list while a run adds to it: Begin fills bit with black and
// takes the view matrix for bit's size; Continue draws the points added since (as PaintPlot
// draws them); Finish stores the matrix and the pixel box in view and draws the axis cross. As
// long as the list only grew, Begin, Continue ... Continue, Finish paint what PaintPlot paints.
class TPlotPaint {
public:
    void Begin(QImage &bit, const ViewState &view, EndpointMarks marks);
    // (up to point last, when the rest is drawn later)
    void Continue(QImage &bit, const TPlotList &lines, uint32_t last = UINT32_MAX);
    // The same from the points as the run handed them out (the list's next points).
    void Continue(QImage &bit, const TPlotPoints &points);
    void Finish(QImage &bit, ViewState &view) const;
    // The points drawn so far, and the view matrix they were projected with.
    uint32_t Drawn() const { return drawn; }
    const tmat44 &Matrix() const { return mat; }
    EndpointMarks Marks() const { return marks; }

private:
    // One drawn segment, with the pen of its colour and style.
    void segment(const TPixelTarget &target, QPoint from, QPoint to, int32_t col, uint8_t style);

    tmat44 mat{};
    EndpointMarks marks = EndpointMarks::RapidMoves;
    uint32_t drawn = 0;
    QPoint pen;
    TPlotPixelBox box;
    int64_t penColour = INT64_MIN;
    int penStyle = -1;
    uint32_t pixel = 0;
    TDashPattern pattern;
};

// Normal paint: fills bit with black and draws every segment of lines in its colour and pen
// style, the end-point squares that marks asks for, and the axis cross turning with the view at
// (70, height - 70). The view matrix for bit's size is composed from view and stored with its
// adjugate (lastmat, lastinvert, hasinverted); the pixel box of the segments with a source line
// is stored too (minx ... maxy, minxs). bit must have 32 bits per pixel.
void PaintPlot(QImage &bit, const TPlotList &lines, ViewState &view, EndpointMarks marks);

// What PaintPlot records, without drawing: the view matrix for an image of the given size with
// its adjugate, and the pixel box.
void MeasurePlot(const TPlotList &lines, ViewState &view, QSize size);

// Pick paint: fills bitclick with 0 and draws every drawn segment 3 pixels wide in the value of
// its 1-based position, later segments over earlier ones. Stores the matrices and the pixel box
// as PaintPlot does. bitclick must have 32 bits per pixel (kPickFormat).
void PaintPickMap(QImage &bitclick, const TPlotList &lines, ViewState &view);

// The 1-based position stored in the pick map at pixel, if it is one of count segments.
std::optional<uint32_t> PickPosition(const QImage &bitclick, QPoint pixel, uint32_t count);

// The 0-based index of the segment under pixel in the pick map that PaintPickMap drew from
// lines, when it has a source line (the interpreter's own axis cross cannot be picked).
std::optional<uint32_t> PickSegment(const QImage &bitclick, const TPlotList &lines, QPoint pixel);

// The segment that the caret marker points at: the last drawn segment (typ 1) whose source line
// range holds the caret offset. None for a negative offset or when no segment qualifies.
std::optional<uint32_t> CaretSegment(const TPlotList &lines, int64_t caret, uint32_t first = 0);

// The marker's text for a segment: "X 1.00, Y 2.00, Z 3.00", X doubled in diameter mode.
QString CaretMarkerText(const t9dline &segment, bool diametermode);

// Draws the caret marker for segment with painter (the paint box's, over the copied `bit`): a
// white triangle with a black edge at the segment's end point, projected through view.lastmat,
// and the text of CaretMarkerText beside it, white on a black box, so that marker and text can
// be read on any colour of the plot (the white cuts of a relief included).
void DrawCaretMarker(QPainter &painter, const t9dline &segment, const ViewState &view,
                     bool diametermode);

// Marks a measured point (a plot point, projected through view.lastmat): a yellow ring with a
// black edge, to be seen on every colour of the plot.
void DrawMeasureMark(QPainter &painter, const t9dline &point, const ViewState &view);

// One segment drawn as the interpreter produces it: a 1-pixel line from `from` to `to` in the
// segment's colour and pen style, straight into bit.
void DrawPlotSegment(QImage &bit, QPoint from, QPoint to, int32_t col, uint8_t style);

} // namespace morvilo
