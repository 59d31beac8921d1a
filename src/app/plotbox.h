#pragma once
// PaintBox1: the backplot's paint box. It keeps the plot in an off-screen image `bit`, into
// which a running interpreter's points are drawn as it hands them out, on a second thread,
// copies that image to the screen in one piece at the event pumps, and completes the plot at a
// run's end.

#include "interpreter/calcinterfaces.h"
#include "simulate/heightfield.h"
#include "view/plotrenderer.h"
#include "view/viewmath.h"
#include "view/viewstate.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace morvilo {

class TPlotBox : public QWidget, public MotionStream {
    Q_OBJECT

public:
    // diametermode: the lathe diameter view of the dialect options, for the caret marker's text.
    TPlotBox(const TPlotList &lines, ViewState &view, const bool &diametermode,
             QWidget *parent = nullptr);
    ~TPlotBox() override;

    // The picture, complete (a paint on the drawing thread finished).
    const QImage &bit() {
        settle();
        return bitmap;
    }

    // A consumer of the run, after the plot list: its points are projected with the view as
    // it was when the run started and drawn on a second thread, a piece of kPiece points at a
    // time (an arc's points are computed there too). A rewrite of the list (G20, G21, G92) or
    // the run's end completes the picture from the list.
    void Begin() override { Clear(); }
    bool Line(const t9dline &point) override;
    uint32_t Arc(const MotionArc &arc) override;
    bool Units(MoveUnits, double) override;
    bool Shift(const double (&)[9], unsigned) override;
    void End(const MotionEnd &) override { RepaintAll(); }

    // The run starts: the image black.
    void Clear();
    // Redraws everything from the plot list (after a run: only what is missing).
    void RepaintAll();
    // Hands the points gathered since the last call to the drawing thread and asks for a
    // paint: a run's progress, shown at the event pumps. Unless now, at most every
    // kRunFrameMs (a copy of the image to the screen costs as much as drawing many points);
    // now: the picture once everything handed out is drawn.
    void CatchUp(bool now);
    static constexpr int kRunFrameMs = 40;
    static constexpr uint64_t kPiece = 16384;
    // The points handed out but not drawn yet at most: a run that outpaces the drawing waits.
    static constexpr uint64_t kBacklog = 64 * kPiece;

    // The plot-list index of the segment with a source line drawn at a pixel (3 pixels
    // wide), or -1.
    int64_t PickAt(int x, int y);

    // Zooms to fit the plot into the box: at once when the box is on the screen, else at its
    // first paint, when it has its real size (a box on a hidden page has none yet).
    void FitToPlot();

    EndpointMarks endpointMarks = EndpointMarks::RapidMoves;
    // The points of the measurement in progress or just made ("Messen"), marked over the plot.
    std::vector<t9dline> measureMarks;
    // The caret's text offset, for the marker at the last segment of its line.
    std::function<int64_t()> caretOffset;
    // An empty plot list asks for a run (it never stays empty: every run stores the axis cross).
    std::function<void()> onEmptyPlot;

    // The picture complete (a paint on the drawing thread finished, with the view's pixel box):
    // before the pixel box is read.
    void Settle() { settle(); }
    // Nothing more is drawn from the plot list (it goes): a paint on the drawing thread ends.
    void StopDrawing() { stopDrawing(); }

    // The machining preview: while it gives a part, the box shows the part instead of the path,
    // with the same view, and a pick asks pickPart for the plot-list index of the move that
    // cut the cell under the pixel.
    std::function<const HeightField *()> shownPart;
    std::function<int64_t(int32_t i, int32_t j)> pickPart;

    // The mouse in the plot, handled by the window.
    std::function<void(Qt::MouseButton, QPoint)> onMouseDown;
    std::function<void(QPoint)> onMouseMove, onMouseUp;
    std::function<void(int)> onWheel;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    // The drawing thread's side. The image and plotPaint belong to it while pieces are queued
    // or drawn; the screen copies the image under imageLock.
    void drawingThread();
    // The gathered points go to the drawing thread, unless the paint cannot go on with them
    // (then the run's end paints the whole list).
    void handOff();
    // Waits until everything handed out is drawn.
    void settle();
    // Forgets what was handed out and not drawn yet, and waits for the piece being drawn.
    void stopDrawing();
    // Waits while more than backlog points are handed out and not drawn; stopped (a live
    // run's arc: pumps the events) is asked meanwhile. False when it said the run stopped.
    bool waitForBacklog(uint64_t backlog, const std::function<bool()> *stopped);

    // The whole list painted on the drawing thread (the fit's paint after a run): the window
    // goes back to its events meanwhile and shows the paint's progress; settle completes it.
    void paintBitmapBeside();
    bool wholePaint = false; // queued, not completed by settle yet
    uint32_t wholeTo = 0;    // the drawing thread's job: the list up to here (0: none)
    bool abandonWhole = false;
    QTimer wholeProgress;

    TPlotPoints gathered;         // since the last hand-off
    bool gatheredDropped = false; // points were left out: the run's end paints the whole list
    uint64_t planned = 0;         // plotPaint's points once all handed out are drawn
    std::mutex queueLock;         // guards queue, spare, backlog, busy, quit
    std::condition_variable wake, drawn;
    std::deque<TPlotPoints> queue;
    std::vector<TPlotPoints> spare;
    uint64_t backlog = 0;
    bool quit = false;
    std::mutex imageLock;
    std::thread drawer;

    const std::optional<uint32_t> &caretSegment();
    // Draws the whole plot list into the image at the box's size.
    void paintBitmap();
    void fitNow();
    // What the image was last painted from, as paintBitmap paints it now.
    struct Painted {
        tmat44 matrix;
        QSize size;
        uint64_t generation;
        uint32_t count;
        EndpointMarks marks;
        bool operator==(const Painted &) const = default;
    };
    Painted paintedNow() const;
    std::optional<Painted> painted; // none: the part, or not painted yet

    const TPlotList &lines;
    ViewState &view;
    const bool &diametermode;
    QImage bitmap;
    QImage bitclick; // the pick map
    // The plot's paint in the image, which a run's new points continue: Open (no axis cross
    // yet), Finished (the whole of PaintPlot's picture of the points drawn), Mixed (points
    // drawn over the axis cross: only a new paint gives PaintPlot's picture).
    enum class PlotPaintState { Open, Finished, Mixed };
    // The paint can go on: the list only grew since it began, with the same view and image
    // (and, for the points handed out, none was left out).
    bool plotPaintGoesOn() const;
    TPlotPaint plotPaint;
    PlotPaintState plotPaintState = PlotPaintState::Mixed;
    uint64_t plotPaintGeneration = 0;
    QElapsedTimer caughtUp; // since the last CatchUp that drew
    // The caret marker's segment, found again only when the caret or the plot changed.
    int64_t markerCaret = -1;
    uint32_t markerCount = 0;
    uint64_t markerGeneration = 0;
    std::optional<uint32_t> markerSegment;
    bool fitPending = false;
};

} // namespace morvilo
