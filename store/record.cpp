#include "store/record.h"

#include "platform/apperror.h"
#include "platform/cp932.h"
#include "platform/largepages.h"
#include "store/common.h"

#include <algorithm>
#include <cstring>

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

namespace {

bool EqualsIgnoringAsciiCase(const QByteArray &text, const char *name) {
    const qsizetype n = static_cast<qsizetype>(std::strlen(name));
    if (text.size() != n)
        return false;
    for (qsizetype i = 0; i < n; ++i) {
        char a = text[i];
        char b = name[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

} // namespace

std::optional<TColor> TryTextToColor(const QByteArray &text) {
    for (const ColorName &entry : ColorNameTable())
        if (EqualsIgnoringAsciiCase(text, entry.name))
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

QByteArray MakeTitle(const QByteArray &record) {
    constexpr qsizetype kTitleBytes = 54;
    qsizetype length = record.size();
    const qsizetype colour = ColorMarkerPos(record);
    if (colour >= 0)
        length = colour;
    const QByteArray r = QByteArray::fromRawData(record.constData(), length);

    // The first line, when it ends within the first 54 bytes.
    const qsizetype lineEnd = r.indexOf(LineBreakMarker());
    if (lineEnd >= 0 && lineEnd < kTitleBytes)
        return record.left(lineEnd);
    if (length < kTitleBytes)
        return record.left(length);

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
            return record.left(kTitleBytes - 1);
    }
    return record.left(kTitleBytes);
}

namespace {

// The next occurrence of c in [from, end), or end.
const char *Next(const char *from, const char *end, char c) {
    const void *hit = std::memchr(from, c, static_cast<size_t>(end - from));
    return hit ? static_cast<const char *>(hit) : end;
}

} // namespace

QList<QByteArray> SplitLines(const QByteArray &data) {
    QList<QByteArray> records;
    SplitLinesInto(data, records);
    return records;
}

void SplitLinesInto(const QByteArray &data, QList<QByteArray> &records) {
    const char *p = data.constData();
    const char *end = Next(p, p + data.size(), '\0'); // the text ends at the first NUL

    // Count the records first, so that the list is allocated once and no
    // bigger than it needs to be: every LF and every CR not followed by an LF
    // ends one. The last byte either ends one or belongs to one without a
    // line end. Plain loops, which the compiler turns into wide compares:
    // blocks of at most 255 bytes, so that a byte-wide count cannot overflow.
    const qsizetype length = end - p;
    qsizetype count = length > 0 ? 1 : 0;
    for (qsizetype block = 0; block + 1 < length; block += 255) {
        const qsizetype stop = std::min(block + 255, length - 1);
        unsigned char ends = 0;
        for (qsizetype i = block; i < stop; ++i)
            ends += (p[i] == '\n') | ((p[i] == '\r') & (p[i + 1] != '\n'));
        count += ends;
    }
    // A list of this form's own with room enough is filled again where it
    // is: its memory is in use already, where new memory would first have
    // to be touched page by page.
    const QByteArray *const before = records.constData();
    const bool own = records.isDetached();
    if (own) {
        records.clear();
        records.reserve(count); // allocates anew only when the room is too small
    }
    if (!own || records.constData() != before)
        records = QList<QByteArray>(large_pages::Storage<QByteArray>(count));

    // A record shares the bytes of data, when data owns them, rather than
    // getting an allocation and a copy of its own: loading a big list then
    // costs little more than reading it, and takes little more memory than
    // the file's size. Such a record is not followed by a NUL byte.
    QByteArray::DataPointer &whole = const_cast<QByteArray &>(data).data_ptr();
    const bool share = whole.d_ptr() != nullptr;
    const auto record = [&](const char *from, qsizetype n) {
        if (!share || n == 0)
            return QByteArray(from, n);
        QByteArray::DataPointer part = whole; // one more reference to the block
        part.ptr = const_cast<char *>(from);
        part.size = n;
        return QByteArray(std::move(part));
    };

    // The next CR and LF are each found with a fast scan and kept until the
    // position passes them, so every byte is looked at about once.
    const char *cr = Next(p, end, '\r');
    const char *lf = Next(p, end, '\n');
    while (p < end) {
        if (cr < p)
            cr = Next(p, end, '\r');
        if (lf < p)
            lf = Next(p, end, '\n');
        const char *q = cr < lf ? cr : lf;
        records.append(record(p, q - p));
        if (q < end && *q == '\r')
            ++q;
        if (q < end && *q == '\n')
            ++q;
        p = q;
    }
}

QByteArray MemoTextToRecord(const QByteArray &text) {
    return ReplaceAll(text, QByteArrayLiteral("\r\n"), LineBreakMarker());
}

QByteArray RecordToMemoText(const QByteArray &record) {
    QByteArray text = ReplaceAll(record, LineBreakMarker(), QByteArrayLiteral("\r\n"));
    const qsizetype colour = ColorMarkerPos(text);
    if (colour >= 0)
        text.truncate(colour);
    return text;
}

QByteArray HiddenTail(const QByteArray &data) {
    const qsizetype nul = data.indexOf('\0');
    return nul < 0 ? QByteArray() : data.mid(nul);
}
