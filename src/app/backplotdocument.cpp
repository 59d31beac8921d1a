#include "app/backplotdocument.h"

#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>

namespace morvilo {

// The facts only read the plot list and the log: those of a program of millions of points are
// computed on a second core while the subscribers (painting, the part preview) work.
void TBackplotDocument::RunFinished(const MachineRates &rates, TEditorCore &text) {
    QFuture<ProgramFacts> computing =
        QtConcurrent::run([this, rates] { return ComputeFacts(lines, runLog, rates); });
    emit runFinished();
    facts = computing.result();
    LinesOfTravelWarnings(facts, text);
    emit factsReady();
}

} // namespace morvilo
