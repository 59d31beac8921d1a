#include "app/zeilennummerform.h"

#include "editor/editorcore.h"

#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

#include <climits>

namespace morvilo {

TZeilennummerForm::TZeilennummerForm(QWidget *parent)
    : TFixedDialog("ZeilennummerForm", QString::fromUtf8("Zur Zeilennummer springen"), parent,
                   QString::fromUtf8("Abbrechen")) {
    Label1 = addLabel("Label1", QString::fromUtf8("Zeilennummer:"));
    Zeile = addControl("Zeile", new QSpinBox);
    Zeile->setRange(0, INT_MAX);
    Zeile->setValue(1);
    Label1->setBuddy(Zeile);
    RadioButton2 = addControl(
        "RadioButton2", new QRadioButton(QString::fromUtf8("Zeilennummern aus N Blöcken suchen")));
    RadioButton2->setChecked(true);
    RadioButton1 =
        addControl("RadioButton1", new QRadioButton(QString::fromUtf8("Zeilennummern im Editor")));
}

void TZeilennummerForm::ZurZeilennummerspringen(TEditorCore &core) {
    Zeile->selectAll();
    Zeile->setFocus();
    const bool accepted = execDialog ? execDialog(*this) : exec() == QDialog::Accepted;
    if (accepted)
        ZeilennummerSpringen(core, Zeile->value(), RadioButton2->isChecked());
}

} // namespace morvilo
