// A change to a list or trash file at the level of its bytes, kept so that
// it can be taken back and made again exactly: the pieces of text the change
// replaced, never the whole file.
#pragma once

#include "platform/largepages.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>
#include <utility>

// One piece of text replaced: at byte offset at, removed gave way to inserted.
struct Splice {
    qsizetype at = 0;
    QByteArray removed;
    QByteArray inserted;
};

// How the records of a text end where not every record ends in CR LF (a file
// written by another program): a rewrite from the records ends each with CR
// LF, and taking it back puts the old line ends back.
class LineLayout {
  public:
    // The layout of a text (the part of a file before its first NUL), or
    // nullopt when every record of it ends in CR LF.
    static std::optional<LineLayout> Of(QByteArrayView text);
    // The records of a text whose every record ends in CR LF, each ended as
    // this layout says; nullopt when the number of records differs.
    std::optional<QByteArray> Apply(const QByteArray &crlfText) const;
    bool operator==(const LineLayout &) const = default;

  private:
    enum class End : char { None, Cr, Lf, CrLf };
    End EndOf(qsizetype record) const;

    qsizetype records_ = 0;
    End usual_ = End::CrLf;
    // The records that end otherwise than usual_, in order.
    QList<std::pair<qsizetype, End>> others_;
};

// A change to one file, made by one command.
struct FileChange {
    // Pieces of the text replaced, after a rewrite from the records with
    // this layout when one is given.
    static FileChange Pieces(QList<Splice> splices, std::optional<LineLayout> layout = {});
    // The whole content replaced.
    static FileChange Whole(QByteArray before, QByteArray after);

    // The file's whole content before and after (emptying the trash).
    bool whole = false;
    QByteArray wholeBefore, wholeAfter;

    // Otherwise pieces of its text: the bytes from the first NUL on are
    // never touched. When layout is set, the command rewrote the text from
    // its records, so every record ended in CR LF before the splices.
    std::optional<LineLayout> layout;
    QList<Splice> splices;

    // The file's bytes with the change made, or taken back; nullopt when
    // the bytes are not the ones the change left or found.
    std::optional<QByteArray> Made(QByteArrayView file) const;
    // Whether the file's bytes differ at all after the change.
    bool Changes() const;
    std::optional<QByteArray> TakenBack(QByteArrayView file) const;
};

// Makes the splices, in order, in bytes themselves: each must find the bytes
// it removes where it says. A record moved (one splice taking it out, the
// next putting it back elsewhere) shifts only the bytes between its two
// places. Growing uses the room after the bytes, when there is enough. False,
// with the bytes partly changed, when a splice does not find its bytes.
bool SpliceInPlace(QByteArray &bytes, const QList<Splice> &splices);
bool SpliceInPlace(ByteBuffer &bytes, const QList<Splice> &splices);

// The splices of the usual changes to a text of records each ending in CR LF,
// for any list of records (Records, QList<QByteArray>).
namespace splices_detail {
// A record and its CR LF in a buffer of their own.
QByteArray Line(QByteArrayView record);
} // namespace splices_detail

// The offset of record i in a text whose records all end in CR LF.
template <class List> qsizetype RecordOffset(const List &records, qsizetype i) {
    qsizetype at = 0;
    for (qsizetype k = 0; k < i; ++k)
        at += records.at(k).size() + 2;
    return at;
}
// Record from moves to index to of the list without it.
template <class List>
QList<Splice> MoveRecordSplices(const List &records, qsizetype from, qsizetype to) {
    const QByteArray line = splices_detail::Line(records.at(from));
    const qsizetype at = RecordOffset(records, from);
    // Where index to lies once the record has left.
    const qsizetype target =
        to < from ? RecordOffset(records, to) : RecordOffset(records, to + 1) - line.size();
    return {Splice{at, line, QByteArray()}, Splice{target, QByteArray(), line}};
}
// Record i gives way to record.
template <class List>
Splice ReplaceRecordSplice(const List &records, qsizetype i, QByteArrayView record) {
    return Splice{RecordOffset(records, i), QByteArrayView(records.at(i)).toByteArray(),
                  record.toByteArray()};
}
// Record i leaves.
template <class List> Splice RemoveRecordSplice(const List &records, qsizetype i) {
    return Splice{RecordOffset(records, i), splices_detail::Line(records.at(i)), QByteArray()};
}
