#include "store/record.h"

#include "platform/apperror.h"
#include "platform/cp932.h"
#include "store/common.h"
#include "store/records.h"

const QByteArray &LineBreakMarker() {
    // "<!--改行が入りますa7ui9[xz-->"
    static const QByteArray marker =
        QByteArrayLiteral("<!--\x89\xFC\x8D\x73\x82\xAA\x93\xFC\x82\xE8\x82\xDC\x82\xB7"
                          "a7ui9[xz-->");
    return marker;
}

const QByteArray &ColorMarker() {
    // "<!--色を指定します。cyuixlo-->"
    static const QByteArray marker =
        QByteArrayLiteral("<!--\x90\x46\x82\xF0\x8E\x77\x92\xE8\x82\xB5\x82\xDC\x82\xB7\x81\x42"
                          "cyuixlo-->");
    return marker;
}

const QList<ColorName> &ColorNameTable() {
    static const QList<ColorName> table = {
        {0x00000000, "clBlack"},
        {0x00000080, "clMaroon"},
        {0x00008000, "clGreen"},
        {0x00008080, "clOlive"},
        {0x00800000, "clNavy"},
        {0x00800080, "clPurple"},
        {0x00808000, "clTeal"},
        {0x00808080, "clGray"},
        {0x00C0C0C0, "clSilver"},
        {0x000000FF, "clRed"},
        {0x0000FF00, "clLime"},
        {0x0000FFFF, "clYellow"},
        {0x00FF0000, "clBlue"},
        {0x00FF00FF, "clFuchsia"},
        {0x00FFFF00, "clAqua"},
        {0x00FFFFFF, "clWhite"},
        {0x00C0DCC0, "clMoneyGreen"},
        {0x00F0CAA6, "clSkyBlue"},
        {0x00F0FBFF, "clCream"},
        {0x00A4A0A0, "clMedGray"},
        {0x8000000A, "clActiveBorder"},
        {0x80000002, "clActiveCaption"},
        {0x8000000C, "clAppWorkSpace"},
        {0x80000001, "clBackground"},
        {0x8000000F, "clBtnFace"},
        {0x80000014, "clBtnHighlight"},
        {0x80000010, "clBtnShadow"},
        {0x80000012, "clBtnText"},
        {0x80000009, "clCaptionText"},
        {0x20000000, "clDefault"},
        {0x8000001B, "clGradientActiveCaption"},
        {0x8000001C, "clGradientInactiveCaption"},
        {0x80000011, "clGrayText"},
        {0x8000000D, "clHighlight"},
        {0x8000000E, "clHighlightText"},
        {0x8000000B, "clInactiveBorder"},
        {0x80000003, "clInactiveCaption"},
        {0x80000013, "clInactiveCaptionText"},
        {0x80000018, "clInfoBk"},
        {0x80000017, "clInfoText"},
        {0x80000004, "clMenu"},
        {0x80000007, "clMenuText"},
        {0x1FFFFFFF, "clNone"},
        {0x80000000, "clScrollBar"},
        {0x80000015, "cl3DDkShadow"},
        {0x80000016, "cl3DLight"},
        {0x80000005, "clWindow"},
        {0x80000006, "clWindowFrame"},
        {0x80000008, "clWindowText"},
    };
    return table;
}

QByteArray ColorToText(TColor colour) {
    for (const ColorName &entry : ColorNameTable())
        if (entry.value == colour)
            return QByteArray(entry.name);
    return '$' + QByteArray::number(colour, 16).toUpper().rightJustified(8, '0');
}

std::optional<TColor> TryTextToColor(const QByteArray &text) {
    for (const ColorName &entry : ColorNameTable())
        // The names are ASCII: no other byte folds to one of their letters.
        if (QByteArrayView(text).compare(entry.name, Qt::CaseInsensitive) == 0)
            return entry.value;
    if (const auto value = ParseInteger(text))
        return static_cast<TColor>(*value);
    return std::nullopt;
}

TColor TextToColor(const QByteArray &text) {
    if (const auto colour = TryTextToColor(text))
        return *colour;
    throw AppError(QStringLiteral("'") + DecodeCp932(text) +
                   QStringLiteral("' は整数ではありません"));
}

QByteArray MakeTitle(QByteArrayView record) {
    constexpr qsizetype kTitleBytes = 54;
    const qsizetype colour = ColorMarkerPos(record);
    const QByteArrayView r = record.first(colour >= 0 ? colour : record.size());

    // The first line, when it ends within the first 54 bytes.
    const qsizetype lineEnd = r.indexOf(LineBreakMarker());
    if (lineEnd >= 0 && lineEnd < kTitleBytes)
        return record.first(lineEnd).toByteArray();
    if (r.size() < kTitleBytes)
        return r.toByteArray();

    // Byte 54 (index 53) is the first byte of a double-byte character when it
    // is in the lead-byte ranges and the run of such bytes just before it has
    // even length: an odd run means its last byte is a lead byte whose
    // second byte is byte 54.
    const auto at = [&r](qsizetype i) { return static_cast<unsigned char>(r[i]); };
    if (IsCp932LeadByte(at(kTitleBytes - 1))) {
        qsizetype run = 0;
        for (qsizetype i = kTitleBytes - 2; i >= 0 && IsCp932LeadByte(at(i)); --i)
            ++run;
        if (run % 2 == 0)
            return record.first(kTitleBytes - 1).toByteArray();
    }
    return record.first(kTitleBytes).toByteArray();
}

QList<QByteArray> SplitLines(QByteArrayView data) {
    Records records;
    records.Take(data);
    return records.ToList();
}

QByteArray MemoTextToRecord(const QByteArray &text) {
    return ReplaceAll(text, QByteArrayLiteral("\r\n"), LineBreakMarker());
}

QByteArray RecordToMemoText(QByteArrayView record) {
    QByteArray text =
        ReplaceAll(record.toByteArray(), LineBreakMarker(), QByteArrayLiteral("\r\n"));
    const qsizetype colour = ColorMarkerPos(text);
    if (colour >= 0)
        text.truncate(colour);
    return text;
}
