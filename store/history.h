// The history of the changes this program made to the current list file and
// its trash file in this run, which the Edit menu takes back and makes again.
// A change is kept at the level of the files' bytes, so that it can be taken
// back and made again exactly: the pieces of text the change replaced, never
// the whole file.
#pragma once

#include "platform/fileio.h"
#include "platform/largepages.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <climits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class ListFile;

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
    enum class End : char { CrLf, None, Cr, Lf };
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
    // The file deleted: its whole content before, no file after.
    static FileChange Removal(QByteArray before);

    // The file's whole content before and after (emptying the trash).
    bool whole = false;
    QByteArray wholeBefore, wholeAfter;
    // With whole: the change deleted the file, so there is none after it.
    bool removed = false;

    // Otherwise pieces of its text: the bytes from the first NUL on are
    // never touched. When layout is set, the command rewrote the text from
    // its records, so every record ended in CR LF before the splices.
    std::optional<LineLayout> layout;
    QList<Splice> splices;

    // The file's bytes with the change made again (redo), or taken back
    // (undo); nullopt when the bytes are not the ones the change found or
    // left. For a file that is there before and after the change.
    std::optional<QByteArray> Redo(QByteArrayView file) const;
    std::optional<QByteArray> Undo(QByteArrayView file) const;
    // A whole change's file as the change found it (after false) or left it:
    // its content, nullopt where there is no file.
    std::optional<QByteArray> Content(bool after) const;
    // Whether the file's bytes differ at all after the change.
    bool Changes() const;
};

// Makes the splices, in order, in bytes themselves (a QByteArray or a
// ByteBuffer): each must find the bytes it removes where it says. A record
// moved (one splice taking it out, the next putting it back elsewhere) shifts
// only the bytes between its two places. Growing uses the room after the
// bytes, when there is enough. False, with the bytes partly changed, when a
// splice does not find its bytes.
template <class Bytes> bool SpliceInPlace(Bytes &bytes, const QList<Splice> &splices);

// The splices of the usual changes to a text of records each ending in CR LF,
// for any list of records (Records, QList<QByteArray>).
inline QByteArray LineOf(QByteArrayView record) {
    return record.toByteArray() + "\r\n";
}

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
    const QByteArray line = LineOf(records.at(from));
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
    return Splice{RecordOffset(records, i), LineOf(records.at(i)), QByteArray()};
}

// --- The history ------------------------------------------------------------------

// The files a change may touch: the list, its trash, and a file beside them
// that the part of the change names (a sync tool's conflict copy of the list).
enum class MemoFile { List = 0, Trash = 1, Other = 2 };

// The row of the memo a change concerns, in the list or in the trash, before
// and after the change: -1 when it is not there, AtEnd for the last row.
constexpr int AtEnd = INT_MAX;
struct MemoRows {
    int before = -1;
    int after = -1;
};

// One change as a command made it.
struct MemoChange {
    struct Part {
        Part(MemoFile f = MemoFile::List, FileChange c = {}) : file(f), change(std::move(c)) {}
        // A whole change to the file at path, which is there before or after
        // the change or both.
        Part(QString path, FileChange c)
            : file(MemoFile::Other), path(std::move(path)), change(std::move(c)) {}
        MemoFile file = MemoFile::List;
        QString path; // MemoFile::Other: the file's path
        FileChange change;
        // Whether the file holds the change now: a two-file change whose
        // second write failed has one part taken back and one not.
        bool made = true;
    };

    explicit MemoChange(QString n) : name(std::move(n)) {}
    QString name;
    // In the order the command wrote them: the file that gained a memo first.
    QList<Part> parts;
    MemoRows list, trash;
};

// The files a change is taken back or made again in.
struct HistoryFiles {
    ListFile *list;
    ListFile *trash;
};

class ChangeHistory : public QObject {
    Q_OBJECT
  public:
    static constexpr int kLimit = 100;
    explicit ChangeHistory(QObject *parent = nullptr) : QObject(parent) {}

    // Enters a change that the command has fully written; written holds the
    // stamp of each file as the change left it, in the order of its parts.
    // A change that left every file's bytes as they were enters nothing.
    // A new change drops the changes taken back and not made again.
    void Record(std::unique_ptr<MemoChange> change, const QList<FileStamp> &written);
    // The program wrote a file without changing what it holds (the empty
    // trash made anew): the history goes on with the file as it is now.
    void Rewritten(MemoFile file, const FileStamp &before, const FileStamp &after);
    void Clear();

    bool CanUndo() const { return next_ > 0; }
    bool CanRedo() const { return next_ < qsizetype(changes_.size()); }
    // The change the next undo (redo) concerns; null when there is none.
    const MemoChange *ToUndo() const {
        return CanUndo() ? changes_[size_t(next_ - 1)].get() : nullptr;
    }
    const MemoChange *ToRedo() const { return CanRedo() ? changes_[size_t(next_)].get() : nullptr; }
    // The names of the changes, oldest first.
    QStringList Names() const;
    // The bytes the changes keep, for a measure of what the history costs.
    qsizetype KeptBytes() const;

    // What taking back or making again came to.
    enum class Outcome {
        Nothing, // no change to take back (make again)
        Done,
        Refused, // a file is not as this program left it: nothing was
                 // written, and the history is empty now
        Failed,  // writing failedFile failed (errno in error): the change
                 // stays where it was, the files written before hold it
    };
    struct Result {
        Outcome outcome = Outcome::Nothing;
        MemoFile failedFile = MemoFile::List;
        int error = 0;
    };
    // Takes back the newest change, or makes again the one taken back last,
    // in the files: each must be as this program left it; the file that
    // gains a memo is written first, so that a failure in between leaves it
    // in both, never in neither. A file of its own that a part names is
    // written whole, or deleted where the change finds or leaves no file.
    // Everything under the lock of the list's folder. Throws what the files'
    // writes throw (nothing was written then).
    Result Undo(HistoryFiles files) { return Step(files, false); }
    Result Redo(HistoryFiles files) { return Step(files, true); }

  Q_SIGNALS:
    // What can be taken back or made again changed.
    void Changed();

  private:
    Result Step(HistoryFiles files, bool forward);
    FileStamp &LastWritten(const MemoChange::Part &part);

    std::vector<std::unique_ptr<MemoChange>> changes_;
    // The changes before this one are made; this one and those after it
    // were taken back.
    qsizetype next_ = 0;
    // What this program last left each file as, by a change in the history;
    // a change is taken back or made again only while its files are still so.
    FileStamp lastWritten_[2];
    // The same for the files of their own that parts name, by path.
    QHash<QString, FileStamp> lastWrittenOther_;
};
