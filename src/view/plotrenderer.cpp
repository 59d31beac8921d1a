#include "view/plotrenderer.h"

#include "view/linerasterizer.h"

#include <QFontMetrics>
#include <QPolygon>

#include <algorithm>
#include <array>

namespace morvilo {

namespace {

constexpr uint32_t kBlack = 0xFF000000u;
constexpr int kCrossOffset = 70;    // the axis cross sits this far from the left and bottom
constexpr double kCrossLength = 50; // world length of its axes, before the zoom
constexpr int kMarkerTextX = 20;    // the caret marker's text, right of and above its point
constexpr int kMarkerTextY = -10;
constexpr int kMarkerTextPad = 2; // the black box behind the caret marker's text reaches beyond it

QPoint project(const tmat44 &mat, const t9dline &r) {
    int32_t sx = 0, sy = 0;
    koordmat(mat, r.x, r.y, r.z, r.a, r.b, r.c, r.u, r.v, r.w, sx, sy);
    return {sx, sy};
}

// Visits the points from first on as a pen would, a batch of them at a time: a pen-up point
// only moves the pen; every drawn point calls draw(from, to, style, index) and, when it has a
// source line, extends the pixel box.
template <typename Draw>
void walkPlot(const TPlotList &lines, uint32_t first, const tmat44 &mat, QPoint &pen,
              TPlotPixelBox &box, Draw &&draw, uint32_t last = UINT32_MAX) {
    const uint32_t count = std::min(lines.Count(), last);
    TPlotReader reader(lines);
    uint32_t styleIndex = UINT32_MAX;
    const TPlotStyle *style = nullptr;
    for (uint32_t i = first; i < count;) {
        const TPlotBatch batch = reader.Batch(i);
        const TPlotAxesRun &axes = *batch.axes;
        const uint32_t points = std::min(batch.count, count - i);
        for (uint32_t j = 0; j < points; ++j) {
            if (batch.style[j] != styleIndex) {
                styleIndex = batch.style[j];
                style = &lines.Style(styleIndex);
            }
            const double(&p)[3] = batch.xyz[j];
            int32_t sx = 0, sy = 0;
            koordmat(mat, p[0], p[1], p[2], axes.a, axes.b, axes.c, axes.u, axes.v, axes.w, sx, sy);
            const QPoint to(sx, sy);
            if (style->typ != 0) {
                draw(pen, to, *style, i + j);
                if (batch.zeilevon[j] >= 0)
                    box.Extend(sx, sy);
            }
            pen = to;
        }
        i += points;
    }
}

bool wantsSquare(EndpointMarks marks, uint8_t style) {
    return marks == EndpointMarks::All || (marks == EndpointMarks::RapidMoves && style == psDot);
}

// Writes text with its top left corner at (left, top) in the label font, in white, on a
// transparent background.
void drawLabel(QPainter &painter, int left, int top, const QString &text) {
    painter.setFont(LabelFont());
    painter.setPen(QPen(Qt::white));
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(QPoint(left, top + QFontMetrics(painter.font()).ascent()), text);
}

// The pixels drawLabel may touch: the text's line box and the ink of its glyphs.
QRect labelBox(int left, int top, const QString &text) {
    const QFontMetrics metrics(LabelFont());
    const QRect line(left, top, metrics.horizontalAdvance(text), metrics.height());
    return line.united(metrics.boundingRect(text).translated(left, top + metrics.ascent()));
}

// The axis cross at (70, height - 70): the view's rotation without zoom and pan, each axis
// labelled beyond its end.
void drawAxisCross(QImage &bit, const ViewState &view) {
    struct Axis {
        double x, y, z;
        QColor colour;
        const char *label;
    };
    static const std::array<Axis, 3> axes = {{
        {kCrossLength, 0, 0, QColor(255, 0, 0), "+X"},
        {0, kCrossLength, 0, QColor(0, 255, 0), "+Y"},
        {0, 0, kCrossLength, QColor(0, 0, 255), "+Z"},
    }};
    const tmat44 rotation = RotationMatrix(view);
    int32_t ox = 0, oy = 0;
    koordmat(rotation, 0, 0, 0, 0, 0, 0, 0, 0, 0, ox, oy);
    const QPoint anchor(kCrossOffset, bit.height() - kCrossOffset);
    QPainter painter(&bit);
    const QFontMetrics metrics(LabelFont());
    for (const Axis &axis : axes) {
        int32_t ex = 0, ey = 0;
        koordmat(rotation, axis.x, axis.y, axis.z, 0, 0, 0, 0, 0, 0, ex, ey);
        const QPoint d(ex - ox, ey - oy);
        const QPoint end = anchor + d;
        painter.setPen(QPen(axis.colour, 2));
        painter.drawLine(anchor, end);
        const QString label = QString::fromLatin1(axis.label);
        const int left = d.x() >= 0 ? end.x() : end.x() - metrics.horizontalAdvance(label);
        const int top = d.y() >= 0 ? end.y() : end.y() - metrics.height();
        drawLabel(painter, left, top, label);
    }
}

} // namespace

void FitBitmap(QImage &image, QSize size, QImage::Format format) {
    if (image.size() != size || image.format() != format)
        image = QImage(size, format);
}

QFont LabelFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setBold(true);
    return font;
}

uint32_t PlotPixel(int32_t col) {
    const uint32_t c = uint32_t(col);
    return kBlack | (c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu);
}

void TPlotPixelBox::Store(ViewState &view) const {
    ClearPixelBox(view);
    if (minx <= maxx) {
        ExtendPixelBox(view, minx, miny);
        ExtendPixelBox(view, maxx, maxy);
    }
}

void TPlotPaint::Begin(QImage &bit, const ViewState &view, EndpointMarks endpointMarks) {
    mat = ViewMatrix(view, bit.width(), bit.height());
    marks = endpointMarks;
    drawn = 0;
    pen = QPoint(0, 0);
    box = {};
    penColour = INT64_MIN;
    penStyle = -1;
    if (!bit.isNull())
        bit.fill(QColor(Qt::black));
}

void TPlotPaint::segment(const TPixelTarget &target, QPoint from, QPoint to, int32_t col,
                         uint8_t style) {
    // The pen changes only when a segment's colour or style differs from the previous one.
    if (col != penColour) {
        penColour = col;
        pixel = PlotPixel(col);
    }
    if (style != penStyle) {
        penStyle = style;
        pattern = PatternOfStyle(style);
    }
    DrawLine(target, from.x(), from.y(), to.x(), to.y(), pixel, pattern);
    if (wantsSquare(marks, style))
        DrawEndSquare(target, to.x(), to.y(), pixel, kBlack, pattern.mask != 0);
}

void TPlotPaint::Continue(QImage &bit, const TPlotList &lines, uint32_t last) {
    last = std::min(last, lines.Count());
    if (bit.isNull() || drawn >= last)
        return;
    const TPixelTarget target = TPixelTarget::Of(bit);
    walkPlot(
        lines, drawn, mat, pen, box,
        [&](QPoint from, QPoint to, const TPlotStyle &style, uint32_t) {
            segment(target, from, to, style.col, style.style);
        },
        last);
    drawn = last;
}

// As walkPlot visits the points of the list.
void TPlotPaint::Continue(QImage &bit, const TPlotPoints &points) {
    drawn += uint32_t(points.points);
    if (bit.isNull())
        return;
    const TPixelTarget target = TPixelTarget::Of(bit);
    const std::array<double, 6> *axes = &points.firstAxes;
    auto visit = [&](const double(&p)[3], int32_t col, uint8_t typ, uint8_t style, bool sourced) {
        const std::array<double, 6> &o = *axes;
        int32_t sx = 0, sy = 0;
        koordmat(mat, p[0], p[1], p[2], o[0], o[1], o[2], o[3], o[4], o[5], sx, sy);
        const QPoint to(sx, sy);
        if (typ != 0) {
            segment(target, pen, to, col, style);
            if (sourced)
                box.Extend(sx, sy);
        }
        pen = to;
    };
    for (const TPlotPoints::Item &item : points.items) {
        if (item.kind == TPlotPoints::kAxes) {
            axes = &points.axes[item.index];
        } else if (item.kind == TPlotPoints::kPoint) {
            visit(item.xyz, item.col, item.typ, item.style, item.sourced);
        } else {
            const TPlotPoints::ArcPart &part = points.arcs[item.index];
            t9dline p;
            for (uint32_t k = part.first; k < part.last; ++k) {
                part.arc.DrawnPoint(k, p);
                const double xyz[3] = {p.x, p.y, p.z};
                visit(xyz, item.col, item.typ, item.style, item.sourced);
            }
        }
    }
}

void TPlotPoints::axesOf(const t9dline &point) {
    const std::array<double, 6> now{point.a, point.b, point.c, point.u, point.v, point.w};
    if (items.empty()) {
        firstAxes = lastAxes = now; // the piece's first point
    } else if (now != lastAxes) {
        lastAxes = now;
        Item change{};
        change.kind = kAxes;
        change.index = uint32_t(axes.size());
        axes.push_back(now);
        items.push_back(change);
    }
}

void TPlotPoints::Add(const t9dline &point) {
    axesOf(point);
    items.push_back({{point.x, point.y, point.z},
                     point.col,
                     uint8_t(point.typ),
                     point.style,
                     point.zeilevon >= 0,
                     kPoint,
                     0});
    ++points;
}

void TPlotPoints::Add(const MotionArc &arc, uint32_t first, uint32_t last) {
    if (first >= last)
        return;
    axesOf(arc.point);
    items.push_back({{},
                     arc.point.col,
                     uint8_t(arc.point.typ),
                     arc.point.style,
                     arc.point.zeilevon >= 0,
                     kArc,
                     uint32_t(arcs.size())});
    arcs.push_back({arc, first, last});
    arcs.back().arc.stopped = nullptr; // asked on the thread of the run only
    points += last - first;
}

void TPlotPoints::Clear() {
    items.clear();
    axes.clear();
    arcs.clear();
    points = 0;
}

void TPlotPaint::Finish(QImage &bit, ViewState &view) const {
    RememberPaintMatrix(view, mat);
    box.Store(view);
    if (!bit.isNull())
        drawAxisCross(bit, view);
}

void PaintPlot(QImage &bit, const TPlotList &lines, ViewState &view, EndpointMarks marks) {
    TPlotPaint paint;
    paint.Begin(bit, view, marks);
    paint.Continue(bit, lines);
    paint.Finish(bit, view);
}

void MeasurePlot(const TPlotList &lines, ViewState &view, QSize size) {
    const tmat44 mat = ViewMatrix(view, size.width(), size.height());
    RememberPaintMatrix(view, mat);
    TPlotPixelBox box;
    QPoint pen(0, 0);
    walkPlot(lines, 0, mat, pen, box, [](QPoint, QPoint, const TPlotStyle &, uint32_t) {});
    box.Store(view);
}

void PaintPickMap(QImage &bitclick, const TPlotList &lines, ViewState &view) {
    const tmat44 mat = ViewMatrix(view, bitclick.width(), bitclick.height());
    RememberPaintMatrix(view, mat);
    TPlotPixelBox box;
    if (!bitclick.isNull()) {
        bitclick.fill(0u);
        const TPixelTarget target = TPixelTarget::Of(bitclick);
        QPoint pen(0, 0);
        walkPlot(lines, 0, mat, pen, box,
                 [&](QPoint from, QPoint to, const TPlotStyle &, uint32_t index) {
                     DrawWideLine(target, from.x(), from.y(), to.x(), to.y(), index + 1);
                 });
    }
    box.Store(view);
}

std::optional<uint32_t> PickPosition(const QImage &bitclick, QPoint pixel, uint32_t count) {
    if (bitclick.depth() != 32 || !bitclick.rect().contains(pixel))
        return std::nullopt;
    const uint32_t value =
        reinterpret_cast<const uint32_t *>(bitclick.constScanLine(pixel.y()))[pixel.x()];
    if (value == 0 || value > count)
        return std::nullopt;
    return value;
}

std::optional<uint32_t> PickSegment(const QImage &bitclick, const TPlotList &lines, QPoint pixel) {
    const std::optional<uint32_t> position = PickPosition(bitclick, pixel, lines.Count());
    if (!position || AxisCross(lines[*position - 1]))
        return std::nullopt;
    return *position - 1;
}

std::optional<uint32_t> CaretSegment(const TPlotList &lines, int64_t caret, uint32_t first) {
    if (caret < 0)
        return std::nullopt;
    const uint32_t k = lines.LastDrawnAt(caret, first);
    if (k == UINT32_MAX)
        return std::nullopt;
    return k;
}

void DrawMeasureMark(QPainter &painter, const t9dline &point, const ViewState &view) {
    const QPoint p = project(view.lastmat, point);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 4));
    painter.drawEllipse(p, 5, 5);
    painter.setPen(QPen(Qt::yellow, 2));
    painter.drawEllipse(p, 5, 5);
    painter.restore();
}

QString CaretMarkerText(const t9dline &segment, bool diametermode) {
    const double x = diametermode ? segment.x * 2 : segment.x;
    return QStringLiteral("X %1, Y %2, Z %3")
        .arg(QString::number(x, 'f', 2), QString::number(segment.y, 'f', 2),
             QString::number(segment.z, 'f', 2));
}

void DrawCaretMarker(QPainter &painter, const t9dline &segment, const ViewState &view,
                     bool diametermode) {
    const QPoint p = project(view.lastmat, segment);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    const QPolygon triangle({p, p + QPoint(10, -10), p + QPoint(15, -3)});
    // A black edge under the white triangle keeps it visible on white cuts.
    painter.setPen(QPen(Qt::black, 4, Qt::SolidLine));
    painter.drawPolygon(triangle);
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine));
    painter.drawPolygon(triangle);
    const QString text = CaretMarkerText(segment, diametermode);
    const int left = p.x() + kMarkerTextX, top = p.y() + kMarkerTextY;
    painter.fillRect(
        labelBox(left, top, text)
            .adjusted(-kMarkerTextPad, -kMarkerTextPad, kMarkerTextPad, kMarkerTextPad),
        Qt::black);
    drawLabel(painter, left, top, text);
    painter.restore();
}

void DrawPlotSegment(QImage &bit, QPoint from, QPoint to, int32_t col, uint8_t style) {
    DrawLine(TPixelTarget::Of(bit), from.x(), from.y(), to.x(), to.y(), PlotPixel(col),
             PatternOfStyle(style));
}

} // namespace morvilo
