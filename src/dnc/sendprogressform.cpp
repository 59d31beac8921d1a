#include "dnc/sendprogressform.h"

#include "dnc/dncmessages.h"
#include "dnc/portconfigform.h"
#include "dnc/receiveform.h"
#include "translation/translateunit.h"

#include <QCoreApplication>

#include <algorithm>

namespace morvilo::dnc {

namespace {

constexpr int kPumpIntervalMs = 15;
constexpr int kSteps = 1000;

} // namespace

TSendProgressForm::TSendProgressForm(QWidget *parent)
    : QProgressDialog(QString(), TranslateString(QString::fromUtf8("Abbrechen")), 0, kSteps,
                      parent) {
    setObjectName("SendProgressForm");
    setWindowTitle(TranslateString(QString::fromUtf8("Senden")));
    setWindowModality(Qt::ApplicationModal);
    setAutoClose(false);
    setAutoReset(false);
    setMinimumDuration(500);
    sincePump.start();
    started.start();
}

bool TSendProgressForm::Update(const TransferProgress &progress) {
    if (sincePump.elapsed() >= kPumpIntervalMs) {
        sincePump.restart();
        // Lines, then bytes of the total with the rate and the time left, then whether the
        // machine holds the line.
        const double seconds = double(started.elapsed()) / 1000;
        const double rate = seconds > 0 ? double(progress.bytes) / seconds : 0;
        const int64_t left =
            rate > 0
                ? int64_t(double(std::max<int64_t>(0, progress.size - progress.position)) / rate +
                          0.999)
                : 0;
        QString text = TranslateString(QString::fromUtf8("Zeilen gesendet: ")) +
                       QString::number(progress.lines) + QStringLiteral("\n") +
                       TranslateString(QString::fromUtf8("%1 von %2 Bytes, %3 Bytes/s, noch %4 s"))
                           .arg(progress.bytes)
                           .arg(progress.size)
                           .arg(int64_t(rate))
                           .arg(left);
        if (progress.waiting)
            text += QStringLiteral("\n") +
                    TranslateString(QString::fromUtf8("Warte auf Freigabe (XOFF)"));
        setLabelText(text);
        setValue(progress.size > 0 ? int(progress.position * kSteps / progress.size) : 0);
        // Until the window shows, input must not reach the main window and change the text.
        QCoreApplication::processEvents(isVisible() ? QEventLoop::AllEvents
                                                    : QEventLoop::ExcludeUserInputEvents);
    }
    return !wasCanceled();
}

TransferResult SendWithProgress(QWidget *parent, TEditorCore &core,
                                const TransferSettings &settings, const ErrorBox &errorBox,
                                SerialApi &api) {
    TSendProgressForm progressForm(parent);
    const TransferResult result = SendText(
        core, settings, [&](const TransferProgress &p) { return progressForm.Update(p); }, api);
    progressForm.hide();
    if (result.message != 0 && errorBox)
        errorBox(TransferErrorText(result));
    else if (result.timedOut && errorBox)
        errorBox(TranslateMessage(TransferTimeoutMessage(result, settings.timeout)));
    return result;
}

TransferResult SendDocument(QWidget *parent, TEditorCore &core, const PortOptions &options,
                            const std::string &progpath, const ErrorBox &errorBox,
                            const ErrorBox &sentBox) {
    bool damaged = false;
    const TransferSettings settings = StoredTransferSettings(options, progpath, &damaged);
    if (damaged && errorBox)
        errorBox(DamagedDncDatText());
    const TransferResult result = SendWithProgress(parent, core, settings, errorBox);
    if (result.message == 0 && !result.cancelled && !result.timedOut && sentBox)
        sentBox(SentText(result.progress));
    return result;
}

QString SentText(const TransferProgress &progress) {
    return TranslateString(QString::fromUtf8("Gesendet: %1 Zeilen, %2 Bytes."))
        .arg(progress.lines)
        .arg(progress.bytes);
}

void EditPortSettings(QWidget *parent, PortOptions &options, const std::string &progpath,
                      const ErrorBox &errorBox) {
    TPortConfigForm form(parent);
    form.Edit(options, progpath, errorBox);
}

} // namespace morvilo::dnc
