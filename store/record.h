// The memo record: one line of a list or trash file. The memo text with
// every CR LF replaced by the line-break marker, optionally followed by the
// colour marker and the text form of a colour.
#pragma once

#include "platform/paths.h" // ChangeFileExt: a trash file is named after its list

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

// "<!--改行が入りますa7ui9[xz-->" in code page 932, 29 bytes.
const QByteArray &LineBreakMarker();
// "<!--色を指定します。cyuixlo-->" in code page 932, 30 bytes.
const QByteArray &ColorMarker();

// A colour: 0x00BBGGRR for plain colours, 0x80000000 + n for the system
// colour with index n, 0x1FFFFFFF clNone, 0x20000000 clDefault.
using TColor = quint32;

struct ColorName {
    TColor value;
    const char *name;
};
// The 49 named colours, in search order.
const QList<ColorName> &ColorNameTable();

// The colour's name from the table, else "$" and 8 upper-case hex digits.
QByteArray ColorToText(TColor colour);
// A colour name (ASCII case ignored) or an integer; nullopt for anything else.
std::optional<TColor> TryTextToColor(const QByteArray &text);
// As TryTextToColor, but fails with AppError "'%s' は整数ではありません".
TColor TextToColor(const QByteArray &text);

// The title of a record: the first line of its text part, at most 54 bytes,
// 53 when byte 54 would be the first byte of a double-byte character.
QByteArray MakeTitle(QByteArrayView record);

// Splits the bytes of a list or trash file into records: the text ends at the
// first NUL; CR LF, a lone CR or a lone LF end a record; a last record without
// a line end counts; a line end at the very end starts no further record.
// Each record is a copy of its own (a loaded list keeps its records as
// Records instead, without copies).
QList<QByteArray> SplitLines(QByteArrayView data);

// Memo text (lines joined by CR LF) to the text part of a record.
QByteArray MemoTextToRecord(const QByteArray &text);
// A record to its memo text: markers back to CR LF, cut before the colour marker.
QByteArray RecordToMemoText(QByteArrayView record);
// Position of the colour marker in the record, or -1.
inline qsizetype ColorMarkerPos(QByteArrayView record) {
    return record.indexOf(ColorMarker());
}
