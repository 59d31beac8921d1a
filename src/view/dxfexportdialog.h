#pragma once
// "DXF Export...": the save dialog SaveDialog2 and the menu command that writes the plot list
// into the chosen file.

#include "interpreter/plotlist.h"

#include <QString>

#include <functional>

class QDialog;
class QFileDialog;
class QWidget;

namespace morvilo {

// Shows a dialog modally; true when it was accepted.
using ExecDialog = std::function<bool(QDialog &)>;

// Prepares SaveDialog2: saving, DXF files only, the extension .dxf added to a name without one,
// a question before an existing file is replaced, starting in folder.
void SetupSaveDialog2(QFileDialog &dialog, const QString &folder);

// Shows SaveDialog2 (through execDialog when given) and returns the chosen file, empty when the
// dialog was cancelled.
QString SaveDialog2(QWidget *parent, const QString &folder, const ExecDialog &execDialog = {});

// The menu command: asks for the file and writes the plot list into it. A file that cannot be
// created or written is reported through errorBox (the window's error message box). Returns the
// file written, empty when the dialog was cancelled or the export failed.
QString DXFExport1Click(QWidget *parent, const TPlotList &lines, const QString &folder,
                        const std::function<void(const QString &)> &errorBox,
                        const ExecDialog &execDialog = {});

} // namespace morvilo
