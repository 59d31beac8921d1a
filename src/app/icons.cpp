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
