#pragma once
// The window side of a reception ("Empfangen..."): a progress window that shows the bytes
// received while they are handed to the document, and stops the reception on its button.

#include "dnc/receive.h"
#include "dnc/sendprogressform.h"
#include "settings/settingsfiles.h"

#include <QElapsedTimer>
#include <QProgressDialog>

#include <functional>
#include <string>
#include <string_view>

namespace morvilo::dnc {

// Modal, so that the document being filled cannot be edited meanwhile; "Abbrechen" ends the
// reception and keeps what came.
class TReceiveProgressForm : public QProgressDialog {
    Q_OBJECT

public:
    explicit TReceiveProgressForm(QWidget *parent = nullptr);

    // Shows the bytes received, processes pending events at most every 15 ms, and returns
    // false once the button was pressed.
    bool Update(int64_t total);

private:
    QElapsedTimer sincePump;
};

// Takes a piece received; false when it could not be kept (the reception stops then).
using ReceiveAppend = std::function<bool(std::string_view piece)>;

// Receives with settings under a progress window, every piece to append as it comes. A failure
// goes to errorBox with the bytes received so far.
ReceiveResult ReceiveWithProgress(QWidget *parent, const ReceiveSettings &settings,
                                  const ReceiveAppend &append, const ErrorBox &errorBox,
                                  SerialApi &api = PosixSerial());

// The settings of the port dialog (options, port.dat and dnc.dat in progpath) for a reception:
// the handshake, the end character and the timeout as the idle time. damaged, when given, says
// whether dnc.dat could not be read completely.
ReceiveSettings StoredReceiveSettings(const PortOptions &options, const std::string &progpath,
                                      bool *damaged = nullptr);

// "Empfangen...": a reception with the stored settings. A damaged dnc.dat is reported to
// errorBox first; the reception goes on with the defaults for what could not be read.
ReceiveResult ReceiveDocument(QWidget *parent, const PortOptions &options,
                              const std::string &progpath, const ReceiveAppend &append,
                              const ErrorBox &errorBox);

// The message for a damaged dnc.dat, in the interface's language.
QString DamagedDncDatText();

} // namespace morvilo::dnc
