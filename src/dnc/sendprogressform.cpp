#include "dnc/sendprogressform.h"

#include "dnc/portconfigform.h"
#include "translation/translateunit.h"

#include <QCoreApplication>

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
}

bool TSendProgressForm::Update(const TransferProgress &progress) {
    if (sincePump.elapsed() >= kPumpIntervalMs) {
        sincePump.restart();
        setLabelText(TranslateString(QString::fromUtf8("Zeilen gesendet: ")) +
                     QString::number(progress.lines));
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
    return result;
}

TransferResult SendDocument(QWidget *parent, TEditorCore &core, const PortOptions &options,
                            const std::string &progpath, const ErrorBox &errorBox) {
    return SendWithProgress(parent, core, StoredTransferSettings(options, progpath), errorBox);
}

void EditPortSettings(QWidget *parent, PortOptions &options, const std::string &progpath) {
    TPortConfigForm form(parent);
    form.Edit(options, progpath);
}

} // namespace morvilo::dnc
