#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace morvilo {

namespace {

constexpr int kSize = 24;

void drawPage(QPainter &p, int dx, int dy) {
    QPainterPath page;
    page.moveTo(5 + dx, 2 + dy);
    page.lineTo(14 + dx, 2 + dy);
    page.lineTo(19 + dx, 7 + dy);
    page.lineTo(19 + dx, 21 + dy);
    page.lineTo(5 + dx, 21 + dy);
    page.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(page);
}

void drawFolder(QPainter &p) {
    p.setBrush(QColor(230, 190, 80));
    QPainterPath folder;
    folder.moveTo(2, 6);
    folder.lineTo(9, 6);
    folder.lineTo(11, 8);
    folder.lineTo(21, 8);
    folder.lineTo(21, 19);
    folder.lineTo(2, 19);
    folder.closeSubpath();
    p.drawPath(folder);
}

void drawDisk(QPainter &p) {
    p.setBrush(QColor(60, 90, 160));
    p.drawRect(3, 3, 17, 17);
    p.setBrush(Qt::white);
    p.drawRect(6, 3, 11, 6);
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(7, 13, 9, 7);
}

void drawArrow(QPainter &p, bool left) {
    QPainterPath arc;
    if (left) {
        arc.moveTo(19, 18);
        arc.cubicTo(19, 8, 12, 7, 6, 9);
    } else {
        arc.moveTo(5, 18);
        arc.cubicTo(5, 8, 12, 7, 18, 9);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(30, 100, 30), 2.5));
    p.drawPath(arc);
    const QPointF tip = left ? QPointF(4, 9.5) : QPointF(20, 9.5);
    const double dir = left ? 1 : -1;
    p.setBrush(QColor(30, 100, 30));
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF(
        {tip, QPointF(tip.x() + 6 * dir, tip.y() - 5), QPointF(tip.x() + 6 * dir, tip.y() + 5)}));
}

void drawScissors(QPainter &p) {
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(6, 3, 16, 15);
    p.drawLine(18, 3, 8, 15);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(7, 18), 3, 3);
    p.drawEllipse(QPointF(17, 18), 3, 3);
}

void drawClipboard(QPainter &p) {
    p.setBrush(QColor(170, 120, 60));
    p.drawRect(4, 4, 16, 18);
    p.setBrush(Qt::white);
    p.drawRect(7, 8, 10, 12);
    p.setBrush(QColor(120, 120, 120));
    p.drawRect(9, 2, 6, 4);
}

// The run tool bar's symbols, in the colours of a media player's buttons.
const QColor kRunColour(40, 110, 40);

QPolygonF triangle(double left, double right, double top, double bottom) {
    const double middle = (top + bottom) / 2;
    return QPolygonF({QPointF(left, top), QPointF(right, middle), QPointF(left, bottom)});
}

// An arrow along a vertical line to a bar: down to the bar at the bottom, or up to the top.
void drawArrowToBar(QPainter &p, bool down) {
    p.setPen(Qt::NoPen);
    p.setBrush(kRunColour);
    const double bar = down ? 19 : 3, tip = down ? 17 : 5, base = down ? 10 : 12;
    p.drawRect(QRectF(4, bar, 16, 2));
    p.drawRect(QRectF(11, down ? 3 : 12, 2, 8));
    p.drawPolygon(QPolygonF({QPointF(6, base), QPointF(18, base), QPointF(12, tip)}));
}

void drawRunSymbol(QPainter &p, const QString &name) {
    p.setPen(Qt::NoPen);
    p.setBrush(kRunColour);
    if (name == "view-refresh") {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kRunColour, 2.5));
        p.drawArc(QRectF(4, 4, 16, 16), 90 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(kRunColour);
        p.drawPolygon(QPolygonF({QPointF(10, 0), QPointF(16, 4), QPointF(10, 8)}));
    } else if (name == "process-stop") {
        p.setBrush(QColor(190, 30, 30));
        p.drawRect(QRectF(5, 5, 14, 14));
    } else if (name == "go-first") {
        p.drawRect(QRectF(4, 5, 3, 14));
        p.drawPolygon(triangle(20, 8, 5, 19));
    } else if (name == "media-playback-start") {
        p.drawPolygon(triangle(6, 19, 4, 20));
    } else if (name == "media-playback-pause") {
        p.drawRect(QRectF(6, 5, 4, 14));
        p.drawRect(QRectF(14, 5, 4, 14));
    } else if (name == "go-next") {
        p.drawPolygon(triangle(4, 16, 5, 19));
        p.drawRect(QRectF(17, 5, 3, 14));
    } else if (name == "go-bottom" || name == "go-top") {
        drawArrowToBar(p, name == "go-bottom");
    } else if (name == "edit-select-all") {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kRunColour, 2, Qt::DashLine));
        p.drawRect(QRectF(4, 6, 16, 12));
    }
}

QPixmap drawn(const QString &name) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    if (name == "document-new") {
        drawPage(p, 0, 0);
    } else if (name == "document-open") {
        drawFolder(p);
    } else if (name == "document-save") {
        drawDisk(p);
    } else if (name == "document-save-as") {
        drawDisk(p);
        p.setPen(QPen(QColor(200, 40, 40), 2.5));
        p.drawLine(13, 21, 22, 12);
    } else if (name == "edit-cut") {
        drawScissors(p);
    } else if (name == "edit-copy") {
        drawPage(p, -2, -1);
        drawPage(p, 3, 2);
    } else if (name == "edit-paste") {
        drawClipboard(p);
    } else if (name == "edit-undo" || name == "edit-redo") {
        drawArrow(p, name == "edit-undo");
    } else {
        drawRunSymbol(p, name);
    }
    return pixmap;
}

} // namespace

QIcon ToolIcon(const QString &name) {
    return QIcon::fromTheme(name, QIcon(drawn(name)));
}

QIcon ProgramIcon() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(70, 80, 95));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(2, 2, 60, 60, 10, 10);
    p.setPen(QPen(QColor(255, 200, 60), 4));
    for (int row = 0; row < 5; ++row) {
        const int y = 14 + row * 9;
        p.drawLine(12, y, 52 - row * 6, y);
    }
    return QIcon(pixmap);
}

} // namespace morvilo
