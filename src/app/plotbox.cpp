#include "app/plotbox.h"

#include "simulate/partimage.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QWheelEvent>

namespace morvilo {

TPlotBox::TPlotBox(const TPlotList &lines, ViewState &view, QWidget *parent)
    : QWidget(parent), lines(lines), view(view) {
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
    } else {
        PaintPlot(bitmap, lines, view, endpointMarks);
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
void TPlotBox::fitNow() {
    fitPending = false;
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
    if (caret != markerCaret || lines.Count() != markerCount) {
        markerCaret = caret;
        markerCount = lines.Count();
        markerSegment = caret >= 0 ? CaretSegment(lines, caret) : std::nullopt;
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
        DrawCaretMarker(screen, lines[*segment], view);
    if (view.hasinverted)
        for (const t9dline &mark : measureMarks)
            DrawMeasureMark(screen, mark, view);
}

void TPlotBox::resizeEvent(QResizeEvent *) {
    if (size() != bitmap.size())
        RepaintAll();
}

} // namespace morvilo
