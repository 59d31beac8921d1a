// TMainform: the machining preview on the G-code page: the view choice "Bahn" / "Werkstück",
// the "Werkzeug" dialog, "Werkstück exportieren..." and picking in the part.

#include "app/mainform.h"
#include "app/partpreview.h"
#include "app/plotbox.h"
#include "app/previewtoolform.h"
#include "simulate/partexport.h"
#include "translation/translateunit.h"
#include "vantrel/outputfile.h"

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QFileDialog>
#include <QStatusBar>
#include <QToolBar>

#include <utility>

namespace morvilo {

namespace {

QString translated(const char *german) {
    return TranslateString(QString::fromUtf8(german));
}

} // namespace

void TMainform::createPartPreview() {
    partPreview =
        new TPartPreview(lines, backplot.runLog, statusBar(), progpath + kPreviewDatName, this);
    // After each run the part of the new plot list is milled; a freshly loaded program is fitted
    // into the box, and so is its part when it is there.
    connect(&backplot, &TBackplotDocument::runFinished, this, [this] {
        partPreview->PlotChanged();
        if (std::exchange(freshloaded, false)) {
            PaintBox1->FitToPlot();
            fitPartWhenMilled = partPreview->Shown();
        }
    });
    partPreview->runInProgress = [this] { return flags.inrender; };
    PaintBox1->shownPart = [this] { return partPreview->Shown() ? partPreview->Part() : nullptr; };
    PaintBox1->pickPart = [this](int32_t i, int32_t j) { return partPreview->LastCutAt(i, j); };
    connect(partPreview, &TPartPreview::partChanged, this, [this] {
        if (!partPreview->Shown())
            return;
        if (std::exchange(fitPartWhenMilled, false))
            PaintBox1->FitToPlot();
        else
            PaintBox1->RepaintAll();
    });
    connect(partPreview, &TPartPreview::failed, this,
            [this](const QString &text) { statusBar()->showMessage(text); });

    // The view choice and the tool, after the view tool bar's own buttons.
    ToolBar1->addSeparator();
    auto *group = new QActionGroup(this);
    const struct {
        const char *name, *text, *hint;
        bool part;
    } choices[] = {{"PathViewBtn", "Bahn", "Den Werkzeugweg zeigen", false},
                   {"PartViewBtn", "Werkstück", "Das gefräste Werkstück zeigen", true}};
    for (const auto &choice : choices) {
        QAction *a = ToolBar1->addAction(QString::fromUtf8(choice.text));
        a->setObjectName(choice.name);
        a->setToolTip(QString::fromUtf8(choice.hint));
        a->setCheckable(true);
        group->addAction(a);
        menu.actions.insert(choice.name, a);
        const bool part = choice.part;
        connect(a, &QAction::triggered, this, [this, part] { PartViewClick(part); });
    }
    action("PathViewBtn")->setChecked(true);
    QAction *tool = ToolBar1->addAction(QString::fromUtf8("Werkzeug..."));
    tool->setObjectName("WerkzeugBtn");
    tool->setToolTip(QString::fromUtf8("Werkzeug, Rohteil und Auflösung des Werkstücks"));
    menu.actions.insert("WerkzeugBtn", tool);
    connect(tool, &QAction::triggered, this, [this] { PreviewToolClick(); });
}

void TMainform::PartViewClick(bool part) {
    partPreview->SetShown(part);
    PaintBox1->RepaintAll();
}

void TMainform::PreviewToolClick() {
    TPreviewToolForm dialog(partPreview->Settings(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!partPreview->SetSettings(dialog.Settings()))
        errorBox(TranslateMessage({"Die Einstellungen des Werkstücks konnten nicht in %1 "
                                   "gespeichert werden.",
                                   {progpath + kPreviewDatName}}));
}

void TMainform::ExportPartClick() {
    UserMessage message;
    const HeightField *part = partPreview->CurrentPart(message);
    if (!part) {
        errorBox(TranslateMessage(message));
        return;
    }
    const QString stl = translated("STL-Dateien (*.stl)"),
                  pfm = translated("Höhenbild PFM (*.pfm)");
    QString filter = stl, file;
    if (partSaveDialog) {
        file = partSaveDialog();
    } else {
        // A name without an extension gets the chosen type's, before the dialog asks about
        // replacing a file of that name.
        QFileDialog dialog(this, translated("Werkstück exportieren"), SaveFolder(),
                           stl + ";;" + pfm);
        dialog.setObjectName("PartSaveDialog");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("stl");
        connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString &chosen) {
            dialog.setDefaultSuffix(chosen == pfm ? "pfm" : "stl");
        });
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            file = dialog.selectedFiles().front();
            filter = dialog.selectedNameFilter();
        }
    }
    if (file.isEmpty())
        return;
    const bool asPfm = file.endsWith(".pfm", Qt::CaseInsensitive) ||
                       (filter == pfm && !file.endsWith(".stl", Qt::CaseInsensitive));
    const auto write = [part, asPfm](OutputFile &out, UserMessage &refused) {
        if (!asPfm)
            return WriteStl(*part, out, refused);
        WritePfm(*part, out);
        return true;
    };
    if (!SavePart(QFile::encodeName(file).toStdString(), write, DescribeSystemErrorHere, message))
        errorBox(TranslateMessage(message));
}

} // namespace morvilo
