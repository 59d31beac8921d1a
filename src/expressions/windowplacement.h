#pragma once
// Placement shared by the calculator and the variable list: both open centred on the screen.

#include <QScreen>
#include <QWidget>

namespace morvilo {

inline void CentreOnScreen(QWidget &window) {
    if (const QScreen *screen = window.screen()) {
        QRect frame(QPoint(), window.size());
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}

} // namespace morvilo
