#pragma once
// The DNC's messages in the interface's language. The transfer and the reception report message
// numbers and UserMessages without a translation table; the windows turn them into text here.

#include "dnc/transfer.h"
#include "translation/translateunit.h"

#include <QString>

#include <functional>
#include <string>

namespace morvilo::dnc {

// The message of a failed transfer: message 9, 10 or 11 followed by the error number and the
// system's text ("...Fehlernummer: 2; Datei oder Ordner nicht vorhanden"); message 8 with the
// error number and text on a line of their own. Empty when nothing failed. messageText gives the
// message of a number in the interface's language.
QString TransferErrorText(const TransferResult &result,
                          const std::function<QString(int)> &messageText = GetTString);

} // namespace morvilo::dnc
