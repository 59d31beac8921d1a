#include "dnc/dncmessages.h"

#include "vantrel/systemerror.h"

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

std::string DescribeSystemErrorHere(int errnum) {
    return DescribeSystemError(errnum, [](const std::string &text) {
        return TranslateString(QString::fromStdString(text)).toStdString();
    });
}

} // namespace morvilo::dnc
