// A list or trash file as this program holds it: its path, its content and
// records as last read or written, and the stamp the file had then. Every
// read and every write of the memos goes through one of these, so that what
// the program shows and rewrites is always a file it has seen, and another
// program's change is never written over.
#pragma once

#include "platform/fileio.h"
#include "store/history.h"
#include "store/records.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

class ListFile {
  public:
    ListFile() = default;
    explicit ListFile(QString path) : path_(std::move(path)) {}
    ListFile(const ListFile &) = delete;
    ListFile &operator=(const ListFile &) = delete;

    const QString &path() const { return path_; }
    // Another file: nothing of the one before is held any more.
    void SetPath(const QString &path);

    // The records as the file held them when last read or written here;
    // none while nothing is held.
    const Records &records() const { return records_; }
    bool Held() const { return held_; }
    // The stamp the file had when what is held was read or written.
    const FileStamp &stamp() const { return stamp_; }
    // Lets go of what is held: the next Reload reads the file.
    void Forget();

    // --- Reading ---------------------------------------------------------------
    enum class Load {
        Missing, // no such file; nothing is held
        Read,    // read afresh
        Kept,    // the file still has the stamp of what is held
    };
    // The file's records, read only when the file's stamp is not the one of
    // what is held (a change by another program gives it another). Throws
    // "ファイル %s は開けません" when the file is there but cannot be read;
    // nothing is held then.
    Load Reload();
    // True when the file is exactly what is held: the same stamp, and, where
    // the stamp alone is no proof (a change within one tick of the file
    // system's clock keeps it), the same content, read and compared.
    bool Unchanged();

    // --- Writing -----------------------------------------------------------------
    // Each takes the lock of the file's folder for its read-check-write
    // (nesting in one the caller holds), and throws ListBusyError when
    // another Quorvel holds it too long.
    enum class Outcome {
        Written,
        Changed, // the file is not what is held: nothing was written
        Failed,  // writing failed: the file keeps its old content
    };
    // The held records changed as the splices say (offsets in the text of the
    // records each followed by CR LF); the bytes from a NUL on stay after
    // them. The change is made in the held content itself where that is the
    // records each followed by CR LF already. Held afterwards; nothing is
    // held after a failure. Throws the file error when the file cannot be
    // replaced at all.
    Outcome Rewrite(const QList<Splice> &splices);
    // The whole content replaced (the caller has checked the file); held
    // afterwards. False when writing failed.
    bool Replace(QByteArrayView content);
    // Appends a record and its CR LF, creating the file when missing; a file
    // whose text does not end in a line end first gets one, and in a file
    // with a NUL byte the record goes in before it. While what is held is
    // the file, it joins the held records. Throws when the file cannot be
    // opened; false when writing fails (nothing of it is left in the file).
    // appended receives what was added and where, written the file's stamp
    // afterwards.
    bool Append(QByteArrayView record, Splice *appended = nullptr, FileStamp *written = nullptr);

    // The line ends of the held text, when not every record ends in CR LF:
    // a rewrite of the records must know them to be taken back.
    std::optional<LineLayout> Layout() const;

  private:
    QString path_;
    Records records_;
    FileStamp stamp_;
    bool held_ = false;
};

// The row of the record that stands where old did: among the rows that hold
// exactly its bytes, the one nearest to its old row; -1 when none does.
int RowOf(const Records &records, QByteArrayView old, int oldRow);
