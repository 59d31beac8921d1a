#pragma once
// Icons of the tool bars: the desktop theme's icon when it has one, else a small drawing.

#include <QIcon>

namespace morvilo {

// name is a freedesktop icon name ("document-new", "edit-undo", ...).
QIcon ToolIcon(const QString &name);
// The program's own icon: a relief toolpath on a plate.
QIcon ProgramIcon();

} // namespace morvilo
