// TTextEditorLF: the search, replace and jump commands with their dialogs.

#include "editor/searchdialogs.h"
#include "editor/texteditorlf.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>

namespace morvilo {

TSearchForm &TTextEditorLF::searchForm() {
    if (!SearchForm)
        SearchForm = new TSearchForm(this);
    return *SearchForm;
}

TSearchRepForm &TTextEditorLF::searchRepForm() {
    if (!SearchRepForm)
        SearchRepForm = new TSearchRepForm(this);
    return *SearchRepForm;
}

TPosForm &TTextEditorLF::posForm() {
    if (!PosForm)
        PosForm = new TPosForm(this);
    return *PosForm;
}

bool TTextEditorLF::showModal(QDialog &dialog) {
    return execDialog ? execDialog(dialog) : dialog.exec() == QDialog::Accepted;
}

void TTextEditorLF::ShowCaptionedError(const std::string &message, const std::string &caption) {
    putAwayProgress();
    const QString text = QString::fromStdString(message);
    const QString title = QString::fromStdString(caption);
    if (captionedErrorBox) {
        captionedErrorBox(text, title);
        return;
    }
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, this);
    box.exec();
}

void TTextEditorLF::Suchen() {
    TSearchForm &form = searchForm();
    form.Edit1->selectAll();
    form.Edit1->setFocus();
    if (showModal(form))
        Weitersuchen();
}

void TTextEditorLF::Weitersuchen() {
    TSearchForm &form = searchForm();
    TSearchSettings settings = form.Settings();
    RunWithProgress("Suche läuft...", [&] { editor.Weitersuchen(settings); });
    form.KeepStartAtBeginning(settings);
}

void TTextEditorLF::SuchenundErsetzen() {
    TSearchRepForm &form = searchRepForm();
    form.Edit1->selectAll();
    form.Edit1->setFocus();
    if (showModal(form))
        WeiterSuchenundErsetzen();
}

void TTextEditorLF::WeiterSuchenundErsetzen() {
    TSearchRepForm &form = searchRepForm();
    TReplaceSettings settings = form.Settings();
    RunWithProgress("Suche läuft...", [&] { editor.WeiterSuchenundErsetzen(settings); });
    form.KeepStartAtBeginning(settings);
}

void TTextEditorLF::AnPositionspringen() {
    TPosForm &form = posForm();
    if (showModal(form))
        editor.AnPositionspringen(DocumentBytesOf(form.Edit1->text()), form.HexCheck->isChecked());
}

} // namespace morvilo
