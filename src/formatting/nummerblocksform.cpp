#include "formatting/nummerblocksform.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

namespace morvilo {

namespace {

QSpinBox *numberField(int value) {
    auto *field = new QSpinBox;
    field->setRange(1, 1000000);
    field->setValue(value);
    return field;
}

} // namespace

TNummerBlocksForm::TNummerBlocksForm(QWidget *parent)
    : TFixedDialog("NummerBlocksForm", QString::fromUtf8("Blöcke neu nummerieren"), parent,
                   QString::fromUtf8("Abbrechen")) {
    RadioButton1 = addControl("RadioButton1",
                              new QRadioButton(QString::fromUtf8("Alle Blöcke neu nummerieren")));
    RadioButton1->setChecked(true);
    RadioButton2 = addControl(
        "RadioButton2",
        new QRadioButton(QString::fromUtf8("Leerzeilen und Kommentarblöcke nicht nummerieren")));
    RadioButton3 = addControl("RadioButton3", new QRadioButton(QString::fromUtf8(
                                                  "Nur GOTO referenzierte Blöcke nummerieren")));
    Label1 = addLabel("Label1", QString::fromUtf8("Startnummer:"));
    startnumed = addControl("startnumed", numberField(1));
    Label1->setBuddy(startnumed);
    Label2 = addLabel("Label2", QString::fromUtf8("Pro Zeile Blocknummer erhöhen um:"));
    inced = addControl("inced", numberField(2));
    Label2->setBuddy(inced);
    addspacecheck = addCheck("addspacecheck", QString::fromUtf8("Leerzeichen einfügen"));
}

TNummerBlocksSettings TNummerBlocksForm::Settings() const {
    TNummerBlocksSettings settings;
    settings.choice = RadioButton3->isChecked()   ? NumberingChoice::JumpTargetsOnly
                      : RadioButton2->isChecked() ? NumberingChoice::NotEmptyOrComment
                                                  : NumberingChoice::AllBlocks;
    settings.startnumed = startnumed->value();
    settings.inced = inced->value();
    settings.addspacecheck = addspacecheck->isChecked();
    return settings;
}

bool TNummerBlocksForm::BlckeneuNummerieren(TEditorCore &core) {
    const bool accepted = execDialog ? execDialog(*this) : exec() == QDialog::Accepted;
    if (accepted)
        morvilo::BlckeneuNummerieren(core, Settings());
    return accepted;
}

} // namespace morvilo
