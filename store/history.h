// A change to a list or trash file at the level of its bytes, kept so that
// it can be taken back and made again exactly: the pieces of text the change
// replaced, never the whole file.
#pragma once

#include <QByteArray>
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
    static std::optional<LineLayout> Of(const QByteArray &text);
    // The same for a text split into these records: when its size says that
    // every record ends in CR LF, the text is not looked at.
    static std::optional<LineLayout> Of(const QByteArray &text, const QList<QByteArray> &records);
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
    std::optional<QByteArray> Made(const QByteArray &file) const;
    std::optional<QByteArray> TakenBack(const QByteArray &file) const;
};

// Makes the splices, in order, in bytes themselves: each must find the bytes
// it removes where it says. A record moved (one splice taking it out, the
// next putting it back elsewhere) shifts only the bytes between its two
// places. Growing uses the room after the bytes, when there is enough. False,
// with the bytes partly changed, when a splice does not find its bytes.
bool SpliceInPlace(QByteArray &bytes, const QList<Splice> &splices);

// The offset of record i in a text whose records all end in CR LF.
qsizetype RecordOffset(const QList<QByteArray> &records, qsizetype i);

// A copy of bytes that shares nothing with the buffer they come from, so
// that keeping it does not keep a whole loaded file in memory. (A record
// that shares a loaded file's bytes must not be appended to either: Qt would
// give the copy as much room as the whole file.)
QByteArray OwnBytes(const QByteArray &bytes);

// The splices of the usual changes to a text of records each ending in CR LF.
// Record from moves to index to of the list without it.
QList<Splice> MoveRecordSplices(const QList<QByteArray> &records, qsizetype from, qsizetype to);
// Record i gives way to record.
Splice ReplaceRecordSplice(const QList<QByteArray> &records, qsizetype i, const QByteArray &record);
// Record i leaves.
Splice RemoveRecordSplice(const QList<QByteArray> &records, qsizetype i);
