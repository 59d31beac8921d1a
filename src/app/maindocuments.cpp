// TMainform: the document commands, the caption and the recent files.

#include "app/mainform.h"
#include "app/plotbox.h"
#include "app/profiledialog.h"
#include "app/reliefpanel.h"
#include "app/reliefrun.h"
#include "editor/texteditorlf.h"
#include "machine/profilesfile.h"
#include "settings/filefilter.h"
#include "translation/translateunit.h"
#include "vantrel/room.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QTabWidget>

namespace morvilo {

namespace {

// An output file (the roughing program of its own, or the program itself) could not be created
// or written: the file and the system's reason, in the window's language.
QString outputFailure(const ReliefResult &result, const std::string &file) {
    return TranslateMessage({result.status == ReliefStatus::WriteFailed
                                 ? "%1 kann nicht geschrieben werden: %2"
                                 : "%1 kann nicht angelegt werden: %2",
                             {file, DescribeSystemErrorHere(result.errorNumber)}});
}

} // namespace

QString TMainform::DocumentFilter() {
    return QString::fromUtf8("CNC Dateien (*.cnc;*.nc;*.ngc;*.tap;*.din;*.txt)|*.cnc;*.nc;*.ngc;"
                             "*.tap;*.din;*.txt|Alle Dateien (*.*)|*.*");
}

void TMainform::SetChanged() {
    changed = true;
    applyCaption();
}

void TMainform::SetUnChanged() {
    changed = false;
    applyCaption();
}

void TMainform::applyCaption() {
    const QString name =
        afilename.isEmpty() ? GetTString(kMsgUntitledCnc) : QFileInfo(afilename).fileName();
    setWindowTitle(maincap + " - [" + name + (changed ? "*]" : "]"));
}

bool TMainform::askToSave() {
    if (!changed)
        return true;
    switch (saveQuestion()) {
    case QMessageBox::Yes:
        return SaveFile();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TMainform::Neu1Click() {
    if (!askToSave())
        return;
    NewAll();
}

void TMainform::NewAll() {
    forgetProgramFigures();
    memo1->core().FileNew();
    PaintBox1->RepaintAll();
    afilename.clear();
    SetUnChanged();
}

void TMainform::ffnen1Click() {
    if (!askToSave())
        return;
    OpenFile();
}

bool TMainform::OpenFile() {
    const QString name = chooseOpenFile();
    return !name.isEmpty() && OpenFileWithName(name);
}

bool TMainform::OpenFileWithName(const QString &name) {
    const bool ok = memo1->core().OpenFileWithName(name.toStdString());
    if (ok) {
        forgetProgramFigures();
        afilename = name;
        AddtoFavorites(afilename);
        SetUnChanged();
    }
    freshloaded = true;
    return ok;
}

// A recent file replaces the document as "Öffnen..." does: unsaved changes are asked about
// first. An empty slot opens nothing and asks nothing.
void TMainform::ZuletztClick(int slot) {
    const QString name = QString::fromStdString(fav.Entries()[size_t(slot)]);
    if (name.isEmpty() || !askToSave())
        return;
    OpenFileWithName(name);
}

void TMainform::Speichern1Click() {
    SaveFile();
}

bool TMainform::SaveFile() {
    bool saved = false;
    if (!afilename.isEmpty()) {
        saved = SaveTheFile(afilename);
    } else {
        const QString name = chooseSaveFile();
        if (name.isEmpty())
            return false;
        saved = SaveTheFile(name);
        if (saved) {
            afilename = name;
            AddtoFavorites(afilename);
        }
    }
    if (saved)
        SetUnChanged();
    return saved;
}

void TMainform::Speichernunter1Click() {
    const QString name = chooseSaveFile();
    if (name.isEmpty() || !SaveTheFile(name))
        return;
    afilename = name;
    AddtoFavorites(afilename);
    SetUnChanged();
}

bool TMainform::SaveTheFile(const QString &name) {
    const bool saved = memo1->SaveAsFile(name.toStdString());
    if (saved)
        SetUnChanged();
    return saved;
}

QString TMainform::chooseOpenFile() {
    if (openDialog)
        return openDialog();
    return QFileDialog::getOpenFileName(this, QString(), QString(),
                                        QtFileFilter(TranslateString(DocumentFilter())));
}

QString TMainform::chooseSaveFile() {
    if (saveDialog)
        return saveDialog();
    QFileDialog dialog(this, QString(), SaveFolder(),
                       QtFileFilter(TranslateString(DocumentFilter())));
    dialog.setObjectName("SaveDialog1");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("nc");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

QString TMainform::SaveFolder() const {
    return afilename.isEmpty() ? lastPictureFolder : QFileInfo(afilename).absolutePath();
}

void TMainform::forgetProgramFigures() {
    ReliefFiguresLabel->clear();
    reliefFiguresWithoutTime.clear();
    ResetMeasurement();
    ForgetFacts();
}

void TMainform::AddtoFavorites(const QString &name) {
    fav.AddtoFavorites(name.toStdString());
    SaveFavorites();
    UpdateFavorites();
}

void TMainform::UpdateFavorites() {
    const char *const recentItems[] = {"Zuletzt11", "Zuletzt21", "Zuletzt31", "Zuletzt41",
                                       "Zuletzt51"};
    for (size_t k = 0; k < 5; ++k)
        action(recentItems[k])->setText(QString::fromStdString(fav.Entries()[k]));
}

void TMainform::OpenFavorites() {
    fav.Load(progpath + "fav.dat");
    UpdateFavorites();
}

void TMainform::SaveFavorites() {
    fav.Save(progpath + "fav.dat"); // an unwritable file is not reported
}

void TMainform::opentheDXFnow(const QString &fname) {
    if (tempfilename.empty()) {
        errorBox(GetTString(kMsgTempFileNotCreated));
        return;
    }
    const ReliefResult result =
        RunReliefWithProgress(this, Panel3->parameters(), fname.toStdString(), tempfilename);
    switch (result.status) {
    case ReliefStatus::Ok:
        forgetProgramFigures();
        ReliefFiguresLabel->setText(TranslateMessage(
            Panel3->levelOptions().Any()
                ? UserMessage{"Relief: %1, Laufzeit %2 (spart %3) (%4)",
                              {ByteSizeText(result.bytes), RunTimeText(result.estimate.seconds),
                               RunTimeText(SecondsSaved(result.estimate)),
                               ShownProfileName(Panel3->selectedProfile()).toStdString()}}
                : UserMessage{"Relief: %1, Laufzeit %2 (%3)",
                              {ByteSizeText(result.bytes), RunTimeText(result.estimate.seconds),
                               ShownProfileName(Panel3->selectedProfile()).toStdString()}}));
        reliefFiguresWithoutTime =
            TranslateMessage({"Relief: %1 (%2)",
                              {ByteSizeText(result.bytes),
                               ShownProfileName(Panel3->selectedProfile()).toStdString()}});
        freshloaded = true; // the first plot of the new program is zoomed to fit
        memo1->core().OpenFileWithName(tempfilename);
        PageControl1->setCurrentIndex(1);
        break;
    case ReliefStatus::PictureUnreadable:
        // A picture refused by its size says why below the message that it cannot be loaded.
        errorBox(
            GetTString(kMsgPictureNotLoaded) +
            (result.detail.empty() ? QString() : "\n" + QString::fromStdString(result.detail)));
        break;
    case ReliefStatus::OutputNotCreated:
        if (!result.failedFile.empty()) { // the roughing program of its own
            errorBox(outputFailure(result, result.failedFile));
            break;
        }
        errorBox(GetTString(kMsgTempFileNotCreated) + "\n" +
                 QString::fromStdString(result.errorNumber != 0
                                            ? DescribeSystemErrorHere(result.errorNumber)
                                            : result.detail));
        break;
    case ReliefStatus::WriteFailed:
        if (result.errorNumber != 0) { // the disk, not the memory
            errorBox(outputFailure(result,
                                   result.failedFile.empty() ? tempfilename : result.failedFile));
            break;
        }
        errorBox(QString::fromStdString(result.detail));
        break;
    case ReliefStatus::InvalidParameters:
        errorBox(result.failedFile.empty() ? QString::fromStdString(result.detail)
                                           : outputFailure(result, result.failedFile));
        break;
    case ReliefStatus::Cancelled:
        break;
    }
}

} // namespace morvilo

namespace morvilo {

void TMainform::ProfilesClick() {
    TProfileDialog dialog(Panel3->profiles(), Panel3->selectedProfile().name, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    UserMessage error;
    if (!SaveMachineProfiles(progpath + kProfilesFileName, dialog.profiles(), error))
        errorBox(TranslateMessage(error));
    // Editing is not choosing: the profile in use stays in use. Renamed, it is chosen again by
    // its new name; with new feeds or spindle speed in the dialog, the panel shows them; deleted,
    // the bare paths take its place.
    const MachineProfile before = Panel3->selectedProfile();
    Panel3->setProfiles(dialog.profiles());
    const std::string active = dialog.activeName();
    const MachineProfile *after = FindProfile(dialog.profiles(), active);
    if (!after || after->name != before.name || after->feed != before.feed ||
        after->plungeFeed != before.plungeFeed || after->spindle != before.spindle)
        Panel3->selectProfile(active);
}

} // namespace morvilo
