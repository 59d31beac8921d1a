#pragma once
// The backplot of the text, without widgets: the plot list of its last run, the run's log and
// the program facts. A run feeds the document through its consumers of the motion stream (the
// window adds its paint box beside them); when the run has ended the document says runFinished
// (the part preview, measuring and the view start their work on the new plot list) and
// computes the facts on a worker, then says factsReady (the facts display) from the event loop,
// long after the run returned when the program is big.

#include "facts/programfacts.h"
#include "interpreter/motionstream.h"
#include "interpreter/plotlist.h"
#include "interpreter/runlog.h"

#include <QFutureWatcher>
#include <QObject>

#include <atomic>
#include <cstdint>

namespace morvilo {

class TEditorCore;

class TBackplotDocument : public QObject {
    Q_OBJECT

public:
    explicit TBackplotDocument(QObject *parent = nullptr);
    ~TBackplotDocument() override;

    // The consumers of a run the document keeps: the plot list with the arcs' true curves, and
    // the run log. A run's Begin first stops the facts of the last run, which read them.
    MotionStream &Consumers() { return consumers; }

    // The run that fed the document has ended: runFinished, then the facts (for rates; the
    // travel warnings get their lines from text) are computed on a worker.
    void RunFinished(const MachineRates &rates, TEditorCore &text);
    // The facts being computed are of no use any more (another text, a new run): the worker is
    // stopped and waited for, its result is never shown. The facts known stay.
    void StopFacts();
    // The text the facts were of goes: the facts being computed are stopped, the known ones
    // forgotten.
    void ForgetFacts();
    // Facts are being computed whose factsReady is still to come.
    bool FactsPending() const { return factsText != nullptr; }

    TPlotList lines;
    RunLog runLog;      // what the last run did besides its points
    ProgramFacts facts; // of the last run whose facts were ready; none after ForgetFacts

signals:
    void runFinished();
    void factsReady();

private:
    // A run's Begin goes to the consumers once the facts of the last run have stopped.
    class Guard : public MotionFanOut {
    public:
        Guard(TBackplotDocument &document, MotionStream *plot, MotionStream *log)
            : MotionFanOut{plot, log}, document(document) {}
        void Begin() override {
            document.StopFacts();
            MotionFanOut::Begin();
        }

    private:
        TBackplotDocument &document;
    };

    void factsDone();

    PlotListWriter plotWriter{lines, true};
    RunLogWriter logWriter{runLog};
    Guard consumers{*this, &plotWriter, &logWriter};
    QFutureWatcher<ProgramFacts> factsJob;
    std::atomic<bool> stopFacts{false};
    TEditorCore *factsText = nullptr; // the text the run read, while its facts are computed
};

} // namespace morvilo
