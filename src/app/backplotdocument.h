#pragma once
// The backplot of the text, without widgets: the plot list of its last run, the run's log and
// the program facts. A run feeds the document through its consumers of the motion stream (the
// window adds its paint box beside them); when the run has ended the document computes the
// facts on a worker, says runFinished (the part preview and the view start their work on the
// new plot list meanwhile), then factsReady (the facts display).

#include "facts/programfacts.h"
#include "interpreter/motionstream.h"
#include "interpreter/plotlist.h"
#include "interpreter/runlog.h"

#include <QObject>

namespace morvilo {

class TEditorCore;

class TBackplotDocument : public QObject {
    Q_OBJECT

public:
    explicit TBackplotDocument(QObject *parent = nullptr) : QObject(parent) {}

    // The consumers of a run the document keeps: the plot list with the arcs' true curves, and
    // the run log.
    MotionStream &Consumers() { return consumers; }

    // The run that fed the document has ended: the facts (for rates; the travel warnings with
    // the lines of text) are computed on a worker while the subscribers of runFinished work.
    void RunFinished(const MachineRates &rates, TEditorCore &text);

    TPlotList lines;
    RunLog runLog;      // what the last run did besides its points
    ProgramFacts facts; // of the last run

signals:
    void runFinished();
    void factsReady();

private:
    PlotListWriter plotWriter{lines, true};
    RunLogWriter logWriter{runLog};
    MotionFanOut consumers{&plotWriter, &logWriter};
};

} // namespace morvilo
