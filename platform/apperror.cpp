#include "platform/apperror.h"

QString ErrorReportText(const QString &message) {
    // A text that already ends in a full stop or another low ASCII character
    // (a space, a closing bracket, ...) is shown as it is. Anything above "."
    // and every double-byte character gets a full stop after it.
    if (!message.isEmpty() && message.back().unicode() <= u'.')
        return message;
    return message + QLatin1Char('.');
}

ListBusyError::ListBusyError()
    : AppError(QString::fromUtf8("リストファイルが他のQuorvelで使用中です。"
                                 "しばらくしてからもう一度操作してください。")) {}
