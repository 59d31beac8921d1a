#include "app/plotbox.h"

#include "view/partimage.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <utility>

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
    wholeProgress.setInterval(kRunFrameMs);
    connect(&wholeProgress, &QTimer::timeout, this, [this] { update(); });
    drawer = std::thread(&TPlotBox::drawingThread, this);
}

TPlotBox::~TPlotBox() {
    {
        std::lock_guard lock(queueLock);
        quit = true;
    }
    wake.notify_all();
    drawer.join();
}

// ---- the drawing thread

void TPlotBox::drawingThread() {
    std::unique_lock lock(queueLock);
    for (;;) {
        wake.wait(lock, [this] { return quit || !queue.empty() || wholeTo > 0; });
        if (quit)
            return;
        if (wholeTo > 0) {
            // The list does not change meanwhile: a run's Begin stops this first.
            while (!abandonWhole && !quit && plotPaint.Drawn() < wholeTo) {
                const uint32_t from = plotPaint.Drawn();
                const uint32_t to = from + std::min<uint32_t>(wholeTo - from, kPiece);
                lock.unlock();
                {
                    std::lock_guard image(imageLock);
                    plotPaint.Continue(bitmap, lines, to);
                }
                lock.lock();
                backlog -= to - from;
            }
            backlog -= wholeTo - std::min(wholeTo, plotPaint.Drawn()); // what was abandoned
            wholeTo = 0;
            abandonWhole = false;
            drawn.notify_all();
            QMetaObject::invokeMethod(
                this, [this] { settle(); }, Qt::QueuedConnection);
            continue;
        }
        TPlotPoints piece = std::move(queue.front());
        queue.pop_front();
        lock.unlock();
        {
            std::lock_guard image(imageLock);
            plotPaint.Continue(bitmap, piece);
        }
        const uint64_t points = piece.Points();
        piece.Clear();
        lock.lock();
        backlog -= points;
        spare.push_back(std::move(piece));
        drawn.notify_all();
    }
}

void TPlotBox::handOff() {
    if (gathered.Points() == 0)
        return;
    if (!plotPaintGoesOn()) {
        gathered.Clear();
        gatheredDropped = true;
        return;
    }
    if (plotPaintState == PlotPaintState::Finished)
        plotPaintState = PlotPaintState::Mixed;
    planned += gathered.Points();
    {
        std::lock_guard lock(queueLock);
        backlog += gathered.Points();
        queue.push_back(std::move(gathered));
        gathered = TPlotPoints();
        if (!spare.empty()) {
            gathered = std::move(spare.back());
            spare.pop_back();
        }
    }
    wake.notify_one();
}

void TPlotBox::settle() {
    handOff();
    waitForBacklog(0, nullptr);
    if (std::exchange(wholePaint, false)) {
        wholeProgress.stop();
        plotPaint.Finish(bitmap, view);
        plotPaintState = PlotPaintState::Finished;
        painted = paintedNow();
        markerCount = 0;
        update();
    }
}

void TPlotBox::stopDrawing() {
    gathered.Clear();
    std::unique_lock lock(queueLock);
    for (TPlotPoints &piece : queue) {
        backlog -= piece.Points();
        piece.Clear();
        spare.push_back(std::move(piece));
    }
    queue.clear();
    abandonWhole = wholeTo > 0;
    drawn.wait(lock, [this] { return backlog == 0 && wholeTo == 0; });
    lock.unlock();
    if (std::exchange(wholePaint, false))
        wholeProgress.stop(); // the image is painted anew now
}

void TPlotBox::paintBitmapBeside() {
    stopDrawing();
    gatheredDropped = false;
    FitBitmap(bitmap, size().expandedTo(QSize(1, 1)), kPlotFormat);
    plotPaint.Begin(bitmap, view, endpointMarks);
    // The matrix at once: the pointer's coordinates, the caret and measuring marks use it.
    RememberPaintMatrix(view, plotPaint.Matrix());
    plotPaintState = PlotPaintState::Open;
    plotPaintGeneration = lines.Generation();
    planned = lines.Count();
    painted.reset();
    markerCount = 0;
    if (lines.Count() == 0) {
        wholePaint = true;
        settle();
        return;
    }
    wholePaint = true;
    {
        std::lock_guard lock(queueLock);
        backlog += lines.Count();
        wholeTo = lines.Count();
    }
    wake.notify_one();
    wholeProgress.start();
}

bool TPlotBox::waitForBacklog(uint64_t most, const std::function<bool()> *stopped) {
    std::unique_lock lock(queueLock);
    if (!stopped || !*stopped) {
        drawn.wait(lock, [&] { return backlog <= most; });
        return true;
    }
    // A long arc: the events go on meanwhile, and the stop command ends the run.
    while (!drawn.wait_for(lock, std::chrono::milliseconds(kRunFrameMs / 2),
                           [&] { return backlog <= most; })) {
        lock.unlock();
        const bool stop = (*stopped)();
        lock.lock();
        if (stop)
            return false;
    }
    return true;
}

// ---- the run's side

void TPlotBox::Clear() {
    stopDrawing();
    FitBitmap(bitmap, size().expandedTo(QSize(1, 1)), kPlotFormat);
    plotPaint.Begin(bitmap, view, endpointMarks);
    plotPaintState = PlotPaintState::Open;
    plotPaintGeneration = lines.Generation();
    planned = 0;
    gatheredDropped = false;
    painted.reset();
    markerCount = 0;
    update();
}

bool TPlotBox::Line(const t9dline &point) {
    gathered.Add(point);
    if (gathered.Points() >= kPiece) {
        handOff();
        waitForBacklog(kBacklog, nullptr);
    }
    return true;
}

uint32_t TPlotBox::Arc(const MotionArc &arc) {
    if (arc.stored) { // a replay: its points are read from its list
        t9dline point;
        for (uint32_t k = 0; k < arc.count; ++k) {
            arc.DrawnPoint(k, point);
            Line(point);
        }
        return arc.count;
    }
    for (uint32_t k = 0; k < arc.count;) {
        const uint64_t room = kPiece - std::min(gathered.Points(), kPiece - 1);
        const uint32_t last = uint32_t(std::min<uint64_t>(arc.count, k + room));
        gathered.Add(arc, k, last);
        k = last;
        if (gathered.Points() >= kPiece) {
            handOff();
            if (!waitForBacklog(kBacklog, arc.stopped))
                return k;
        }
    }
    return arc.count;
}

bool TPlotBox::Units(MoveUnits, double) {
    RepaintAll(); // the list was rewritten
    return true;
}

bool TPlotBox::Shift(const double (&)[9], unsigned) {
    RepaintAll();
    return true;
}

bool TPlotBox::plotPaintGoesOn() const {
    return lines.Generation() == plotPaintGeneration &&
           lines.Count() >= planned + gathered.Points() && plotPaint.Marks() == endpointMarks &&
           plotPaint.Matrix() == ViewMatrix(view, bitmap.width(), bitmap.height()) &&
           !(shownPart && shownPart());
}

void TPlotBox::CatchUp(bool now) {
    if (now) {
        settle();
    } else {
        if (caughtUp.isValid() && caughtUp.elapsed() < kRunFrameMs)
            return;
        handOff();
    }
    caughtUp.start();
    update();
}

void TPlotBox::RepaintAll() {
    settle();
    if (lines.Count() == 0 && onEmptyPlot)
        onEmptyPlot();
    // The end of a run: the image drawn during the run needs only the points not handed out
    // and the axis cross.
    const bool sameSize = bitmap.size() == size().expandedTo(QSize(1, 1));
    if (sameSize && !gatheredDropped && plotPaintGoesOn() &&
        plotPaintState == PlotPaintState::Open) {
        plotPaint.Continue(bitmap, lines);
        plotPaint.Finish(bitmap, view);
        plotPaintState = PlotPaintState::Finished;
        planned = lines.Count();
        painted = paintedNow();
        markerCount = 0;
    } else {
        paintBitmap();
    }
    update();
}

void TPlotBox::paintBitmap() {
    stopDrawing();
    gatheredDropped = false;
    FitBitmap(bitmap, size().expandedTo(QSize(1, 1)), kPlotFormat);
    if (const HeightField *part = shownPart ? shownPart() : nullptr) {
        PaintPart(bitmap, *part, view);
        RememberPaintMatrix(view, ViewMatrix(view, bitmap.width(), bitmap.height()));
        PartPixelBox(view, *part, bitmap.width(), bitmap.height());
        painted.reset();
        plotPaintState = PlotPaintState::Mixed;
    } else {
        // What PaintPlot does, kept open for the points a run still adds.
        plotPaint.Begin(bitmap, view, endpointMarks);
        plotPaint.Continue(bitmap, lines);
        plotPaint.Finish(bitmap, view);
        plotPaintState = PlotPaintState::Finished;
        plotPaintGeneration = lines.Generation();
        painted = paintedNow();
    }
    planned = lines.Count();
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
    settle();
    fitPending = false;
    // The image painted at the end of a run gives the plot's pixel box already: a plot of
    // millions of points is not painted once more for it.
    const bool sameSize = bitmap.size() == size().expandedTo(QSize(1, 1));
    const bool plotShown = !(shownPart && shownPart());
    if (!(sameSize && plotShown && painted && *painted == paintedNow()))
        paintBitmap();
    // The zoom asks for the pixel box at the new zoom, then for the picture once centred: the
    // box is measured without drawing.
    int repaints = 0;
    bool paintedLast = false;
    ZoomToFit(view, width(), height(), [&] {
        paintedLast = !plotShown || repaints++ > 0;
        if (paintedLast && plotShown)
            paintBitmapBeside(); // the window goes on meanwhile
        else if (paintedLast)
            paintBitmap();
        else
            MeasurePlot(lines, view, bitmap.size());
    });
    if (repaints > 0 && !paintedLast)
        paintBitmap();
    update();
}

int64_t TPlotBox::PickAt(int x, int y) {
    settle();
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
    {
        std::lock_guard image(imageLock); // the drawing thread may draw into it meanwhile
        screen.drawImage(event->rect(), bitmap, event->rect());
    }
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
