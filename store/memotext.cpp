#include "store/memotext.h"

#include "platform/cp932.h"
#include "store/record.h"
#include "store/records.h"

QString EmptyMemoMessage() {
    return QString::fromUtf8("何か入力してください。");
}

QString NewMemoFailedMessage() {
    return QString::fromUtf8("新規入力内容の保存時にエラーが発生しました。");
}

std::optional<QByteArray> MemoTextBytes(const QString &text, QString *refusal) {
    QString bad;
    std::optional<QByteArray> bytes = EncodeCp932(text, &bad);
    if (bytes && bytes->contains('\0')) {
        bytes.reset();
        bad = QStringLiteral("NUL");
    }
    if (!bytes && refusal)
        *refusal = QString::fromUtf8("保存できない文字が含まれています：「") + bad +
                   QString::fromUtf8("」");
    return bytes;
}

std::optional<QByteArray> NewMemoBytes(const QString &text, QString *refusal) {
    if (text.isEmpty()) {
        if (refusal)
            *refusal = EmptyMemoMessage();
        return std::nullopt;
    }
    return MemoTextBytes(text, refusal);
}

QString MemoTextFrom(QString text, bool dropLastLineEnd) {
    if (dropLastLineEnd) {
        if (text.endsWith(QStringLiteral("\r\n")))
            text.chop(2);
        else if (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
            text.chop(1);
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

QString MemoTextFromInput(const QByteArray &utf8) {
    QByteArrayView bytes(utf8);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    return MemoTextFrom(QString::fromUtf8(bytes), true);
}

QByteArray TitleListing(QByteArrayView content) {
    Records records;
    records.Take(content);
    QByteArray out;
    qsizetype number = 0;
    for (QByteArrayView record : records) {
        out += QByteArray::number(++number);
        out += '\t';
        out += DecodeCp932(MakeTitle(record)).toUtf8();
        out += '\n';
    }
    return out;
}
