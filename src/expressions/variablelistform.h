#pragma once
// The variable list window "Variablen anzeigen": a tool window, always on top, listing the
// variables 1 ... 999 whose value before the last block (ova) is not 0.
//
// The main window creates it once and, from its menu command, calls ShowVariables(), which
// rebuilds the text and shows the window without making it modal:
//     variableList = new TShowVariablesForm(this, variables);
//     variableList->ShowVariables();

#include "expressions/variablestore.h"

#include <QWidget>

class QPlainTextEdit;

namespace morvilo {

class TShowVariablesForm : public QWidget {
    Q_OBJECT

public:
    TShowVariablesForm(QWidget *parent, const VariableStore &store);

    // The first line of the list; the translated message 7 once translations exist.
    void setHeading(const QString &heading) { heading_ = heading; }
    // Rebuilds the list from the store and shows and raises the window (non-modal).
    void ShowVariables();
    // Rebuilds the list without showing the window.
    void Refresh();
    // Adds one line below the list (an animated interpreter run reports assignments here).
    void AppendLine(const QString &line);

    QPlainTextEdit *memo() const { return Memo1; }

private:
    const VariableStore &store;
    QString heading_ = QStringLiteral("Alle Variablen 1-999, die nicht 0 sind:");
    QPlainTextEdit *Memo1 = nullptr;
};

} // namespace morvilo
