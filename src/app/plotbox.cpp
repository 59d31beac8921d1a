#include "app/plotbox.h"

#include "view/partimage.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QWheelEvent>

namespace morvilo {

TPlotBox::TPlotBox(const TPlotList &lines, ViewState &view, const bool &diametermode,
                   QWidget *parent)
    : QWidget(parent), lines(lines), view(view), diametermode(diametermode) {
    setMouseTracking(true); // coordinates under the pointer without a button
    setObjectName("PaintBox1");
    setAttribute(Qt::WA_OpaquePaintEvent); // the image covers everything
    setMinimumSize(50, 50);
    bitmap = QImage(200, 200, kPlotFormat);
    bitmap.fill(Qt::black);
}

void TPlotBox::Clear() {
    bitmap.fill(Qt::black);
    markerCount = 0;
    runMatrix = ViewMatrix(view, bitmap.width(), bitmap.height());
    update();
}

void TPlotBox::Plot(const t9dline &p) {
    int32_t x = 0, y = 0;
    koordmat(runMatrix, p.x, p.y, p.z, p.a, p.b, p.c, p.u, p.v, p.w, x, y);
    const QPoint to(x, y);
    if (p.typ == 1)
        DrawPlotSegment(bitmap, pen, to, p.col, p.style);
    pen = to;
}

void TPlotBox::RepaintAll() {
    if (lines.Count() == 0 && onEmptyPlot)
        onEmptyPlot();
    paintBitmap();
    update();
}

void TPlotBox::paintBitmap() {
    FitBitmap(bitmap, size().expandedTo(QSize(1, 1)), kPlotFormat);
    if (const HeightField *part = shownPart ? shownPart() : nullptr) {
        PaintPart(bitmap, *part, view);
        RememberPaintMatrix(view, ViewMatrix(view, bitmap.width(), bitmap.height()));
        PartPixelBox(view, *part, bitmap.width(), bitmap.height());
        painted.reset();
    } else {
        PaintPlot(bitmap, lines, view, endpointMarks);
        painted = paintedNow();
    }
    markerCount = 0;
}

void TPlotBox::FitToPlot() {
    fitPending = true;
    if (isVisible() && !size().isEmpty())
        fitNow();
}

// The pixel box of a paint at another size is of no use: the plot is painted at the real size
// first.
TPlotBox::Painted TPlotBox::paintedNow() const {
    return {ViewMatrix(view, bitmap.width(), bitmap.height()), bitmap.size(), lines.Generation(),
            lines.Count(), endpointMarks};
}

void TPlotBox::fitNow() {
    fitPending = false;
    // The image painted at the end of a run gives the plot's pixel box already: a plot of
    // millions of points is not painted once more for it.
    const bool sameSize = bitmap.size() == size().expandedTo(QSize(1, 1));
    const bool plotShown = !(shownPart && shownPart());
    if (!(sameSize && plotShown && painted && *painted == paintedNow()))
        paintBitmap();
    ZoomToFit(view, width(), height(), [this] { paintBitmap(); });
    update();
}

int64_t TPlotBox::PickAt(int x, int y) {
    if (const HeightField *part = shownPart ? shownPart() : nullptr) {
        const auto cell = PickPartCell(*part, view, bitmap.width(), bitmap.height(), QPoint(x, y));
        return cell && pickPart ? pickPart(cell->first, cell->second) : -1;
    }
    FitBitmap(bitclick, bitmap.size(), kPickFormat);
    PaintPickMap(bitclick, lines, view);
    const std::optional<uint32_t> picked = PickSegment(bitclick, lines, QPoint(x, y));
    return picked ? int64_t(*picked) : -1;
}

const std::optional<uint32_t> &TPlotBox::caretSegment() {
    const int64_t caret = caretOffset ? caretOffset() : -1;
    const uint32_t count = lines.Count();
    if (caret != markerCaret || lines.Generation() != markerGeneration || count < markerCount) {
        markerCaret = caret;
        markerCount = count;
        markerGeneration = lines.Generation();
        markerSegment = caret >= 0 ? CaretSegment(lines, caret) : std::nullopt;
    } else if (count > markerCount) {
        // The list only grew (a run goes on): the marker moves to a new segment of the
        // caret's line, if there is one; the points before were searched already.
        if (const std::optional<uint32_t> later = CaretSegment(lines, caret, markerCount))
            markerSegment = later;
        markerCount = count;
    }
    return markerSegment;
}

void TPlotBox::mousePressEvent(QMouseEvent *event) {
    if (onMouseDown)
        onMouseDown(event->button(), event->position().toPoint());
}

void TPlotBox::mouseMoveEvent(QMouseEvent *event) {
    if (onMouseMove)
        onMouseMove(event->position().toPoint());
}

void TPlotBox::mouseReleaseEvent(QMouseEvent *event) {
    if (onMouseUp)
        onMouseUp(event->position().toPoint());
}

void TPlotBox::wheelEvent(QWheelEvent *event) {
    if (onWheel)
        onWheel(event->angleDelta().y());
    event->accept();
}

// The image in one copy; the caret marker goes on the screen only, never into the image.
void TPlotBox::paintEvent(QPaintEvent *event) {
    if (fitPending)
        fitNow(); // and the whole box once more, beyond this event's area
    QPainter screen(this);
    screen.drawImage(event->rect(), bitmap, event->rect());
    if (const std::optional<uint32_t> &segment = caretSegment(); segment && view.hasinverted)
        DrawCaretMarker(screen, lines[*segment], view, diametermode);
    if (view.hasinverted)
        for (const t9dline &mark : measureMarks)
            DrawMeasureMark(screen, mark, view);
}

void TPlotBox::resizeEvent(QResizeEvent *) {
    if (size() != bitmap.size())
        RepaintAll();
}

} // namespace morvilo
