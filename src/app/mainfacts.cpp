// TMainform: the program facts of each run (the status bar's line, "Programm-Info...") and
// measuring on the backplot ("Messen").

#include "app/mainform.h"
#include "app/plotbox.h"
#include "app/programinfoform.h"
#include "app/reliefpanel.h"
#include "editor/editorsearch.h"
#include "editor/texteditorlf.h"
#include "facts/factstext.h"
#include "translation/translateunit.h"
#include "view/nearestpoint.h"

#include <QAction>
#include <QLabel>
#include <QTabWidget>

namespace morvilo {

namespace {
// How far from a click a plot point may lie to be measured, in pixels.
constexpr int kMeasureReach = 12;

// The same point of the same source line (a run of the same text gives the very same doubles).
bool samePoint(const t9dline &a, const t9dline &b) {
    return a.zeilevon == b.zeilevon && a.zeilebis == b.zeilebis && a.x == b.x && a.y == b.y &&
           a.z == b.z && a.u == b.u && a.v == b.v && a.w == b.w;
}
} // namespace

void TMainform::connectFactsCommands() {
    ProgramInfoForm = new TProgramInfoForm(this);
    ProgramInfoForm->onJump = [this](int64_t line) {
        if (line < 1)
            return;
        PageControl1->setCurrentIndex(1);
        ZeilennummerSpringen(memo1->core(), line, false);
        memo1->update();
    };
    if (QAction *a = action("ProgrammInfo1"))
        connect(a, &QAction::triggered, this, [this] { ProgrammInfo1Click(); });
    // The facts of each run: the status bar's line, and the dialog when it is open.
    connect(&backplot, &TBackplotDocument::factsReady, this, [this] {
        FactsLabel->setText(TranslateMessage(FactsStatusLine(backplot.facts)));
        if (!reliefFiguresWithoutTime.isEmpty())
            ReliefFiguresLabel->setText(reliefFiguresWithoutTime);
        if (ProgramInfoForm->isVisible())
            ProgramInfoForm->ShowFacts(backplot.facts);
    });
    // Measuring follows the runs: a measurement is of points of the plot.
    connect(&backplot, &TBackplotDocument::runFinished, this, [this] { KeepOrResetMeasurement(); });
}

// The facts of the text that goes are not shown for the next one.
void TMainform::ForgetFacts() {
    backplot.ForgetFacts();
    FactsLabel->setText(QString());
    if (ProgramInfoForm->isVisible())
        ProgramInfoForm->ShowFacts(backplot.facts);
}

void TMainform::ProgrammInfo1Click() {
    ProgramInfoForm->ShowFacts(backplot.facts);
    ProgramInfoForm->show();
    ProgramInfoForm->raise();
}

void TMainform::ResetMeasurement() {
    measureFirst.reset();
    measureIndices.clear();
    PaintBox1->measureMarks.clear();
    PaintBox1->update();
    MeasureLabel->setText(isChecked("MessenBtn")
                              ? TranslateString(QString::fromUtf8("Messen: ersten Punkt anklicken"))
                              : QString());
}

void TMainform::MeasureClick(int x, int y) {
    const tmat44 mat = ViewMatrix(view, PaintBox1->width(), PaintBox1->height());
    const int64_t index = NearestPlotPoint(lines, mat, x, y, kMeasureReach);
    if (index < 0) {
        MeasureLabel->setText(
            TranslateString(QString::fromUtf8("Kein Punkt der Bahn in der Nähe")));
        return;
    }
    const t9dline picked = lines[uint32_t(index)];
    const MeasurePoint point = PointOf(picked);
    if (!measureFirst) {
        measureFirst = point;
        PaintBox1->measureMarks = {picked};
        measureIndices = {uint32_t(index)};
        MeasureLabel->setText(TranslateMessage(FirstPointText(point, options.diametermode)));
    } else {
        MeasureLabel->setText(
            TranslateMessage(DistanceText(*measureFirst, point, options.diametermode)));
        measureFirst.reset();
        PaintBox1->measureMarks.push_back(picked);
        measureIndices.push_back(uint32_t(index));
    }
    PaintBox1->update();
}

// A run that drew the measured points where they were (the same text run again) keeps the
// measurement; after any other the marks would stand beside the plot, and it begins afresh.
void TMainform::KeepOrResetMeasurement() {
    for (size_t k = 0; k < measureIndices.size(); ++k)
        if (measureIndices[k] >= lines.Count() ||
            !samePoint(lines[measureIndices[k]], PaintBox1->measureMarks[k])) {
            ResetMeasurement();
            return;
        }
}

} // namespace morvilo
