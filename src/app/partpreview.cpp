#include "app/partpreview.h"

#include "simulate/milling.h"
#include "translation/translateunit.h"

#include <QApplication>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>
#include <QtConcurrent/QtConcurrentRun>

namespace morvilo {

TPartPreview::TPartPreview(const TPlotList &lines, const RunLog &runLog, QStatusBar *statusBar,
                           std::string settingsPath, QObject *parent)
    : QObject(parent), lines(lines), runLog(runLog), statusBar(statusBar),
      settingsPath(std::move(settingsPath)) {
    bool damaged = false;
    settings = ReadPreviewDat(this->settingsPath, &damaged);
    if (damaged)
        damage = {"Die Datei %1 ist beschädigt; die Werte, die nicht gelesen werden konnten, "
                  "haben ihre Vorgaben.",
                  {this->settingsPath}};
    debounce.setSingleShot(true);
    debounce.setInterval(300);
    connect(&debounce, &QTimer::timeout, this, [this] { start(); });
    connect(&watcher, &QFutureWatcher<Result>::finished, this, [this] { finished(); });
    // The progress bar shows once the work takes longer than 100 ms, and follows it.
    progressTimer.setInterval(100);
    connect(&progressTimer, &QTimer::timeout, this, [this] { showProgress(); });
}

TPartPreview::~TPartPreview() {
    StopWork();
}

bool TPartPreview::SetSettings(const PreviewSettings &newSettings) {
    settings = newSettings;
    stale = true;
    if (shown) {
        StopWork();
        start();
    }
    return WritePreviewDat(settingsPath, settings);
}

void TPartPreview::SetShown(bool show) {
    shown = show;
    if (shown && stale && !watcher.isRunning())
        start();
}

void TPartPreview::PlotChanged() {
    stale = true;
    if (shown)
        debounce.start();
}

void TPartPreview::StopWork() {
    debounce.stop();
    if (!watcher.isRunning())
        return;
    cancel = true;
    watcher.waitForFinished();
}

TPartPreview::Result TPartPreview::mill(const TPlotList &lines, const RunLog &runLog,
                                        PreviewSettings settings, ToolSpans tools,
                                        const std::atomic<bool> *cancel,
                                        std::atomic<int> *progress) {
    Result result;
    result.tools = std::move(tools);
    const std::optional<PreviewGrid> grid = ChoosePreviewGrid(settings, lines);
    if (!grid) {
        result.message = {"Das Programm hat keine Punkte, aus denen sich das Rohteil ergibt; "
                          "geben Sie es unter \"Werkzeug\" an.",
                          {}};
        return result;
    }
    auto field = std::make_shared<HeightField>();
    if (!field->Reset(grid->stock, grid->resolution, result.message))
        return result;
    MillingControl control;
    control.cancel = cancel;
    control.progress = [progress](double share) { *progress = int(share * 1000); };
    result.cancelled =
        MillPart(lines, result.tools, *field, control, &runLog) == MillingResult::Cancelled;
    if (!result.cancelled)
        result.field = std::move(field);
    return result;
}

ToolSpans TPartPreview::tools() const {
    return ToolsOfRun(runLog, settings.tools, settings.tool);
}

void TPartPreview::start() {
    debounce.stop();
    if (watcher.isRunning() || (runInProgress && runInProgress()))
        return;
    cancel = false;
    progress = 0;
    resultTaken = false;
    watcher.setFuture(QtConcurrent::run(&TPartPreview::mill, std::cref(lines), std::cref(runLog),
                                        settings, tools(), &cancel, &progress));
    progressTimer.start();
}

void TPartPreview::finished() {
    if (resultTaken)
        return; // taken already by CurrentPart
    resultTaken = true;
    progressTimer.stop();
    hideProgress();
    const Result result = watcher.result();
    if (result.cancelled)
        return; // stays stale: the next run, or showing the part again, mills it
    stale = false;
    if (!result.field) {
        part.reset();
        emit partChanged();
        emit failed(TranslateMessage(result.message));
        return;
    }
    part = result.field;
    partTools = result.tools;
    emit partChanged();
}

void TPartPreview::showProgress() {
    if (!statusBar)
        return;
    if (!progressBar) {
        progressBar = new QProgressBar;
        progressBar->setObjectName("PartProgress");
        progressBar->setRange(0, 1000);
        progressBar->setMaximumWidth(160);
        progressBar->setFormat(TranslateString(QString::fromUtf8("Werkstück %p%")));
        cancelButton = new QToolButton;
        cancelButton->setObjectName("PartCancel");
        cancelButton->setText(TranslateString(QString::fromUtf8("Abbrechen")));
        connect(cancelButton, &QToolButton::clicked, this, [this] { cancel = true; });
        statusBar->addPermanentWidget(progressBar);
        statusBar->addPermanentWidget(cancelButton);
    }
    progressBar->setValue(progress);
    progressBar->show();
    cancelButton->show();
}

void TPartPreview::hideProgress() {
    if (progressBar) {
        progressBar->hide();
        cancelButton->hide();
    }
}

const HeightField *TPartPreview::CurrentPart(UserMessage &message) {
    if (watcher.isRunning()) {
        watcher.waitForFinished();
        finished();
    }
    if (!stale && part)
        return part.get();
    const std::atomic<bool> never{false};
    std::atomic<int> ignored{0};
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Result result = mill(lines, runLog, settings, tools(), &never, &ignored);
    QApplication::restoreOverrideCursor();
    if (!result.field) {
        message = result.message;
        return nullptr;
    }
    part = std::move(result.field);
    partTools = result.tools;
    stale = false;
    emit partChanged();
    return part.get();
}

int64_t TPartPreview::LastCutAt(int32_t i, int32_t j) const {
    if (!part || stale)
        return -1;
    const std::optional<uint32_t> cut = LastCut(lines, partTools, *part, i, j, &runLog);
    return cut ? int64_t(*cut) : -1;
}

} // namespace morvilo
