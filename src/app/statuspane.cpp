#include "app/statuspane.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace morvilo {

TStatusPane::TStatusPane(int keepCharacters, QWidget *parent)
    : QLabel(parent), keepCharacters(keepCharacters) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QSize TStatusPane::minimumSizeHint() const {
    QSize size = QLabel::minimumSizeHint();
    const int margins = contentsMargins().left() + contentsMargins().right();
    size.setWidth(
        std::min(size.width(), fontMetrics().averageCharWidth() * keepCharacters + margins));
    return size;
}

bool TStatusPane::Cut() const {
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

void TStatusPane::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QRect room = contentsRect();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideRight, room.width()));
}

bool TStatusPane::event(QEvent *event) {
    if (event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        if (Cut())
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

} // namespace morvilo
