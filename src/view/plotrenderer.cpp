#include "view/plotrenderer.h"

#include "view/linerasterizer.h"

#include <QFontMetrics>
#include <QPolygon>

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

// Visits the plot list as a pen would: a pen-up point only moves the pen; every drawn point
// calls draw(from, to, record, index) and, when it has a source line, extends the pixel box.
template <typename Draw>
void walkPlot(const TPlotList &lines, ViewState &view, const tmat44 &mat, Draw &&draw) {
    QPoint pen(0, 0);
    const uint32_t count = lines.Count();
    TPlotReader reader(lines);
    for (uint32_t i = 0; i < count; ++i) {
        const t9dline &r = reader[i];
        const QPoint to = project(mat, r);
        if (r.typ != 0) {
            draw(pen, to, r, i);
            if (r.zeilevon >= 0)
                ExtendPixelBox(view, to.x(), to.y());
        }
        pen = to;
    }
}

// Starts a paint: the view matrix for the image's size, remembered with its adjugate, and an
// empty pixel box.
tmat44 beginPaint(const QImage &image, ViewState &view) {
    const tmat44 mat = ViewMatrix(view, image.width(), image.height());
    RememberPaintMatrix(view, mat);
    ClearPixelBox(view);
    return mat;
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

void PaintPlot(QImage &bit, const TPlotList &lines, ViewState &view, EndpointMarks marks) {
    const tmat44 mat = beginPaint(bit, view);
    if (bit.isNull())
        return;
    bit.fill(QColor(Qt::black));
    const TPixelTarget target = TPixelTarget::Of(bit);
    // The pen changes only when a segment's colour or style differs from the previous one.
    int64_t penColour = INT64_MIN;
    int penStyle = -1;
    uint32_t pixel = 0;
    TDashPattern pattern;
    walkPlot(lines, view, mat, [&](QPoint from, QPoint to, const t9dline &r, uint32_t) {
        if (r.col != penColour) {
            penColour = r.col;
            pixel = PlotPixel(r.col);
        }
        if (r.style != penStyle) {
            penStyle = r.style;
            pattern = PatternOfStyle(r.style);
        }
        DrawLine(target, from.x(), from.y(), to.x(), to.y(), pixel, pattern);
        if (wantsSquare(marks, r.style))
            DrawEndSquare(target, to.x(), to.y(), pixel, kBlack, pattern.mask != 0);
    });
    drawAxisCross(bit, view);
}

void PaintPickMap(QImage &bitclick, const TPlotList &lines, ViewState &view) {
    const tmat44 mat = beginPaint(bitclick, view);
    if (bitclick.isNull())
        return;
    bitclick.fill(0u);
    const TPixelTarget target = TPixelTarget::Of(bitclick);
    walkPlot(lines, view, mat, [&](QPoint from, QPoint to, const t9dline &, uint32_t index) {
        DrawWideLine(target, from.x(), from.y(), to.x(), to.y(), index + 1);
    });
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
    if (!position || lines[*position - 1].zeilevon < 0)
        return std::nullopt;
    return *position - 1;
}

std::optional<uint32_t> CaretSegment(const TPlotList &lines, int64_t caret, uint32_t first) {
    if (caret < 0)
        return std::nullopt;
    TPlotReader reader(lines);
    for (uint32_t i = lines.Count(); i-- > first;) {
        const t9dline &r = reader[i];
        if (r.typ == 1 && r.zeilevon <= caret && caret <= r.zeilebis)
            return i;
    }
    return std::nullopt;
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
