#pragma once
// TZeilennummerForm: the main window's "jump to a line number" dialog. The number is looked for
// as a block number (an N word) or taken as an editor line; the line found is selected.

#include "editor/searchdialogs.h"

#include <functional>

class QRadioButton;
class QSpinBox;

namespace morvilo {

class TEditorCore;

class TZeilennummerForm : public TFixedDialog {
    Q_OBJECT

public:
    explicit TZeilennummerForm(QWidget *parent = nullptr);

    // Shows the dialog; on OK selects the line and scrolls it into view. Nothing happens when
    // there is no such line.
    void ZurZeilennummerspringen(TEditorCore &core);

    // Shows the dialog modally; true when it was accepted. Replaceable so that tests need no
    // user.
    std::function<bool(QDialog &)> execDialog;

    QLabel *Label1;
    QSpinBox *Zeile;
    QRadioButton *RadioButton2; // block numbers of N words
    QRadioButton *RadioButton1; // editor lines
};

} // namespace morvilo
