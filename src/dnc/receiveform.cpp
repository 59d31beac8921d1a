#include "dnc/receiveform.h"

#include "dnc/dncmessages.h"
#include "dnc/portfile.h"
#include "dnc/transfer.h"
#include "translation/translateunit.h"

#include <QCoreApplication>

namespace morvilo::dnc {

namespace {

constexpr int kPumpIntervalMs = 15;

} // namespace

TReceiveProgressForm::TReceiveProgressForm(QWidget *parent)
    : QProgressDialog(QString(), TranslateString(QString::fromUtf8("Abbrechen")), 0, 0, parent) {
    setObjectName("ReceiveProgressForm");
    setWindowTitle(TranslateString(QString::fromUtf8("Empfangen")));
    setWindowModality(Qt::ApplicationModal);
    setAutoClose(false);
    setAutoReset(false);
    setMinimumDuration(0); // waiting for the control to start is the usual case
    setLabelText(TranslateString(QString::fromUtf8("Warte auf Daten...")));
    sincePump.start();
}

bool TReceiveProgressForm::Update(int64_t total) {
    if (sincePump.elapsed() >= kPumpIntervalMs) {
        sincePump.restart();
        if (total > 0)
            setLabelText(TranslateString(QString::fromUtf8("%1 Bytes empfangen")).arg(total));
        setValue(0); // keeps the busy bar moving and shows the window
        QCoreApplication::processEvents();
    }
    return !wasCanceled();
}

ReceiveResult ReceiveWithProgress(QWidget *parent, const ReceiveSettings &settings,
                                  const ReceiveAppend &append, const ErrorBox &errorBox,
                                  SerialApi &api) {
    TReceiveProgressForm progressForm(parent);
    bool kept = true;
    const ReceiveResult result = ReceiveText(
        settings,
        [&](std::string_view piece, int64_t total) {
            kept = piece.empty() || append(piece);
            return kept && progressForm.Update(total);
        },
        api);
    progressForm.hide();
    const UserMessage failure =
        ReceiveFailureMessage(result, settings.device, DescribeSystemErrorHere);
    QString text;
    if (!kept)
        text = TranslateString(QString::fromUtf8(
            "Der Empfang wurde beendet: das Dokument kann nicht mehr aufnehmen."));
    else if (!failure.empty())
        text = TranslateMessage(failure);
    if (!text.isEmpty() && errorBox)
        errorBox(text + QStringLiteral("\n") +
                 TranslateString(QString::fromUtf8("%1 Bytes empfangen; sie stehen im Dokument."))
                     .arg(result.bytes));
    return result;
}

ReceiveSettings StoredReceiveSettings(const PortOptions &options, const std::string &progpath,
                                      bool *damaged) {
    const DncFile dnc = ReadDncDat(progpath + kDncDatName, damaged);
    return {TransferDevice(options, ReadPortDat(progpath + "port.dat")), LineSettings(options, dnc),
            dnc.handshake, dnc.endChar, dnc.timeout};
}

ReceiveResult ReceiveDocument(QWidget *parent, const PortOptions &options,
                              const std::string &progpath, const ReceiveAppend &append,
                              const ErrorBox &errorBox) {
    bool damaged = false;
    const ReceiveSettings settings = StoredReceiveSettings(options, progpath, &damaged);
    if (damaged && errorBox)
        errorBox(DamagedDncDatText());
    return ReceiveWithProgress(parent, settings, append, errorBox);
}

QString DamagedDncDatText() {
    return TranslateString(QString::fromUtf8(
        "Die Datei dnc.dat ist beschädigt; für das Unlesbare gelten die Standardwerte."));
}

} // namespace morvilo::dnc
