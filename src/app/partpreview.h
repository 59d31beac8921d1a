#pragma once
// The machining preview in the window. While the G-code page shows "Werkstück", the part is
// milled from the plot list on a worker thread a moment after each run of the interpreter; a
// progress bar with "Abbrechen" appears in the status bar when that takes longer than 100 ms,
// and typing goes on meanwhile. A run that is about to change the plot list stops the worker
// first. The tool, the stock and the resolution live in preview.dat beside options.dat.

#include "interpreter/plotlist.h"
#include "interpreter/runlog.h"
#include "simulate/heightfield.h"
#include "simulate/milling.h"
#include "simulate/previewsettings.h"

#include <QFutureWatcher>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

class QProgressBar;
class QStatusBar;
class QToolButton;
class QWidget;

namespace morvilo {

class TPartPreview : public QObject {
    Q_OBJECT

public:
    // The tools change along the program as runLog's tool changes and the settings' tool table
    // say.
    TPartPreview(const TPlotList &lines, const RunLog &runLog, QStatusBar *statusBar,
                 std::string settingsPath, QObject *parent = nullptr);
    ~TPartPreview() override; // stops the worker and waits for it

    const PreviewSettings &Settings() const { return settings; }
    // What of preview.dat could not be read (those values have their defaults); empty when
    // all could.
    const UserMessage &Damage() const { return damage; }
    // Takes new settings, saves them and mills the part again; false when preview.dat could
    // not be written (the settings are taken all the same).
    bool SetSettings(const PreviewSettings &newSettings);

    // The view choice: "Werkstück" (true) or "Bahn". Showing the part mills it when needed.
    void SetShown(bool show);
    bool Shown() const { return shown; }

    // The plot list changed (a run ended): the part is milled again after a short pause.
    void PlotChanged();
    // A run is about to change the plot list: the worker stops and is waited for.
    void StopWork();
    bool Working() const { return watcher.isRunning(); }

    // The part last milled; null before the first one.
    const HeightField *Part() const { return part.get(); }
    // The part milled for the plot list as it is now, milled here and now when it is not up
    // to date (the caller waits); null with the reason in message when there is none.
    const HeightField *CurrentPart(UserMessage &message);
    // The plot-list index of the last move that cut the cell (i, j) of the part; -1 for none.
    int64_t LastCutAt(int32_t i, int32_t j) const;

    // Whether a run of the interpreter is changing the plot list: no milling starts then (the
    // run's end asks for it).
    std::function<bool()> runInProgress;

    // The pause between a run's end and the milling; tests shorten it.
    QTimer debounce;

signals:
    // A new part is there to be drawn.
    void partChanged();
    // Why no part could be milled (a grid too large, a program without points).
    void failed(const QString &text);

private:
    struct Result {
        std::shared_ptr<HeightField> field;
        ToolSpans tools;
        UserMessage message;
        bool cancelled = false;
    };
    static Result mill(const TPlotList &lines, const RunLog &runLog, PreviewSettings settings,
                       ToolSpans tools, const std::atomic<bool> *cancel,
                       std::atomic<int> *progress);
    // The tools along the last run, read before the worker starts.
    ToolSpans tools() const;
    void start();
    void finished();
    void showProgress();
    void hideProgress();

    const TPlotList &lines;
    const RunLog &runLog;
    QStatusBar *statusBar;
    std::string settingsPath;
    PreviewSettings settings;
    UserMessage damage;
    bool shown = false;
    bool stale = true; // the plot list or the settings changed since the part
    std::shared_ptr<HeightField> part;
    ToolSpans partTools; // the tools the part was milled with
    QFutureWatcher<Result> watcher;
    bool resultTaken = true; // the worker's result was taken (its finish is handled once)
    std::atomic<bool> cancel{false};
    std::atomic<int> progress{0}; // thousandths of the work
    QTimer progressTimer;
    QProgressBar *progressBar = nullptr;
    QToolButton *cancelButton = nullptr;
};

} // namespace morvilo
