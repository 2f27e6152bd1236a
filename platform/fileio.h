// Every read and write of the list, trash and settings files goes through
// here. Opening failures throw AppError with the file error's own text (as
// the general error report shows it); failures after a file is open are
// returned, so the caller can show its own message.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

// False when there is no such file, and also when the system cannot tell
// (callers that would create or overwrite on false must not trust it alone).
bool FileExists(const QString &path);

// Whether there is a file of the name, for a decision that must not guess:
// throws the file error when the system cannot tell.
bool FileIsPresent(const QString &path);

// True when both names lead to one existing file.
bool SameFile(const QString &a, const QString &b);

// What tells whether a file is still the one seen before: its identity
// (device and inode, which an atomic replace changes), size, modification
// and change times. A missing file has exists == false.
//
// Times alone cannot tell two writes within one tick of the file system's
// clock apart (two seconds on FAT, one on some ext4 file systems): a stamp is
// only proof of the content seen with it when that content was seen in a
// later tick than the file's last change. Such a stamp is proven; any other
// one needs a look at the content (FileHolds) before it is trusted for a
// write.
struct FileStamp {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    // The file system's clock when the content this stamp stands for was
    // seen (read, or about to be written), not part of the comparison.
    qint64 seenNs = 0;
    bool operator==(const FileStamp &o) const {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               mtimeNs == o.mtimeNs && ctimeNs == o.ctimeNs;
    }
    // Whether every later change of the file gives it another stamp.
    bool Proven() const;
};
FileStamp StampOf(const QString &path);
// True when the file holds exactly these bytes, as read now; stamp, when
// given, receives its stamp with the moment before the read as seen.
bool FileHolds(const QString &path, QByteArrayView bytes, FileStamp *stamp = nullptr);

// The text of a file error for an errno value: "ファイルが見つかりません",
// "ファイルへのアクセスが拒否されました", ..., or "I/O エラー (%d)".
QString FileErrorText(int errnoValue);

class ByteBuffer;

// Reads the whole file. A file that cannot be opened throws
// "ファイル %s は開けません" with the path; so does anything that is not a
// plain file (a folder, a device, a named pipe), at once: no open or read
// waits for another program.
// When stamp is given it receives the stamp of the file as read.
QByteArray ReadWholeFile(const QString &path, FileStamp *stamp = nullptr);
// The same into a buffer, in the memory it has when that is room enough.
void ReadWholeFile(const QString &path, ByteBuffer &into, FileStamp *stamp = nullptr);

// The whole file, or nullopt when there is no file of the name. A file that
// is there (or may be) but cannot be read throws as ReadWholeFile does: a
// read error is never taken for a missing file.
std::optional<QByteArray> ReadFileIfPresent(const QString &path);

// Replaces the file's content atomically: the new content goes into an
// unnamed file in the same folder (a temporary one with a name where the file
// system has no unnamed ones), flushed to disk, given a name and renamed over
// the old one, the folder flushed. A process killed on the way leaves no new
// file (between the naming and the rename, only while it holds the folder's
// lock: the next writer under the lock removes it).
// The old file's permissions are kept. Throws the file error when the old
// file cannot be looked at or the temporary file cannot be created; returns
// false when writing, flushing or renaming fails (the old content is then
// whole and the temporary removed). It also returns false, with the new
// content already in place, when the folder cannot be flushed after the
// rename: the new name is then not known to survive a crash (which would
// bring back the old content, whole), and a save must not be confirmed that
// may not be on disk. A file system that cannot flush folders at all, or a
// folder that cannot be opened for reading, gives no way to ask: the flushed
// file is then enough.
// When written is given it receives the stamp of the new file.
bool WriteFileAtomic(const QString &path, QByteArrayView data, FileStamp *written = nullptr);

// Appends to the file, creating it when missing. Throws the file error when
// it cannot be opened, and "ファイル %s は開けません" for a named pipe (which
// is never written to, nor waited for); returns false when writing or
// flushing fails, after cutting the file back to its old end. Once the data
// is flushed the append counts as done, whatever the close says. When
// written is given it receives the stamp of the file after the append.
bool AppendToFile(const QString &path, QByteArrayView data, FileStamp *written = nullptr);

// Creates a new empty file. Returns false on failure, also when a file of the
// name is there already: an existing file is never emptied.
bool CreateEmptyFile(const QString &path);

// Deletes the file. Returns false on failure (a missing file included).
bool DeleteFile(const QString &path);

// How a list or trash file's text ends, for an append: whether a NUL byte
// ends it early (what follows a NUL is never loaded), and the last byte of
// the text before that (-1 when there is none). A missing file, or one that
// is no plain file, reads as empty text. Throws "ファイル %s は開けません"
// when the file is there but cannot be read. Reads through a small buffer:
// no copy of the file is made.
struct TextEnd {
    bool endsAtNul = false;
    int lastByte = -1;
};
TextEnd ScanTextEnd(const QString &path);

// Folders that a write may make when they are missing: an installed program
// keeps its files in folders of the user's own and makes them when it first
// writes a file straight inside one of them, with the user's usual
// permissions (missing folders above them, such as ~/.config itself, are made
// private to the user). A write anywhere else into a missing folder fails as
// it always has. None at first; each call replaces the list.
void SetFoldersMadeOnWrite(const QStringList &folders);

// Copies a file over the target through a temporary file renamed into place,
// so a failed copy never leaves half a file under the new name. Returns false
// on any failure.
bool CopyFileAtomic(const QString &from, const QString &to);

// The lock every Quorvel process takes before it reads a list or trash file
// to change it, and holds until the change is written, so that no two
// read-check-write steps interleave: an advisory lock (flock) on the folder
// the file is in, which the system lets go when the process ends, however it
// ends. Taken again by the process that holds it, it nests. Where the folder
// is missing, cannot be opened or the file system keeps no such locks, there
// is nothing to take and the lock is a no-op.
class FolderLock {
  public:
    // Takes the lock on the folder of file, waiting while another process
    // holds it; after timeoutMs throws ListBusyError and nothing is locked.
    explicit FolderLock(const QString &file, int timeoutMs = 5000);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    // Whether this process holds the lock of the folder of file.
    static bool Held(const QString &file);

  private:
    QByteArray folder_;
};

// A test's handle on this layer: every system call it makes on a file or
// folder is counted, and the n-th can be made to fail as if the system had
// refused it: EIO, or for a write the disk filling up (half of the data goes
// in, and the write made for the rest fails with ENOSPC). Unused, it costs a
// count and a compare per call.
namespace FileFaults {
// Plans the failure of the n-th call counted from the last Reset; 0: none.
void FailAt(long n);
// The calls counted since the last Reset.
long Calls();
// Counts from 0 again, with no failure planned.
void Reset();
// The call that was made to fail ("fsync", "rename", ...), or null.
const char *Failed();
// With false, FolderLock takes nothing: what the lock prevents can be shown.
void UseFolderLocks(bool on);
// With false, files are written through named temporary files, as on a file
// system without unnamed ones.
void UseUnnamedFiles(bool on);
// With true, no stamp is proof: every check of a file against what is held
// compares the content, as within one tick of a coarse clock; the calls a
// command makes then do not depend on the time.
void StampsProveNothing(bool on);
} // namespace FileFaults
