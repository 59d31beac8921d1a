#pragma once
// The window side of the transfer: a progress window with a cancel button that keeps the
// application alive while lines go out, and the two commands of the "DNC" menu.

#include "dnc/transfer.h"
#include "settings/settingsfiles.h"

#include <QElapsedTimer>
#include <QProgressDialog>

#include <functional>
#include <string>

namespace morvilo {
class TEditorCore;
}

namespace morvilo::dnc {

// Appears when a transfer takes longer than a moment; modal, so that the text cannot change
// while it is sent.
class TSendProgressForm : public QProgressDialog {
    Q_OBJECT

public:
    explicit TSendProgressForm(QWidget *parent = nullptr);

    // The transfer's callback: shows the lines sent, processes pending events at most every
    // 15 ms, and returns false once cancel was pressed.
    bool Update(const TransferProgress &progress);

private:
    QElapsedTimer sincePump;
    QElapsedTimer started;
};

using ErrorBox = std::function<void(const QString &)>;

// "Senden": sends the text of core with the stored port settings (options and port.dat in
// progpath) under a progress window; a failure goes to errorBox, the lines and bytes of a
// finished transfer to sentBox (SentText); a cancel is not reported.
TransferResult SendDocument(QWidget *parent, TEditorCore &core, const PortOptions &options,
                            const std::string &progpath, const ErrorBox &errorBox,
                            const ErrorBox &sentBox = {});
// "Gesendet: N Zeilen, M Bytes." in the interface's language.
QString SentText(const TransferProgress &progress);
// The same with settings given, for tests and other callers.
TransferResult SendWithProgress(QWidget *parent, TEditorCore &core,
                                const TransferSettings &settings, const ErrorBox &errorBox,
                                SerialApi &api = PosixSerial());

// "Port Einstellungen...": the port dialog, modally; options take its selections and port.dat
// and dnc.dat are written (a damaged dnc.dat is reported to errorBox first). The caller saves
// options.dat afterwards.
void EditPortSettings(QWidget *parent, PortOptions &options, const std::string &progpath,
                      const ErrorBox &errorBox);

} // namespace morvilo::dnc
