#include "app/plotbox.h"

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
    bitmap = QImage(200, 200, QImage::Format_RGB32);
    bitmap.fill(Qt::black);
}

QPen TPlotBox::SegmentPen(int32_t col, uint8_t style) {
    static const Qt::PenStyle styles[] = {Qt::SolidLine,   Qt::DashLine,       Qt::DotLine,
                                          Qt::DashDotLine, Qt::DashDotDotLine, Qt::NoPen};
    const QColor colour(col & 0xFF, (col >> 8) & 0xFF, (col >> 16) & 0xFF);
    return QPen(colour, 1, style < 6 ? styles[style] : Qt::SolidLine);
}

QPainter &TPlotBox::painter() {
    if (!imagePainter) {
        imagePainter = std::make_unique<QPainter>(&bitmap);
        penColour = -1;
        penStyle = -1;
    }
    return *imagePainter;
}

void TPlotBox::endPainting() {
    imagePainter.reset();
}

void TPlotBox::Clear() {
    endPainting();
    bitmap.fill(Qt::black);
    update();
}

void TPlotBox::MoveTo(int32_t x, int32_t y) {
    pen = QPoint(x, y);
}

void TPlotBox::LineTo(int32_t x, int32_t y, int32_t col, uint8_t style) {
    QPainter &p = painter();
    if (col != penColour || style != penStyle) {
        p.setPen(SegmentPen(col, style));
        penColour = col;
        penStyle = style;
    }
    const QPoint to(x, y);
    p.drawLine(pen, to);
    pen = to;
}

void TPlotBox::RepaintAll() {
    endPainting();
    bitmap.fill(Qt::black);
    const tmat44 mat = ViewMatrix(view, bitmap.width(), bitmap.height());
    RememberPaintMatrix(view, mat);
    ClearPixelBox(view);
    for (int64_t i = 0; i < int64_t(lines.Count()); ++i) {
        const t9dline &r = lines[size_t(i)];
        int32_t sx = 0, sy = 0;
        koordmat(mat, r.x, r.y, r.z, r.a, r.b, r.c, r.u, r.v, r.w, sx, sy);
        if (r.typ == 0) {
            MoveTo(sx, sy);
        } else {
            LineTo(sx, sy, r.col, r.style);
            if (r.zeilevon >= 0)
                ExtendPixelBox(view, sx, sy);
        }
    }
    endPainting();
    update();
}

// Each drawn segment painted 3 pixels wide in the colour of its 1-based position.
int64_t TPlotBox::PickAt(int x, int y) {
    if (x < 0 || y < 0 || x >= bitmap.width() || y >= bitmap.height())
        return -1;
    QImage map(bitmap.size(), QImage::Format_RGB32);
    map.fill(0);
    QPainter p(&map);
    const tmat44 mat = ViewMatrix(view, bitmap.width(), bitmap.height());
    QPoint from;
    for (uint32_t i = 0; i < lines.Count(); ++i) {
        const t9dline &r = lines[i];
        int32_t sx = 0, sy = 0;
        koordmat(mat, r.x, r.y, r.z, r.a, r.b, r.c, r.u, r.v, r.w, sx, sy);
        const QPoint to(sx, sy);
        if (r.typ != 0) {
            p.setPen(QPen(QColor::fromRgb(QRgb((i + 1) & 0xFFFFFF)), 3));
            p.drawLine(from, to);
        }
        from = to;
    }
    p.end();
    const QRgb c = map.pixel(x, y) & 0xFFFFFF;
    return c == 0 ? -1 : int64_t(c) - 1;
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

void TPlotBox::paintEvent(QPaintEvent *event) {
    QPainter screen(this);
    screen.drawImage(event->rect(), bitmap, event->rect());
}

void TPlotBox::resizeEvent(QResizeEvent *) {
    if (size() == bitmap.size())
        return;
    endPainting();
    bitmap = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    RepaintAll();
}

} // namespace morvilo
