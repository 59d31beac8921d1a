#include "app/backplotdocument.h"

#include <QtConcurrent/QtConcurrentRun>

namespace morvilo {

TBackplotDocument::TBackplotDocument(QObject *parent) : QObject(parent) {
    connect(&factsJob, &QFutureWatcher<ProgramFacts>::finished, this,
            &TBackplotDocument::factsDone);
}

TBackplotDocument::~TBackplotDocument() {
    StopFacts();
}

// The facts only read the plot list and the log: those of a program of millions of points are
// computed on a second core while the subscribers (painting, the part preview) work and after
// the run has returned; the list and the log stay as they are until the next run's Begin, which
// stops the worker first.
void TBackplotDocument::RunFinished(const MachineRates &rates, TEditorCore &text) {
    StopFacts();
    emit runFinished();
    factsText = &text;
    stopFacts = false;
    factsJob.setFuture(QtConcurrent::run(
        [this, rates] { return ComputeFacts(lines, runLog, rates, &stopFacts); }));
}

void TBackplotDocument::StopFacts() {
    if (factsJob.future().isValid() && !factsJob.isFinished()) {
        stopFacts = true;
        factsJob.waitForFinished();
    }
    // A finished job whose signal is still queued is forgotten with it.
    factsJob.setFuture(QFuture<ProgramFacts>());
    factsText = nullptr;
}

void TBackplotDocument::ForgetFacts() {
    StopFacts();
    facts = ProgramFacts();
}

void TBackplotDocument::factsDone() {
    const QFuture<ProgramFacts> job = factsJob.future();
    if (!factsText || !job.isValid() || !job.isFinished() || job.resultCount() == 0)
        return;
    facts = job.result();
    LinesOfTravelWarnings(facts, *factsText);
    factsText = nullptr;
    emit factsReady();
}

} // namespace morvilo
