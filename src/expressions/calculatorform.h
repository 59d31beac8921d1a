#pragma once
// The calculator dialog "Ausdruck berechnen": evaluates a typed expression with the same
// variable store as the interpreter and keeps a history of inputs and results.
//
// The main window creates it once and shows it modally from its menu command (it opens
// centred on the screen, the history kept between openings):
//     calculator = new TAusdruckBerechnenForm(this, variables);
//     calculator->exec();

#include "expressions/handleexpression.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace morvilo {

class TAusdruckBerechnenForm : public QDialog {
    Q_OBJECT

public:
    TAusdruckBerechnenForm(QWidget *parent, VariableStore &store);

    // Shows an error that the evaluator raised. The default shows a message box with the
    // error icon and no title of its own; tests replace it.
    std::function<void(const QString &message)> showError;

    QLineEdit *input() const { return Edit1; }
    QPlainTextEdit *history() const { return Memo1; }

    // Inserts text at the caret of the input field (a selection stays and is not replaced);
    // the caret ends directly after it and the field gets the focus.
    void InsertText(const QString &text);
    // "Berechnen" and "=": appends the input followed by " =" and then the result of the
    // input without spaces and comments to the history.
    void Berechnen();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QPushButton *insertButton(const QString &caption, const QString &text);
    QWidget *insertRow();
    QWidget *numberPad();
    QWidget *functionGroup();

    ExpressionEvaluator evaluator;
    QLineEdit *Edit1 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
};

} // namespace morvilo
