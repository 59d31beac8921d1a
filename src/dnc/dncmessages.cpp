#include "dnc/dncmessages.h"

namespace morvilo::dnc {

QString TransferErrorText(const TransferResult &result,
                          const std::function<QString(int)> &messageText) {
    if (result.message == 0)
        return {};
    const QString detail = QString::number(result.error) + QStringLiteral("; ") +
                           QString::fromStdString(DescribeSystemErrorHere(result.error));
    return messageText(result.message) +
           (result.message == kMsgNotAllSent ? QStringLiteral("\n") : QString()) + detail;
}

} // namespace morvilo::dnc
