#pragma once
// TNummerBlocksForm: the dialog of "Blöcke neu numerieren". The main window creates it once and
// keeps it, so its values stay as the user left them until the program ends.

#include "editor/searchdialogs.h"
#include "formatting/renumbering.h"

#include <functional>

class QCheckBox;
class QLabel;
class QRadioButton;
class QSpinBox;

namespace morvilo {

class TEditorCore;

class TNummerBlocksForm : public TFixedDialog {
    Q_OBJECT

public:
    explicit TNummerBlocksForm(QWidget *parent = nullptr);

    // Shows the dialog; on OK renumbers the text of core with the dialog's values (one undo
    // step). Anything else leaves the text untouched. True when it renumbered.
    bool BlckeneuNummerieren(TEditorCore &core);

    // The values as the controls hold them.
    TNummerBlocksSettings Settings() const;

    // Shows the dialog modally; true when it was accepted. Replaceable so that tests need no
    // user.
    std::function<bool(QDialog &)> execDialog;

    QRadioButton *RadioButton1; // all blocks
    QRadioButton *RadioButton2; // not empty lines and comment blocks
    QRadioButton *RadioButton3; // only blocks a GOTO names
    QLabel *Label1;
    QSpinBox *startnumed;
    QLabel *Label2;
    QSpinBox *inced;
    QCheckBox *addspacecheck;
};

} // namespace morvilo
