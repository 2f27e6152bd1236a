// Every read and write of the list, trash and settings files goes through
// here. Opening failures throw AppError with the file error's own text (as
// the general error report shows it); failures after a file is open are
// returned, so the caller can show its own message.
#pragma once

#include <QByteArray>
#include <QString>

bool FileExists(const QString &path);

// What tells whether a file is still the one seen before: its identity
// (device and inode, which an atomic replace changes), size and modification
// time. A missing file has exists == false.
struct FileStamp {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    bool operator==(const FileStamp &) const = default;
};
FileStamp StampOf(const QString &path);

// The text of a file error for an errno value: "ファイルが見つかりません",
// "ファイルへのアクセスが拒否されました", ..., or "I/O エラー (%d)".
QString FileErrorText(int errnoValue);

// Reads the whole file. A file that cannot be opened throws
// "ファイル %s は開けません" with the path.
// When stamp is given it receives the stamp of the file as read.
QByteArray ReadWholeFile(const QString &path, FileStamp *stamp = nullptr);

// Replaces the file's content atomically: a temporary file in the same
// folder, flushed to disk, renamed over the old one, the folder flushed.
// The old file's permissions are kept. Throws the file error when the
// temporary file cannot be created; returns false when writing, flushing or
// renaming fails (the old content is then whole and the temporary removed).
// When written is given it receives the stamp of the new file.
bool WriteFileAtomic(const QString &path, const QByteArray &data, FileStamp *written = nullptr);

// Appends to the file, creating it when missing. Throws the file error when
// it cannot be opened; returns false when writing or flushing fails.
bool AppendToFile(const QString &path, const QByteArray &data);

// Creates the file empty, or empties it. Returns false on failure.
bool CreateEmptyFile(const QString &path);

// Deletes the file. Returns false on failure (a missing file included).
bool DeleteFile(const QString &path);

// The last byte of the file, or -1 when it is empty, missing or unreadable.
int LastByteOfFile(const QString &path);

// Copies a file over the target through a temporary file renamed into place,
// so a failed copy never leaves half a file under the new name. Returns false
// on any failure.
bool CopyFileAtomic(const QString &from, const QString &to);
