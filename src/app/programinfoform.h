#pragma once
// TProgramInfoForm: "Programm-Info" of the "Berechnen" menu, the facts of the last run: extents,
// path lengths, blocks, tool changes, spindle starts, run times, and the warnings with their
// lines; clicking a warning jumps to its line.

#include "facts/programfacts.h"

#include <QDialog>

#include <functional>

class QLabel;
class QListWidget;
class QTableWidget;

namespace morvilo {

class TProgramInfoForm : public QDialog {
    Q_OBJECT

public:
    explicit TProgramInfoForm(QWidget *parent = nullptr);

    // Shows facts, in the interface's language.
    void ShowFacts(const ProgramFacts &facts);

    QTableWidget *FactsTable;
    QLabel *WarningsLabel;
    QListWidget *WarningsList; // each item's data: its line, 1-based
    // A warning was clicked: the line to go to, 1-based.
    std::function<void(int64_t line)> onJump;
};

} // namespace morvilo
