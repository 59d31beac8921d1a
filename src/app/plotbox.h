#pragma once
// PaintBox1: the backplot's paint box. It keeps the plot in an off-screen image `bit` into
// which a running interpreter draws every new point at once, copies that image to the screen
// in one piece, and redraws the whole plot list in its segment colours at a run's end.

#include "interpreter/calcinterfaces.h"
#include "view/viewstate.h"

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <functional>
#include <memory>

namespace morvilo {

class TPlotBox : public QWidget, public PointSink {
    Q_OBJECT

public:
    TPlotBox(const TPlotList &lines, ViewState &view, QWidget *parent = nullptr);

    const QImage &bit() const { return bitmap; }

    // PointSink
    int Width() const override { return bitmap.width(); }
    int Height() const override { return bitmap.height(); }
    void Clear() override;
    void MoveTo(int32_t x, int32_t y) override;
    void LineTo(int32_t x, int32_t y, int32_t col, uint8_t style) override;
    void RepaintAll() override;

    // The plot-list index of the segment drawn at a pixel (3 pixels wide), or -1.
    int64_t PickAt(int x, int y);

    // The mouse in the plot, handled by the window.
    std::function<void(Qt::MouseButton, QPoint)> onMouseDown;
    std::function<void(QPoint)> onMouseMove, onMouseUp;
    std::function<void(int)> onWheel;

    // The pen of a segment: colour 0x00BBGGRR, the platform's pen style.
    static QPen SegmentPen(int32_t col, uint8_t style);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    QPainter &painter();
    void endPainting();

    const TPlotList &lines;
    ViewState &view;
    QImage bitmap;
    std::unique_ptr<QPainter> imagePainter;
    QPoint pen;
    int32_t penColour = -1;
    int penStyle = -1;
};

} // namespace morvilo
