#include "app/reliefrun.h"

#include "translation/translateunit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>

#include <atomic>
#include <chrono>
#include <thread>

namespace morvilo {

namespace {

constexpr int kSteps = 1000;

int progressValue(const ReliefProgress &progress) {
    const uint64_t total = progress.rowsTotal.load();
    const uint64_t done = progress.rowsDone.load();
    return total == 0 ? 0 : int(done * kSteps / total);
}

bool sameFile(const QString &a, const QString &b) {
    const QFileInfo first(a), second(b);
    return first.absoluteFilePath() == second.absoluteFilePath() ||
           (first.exists() && second.exists() &&
            first.canonicalFilePath() == second.canonicalFilePath());
}

} // namespace

std::optional<ReliefResult> PlaceRoughOutput(ReliefParameters &p, const std::string &picture,
                                             const std::string &output) {
    if (p.strategy != ReliefStrategy::Surface || !p.surface.rough || p.surface.roughOutput.empty())
        return std::nullopt;
    const QString pictureFile = QString::fromStdString(picture);
    QString rough = QString::fromStdString(p.surface.roughOutput);
    if (QFileInfo(rough).isRelative())
        rough = QFileInfo(pictureFile).absoluteDir().filePath(rough);
    p.surface.roughOutput = rough.toStdString();
    if (!sameFile(rough, pictureFile) && !sameFile(rough, QString::fromStdString(output)))
        return std::nullopt;
    ReliefResult refused;
    refused.status = ReliefStatus::InvalidParameters;
    refused.message = refused.detail =
        TranslateMessage({"Das Schruppprogramm kann nicht nach „%1“ geschrieben werden: das ist "
                          "das Bild oder das Programm selbst.",
                          {p.surface.roughOutput}})
            .toStdString();
    return refused;
}

ReliefResult RunReliefWithProgress(QWidget *owner, const ReliefParameters &given,
                                   const std::string &picture, const std::string &output) {
    ReliefParameters p = given;
    if (std::optional<ReliefResult> refused = PlaceRoughOutput(p, picture, output))
        return *refused;
    ReliefProgress progress;
    ReliefResult result;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        // The output is the window's own temporary file: never written through a link.
        result = GenerateReliefFile(p, picture, output, OutputFile::Mode::OwnTemporary, &progress);
        finished = true;
    });

    QProgressDialog dialog(TranslateString(QString::fromUtf8("G-Code wird erzeugt...")),
                           TranslateString(QString::fromUtf8("Abbrechen")), 0, kSteps, owner);
    dialog.setObjectName("ReliefProgress");
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(400);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    while (!finished) {
        dialog.setValue(progressValue(progress));
        if (dialog.wasCanceled())
            progress.cancel = true;
        // Until the dialog shows, the user's input waits: nothing may start a second run or
        // touch the editor meanwhile.
        QCoreApplication::processEvents(
            dialog.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    worker.join();
    // A message that carries values (the grid, sizes) passes the translation table before the
    // values go into it; the window shows the detail.
    if (!result.messageParts.empty()) {
        result.message = result.detail = TranslateMessage(result.messageParts).toStdString();
    }
    return result;
}

} // namespace morvilo
