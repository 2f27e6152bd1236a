// The parts of the memo commands that the trash shares: saving the new-memo
// text with a result the caller can act on, and appending a record to a list
// or trash file.
#pragma once

#include "platform/fileio.h"
#include "platform/largepages.h"
#include "store/history.h"
#include "store/record.h"

#include <QByteArray>
#include <QString>
#include <cstring>
#include <optional>

class TForm1;

enum class NewMemoResult {
    Saved,    // appended to the list file
    Empty,    // refused: the new-memo area is empty
    NotSaved, // refused or failed: nothing was appended
};

// Saves the text of Memo1 as a new memo at the end of the list file and shows
// the page that follows a save. bytesShown, when given, are the bytes Memo1
// was filled from: while Memo1 shows exactly them, they are saved as they
// are. Throws when the list file cannot be opened or created. When saved,
// appended and written receive what the save added to the list file and the
// file's stamp afterwards.
NewMemoResult SaveNewMemo(TForm1 &form, const QByteArray *bytesShown = nullptr,
                          Splice *appended = nullptr, FileStamp *written = nullptr);

// Appends a record and its CR LF to the file, creating it when missing. A
// file whose last byte is no line end first gets one, so that the record
// does not join the last line. Throws when the file cannot be opened; false
// when writing fails (nothing of the record is left in the file then).
// When given, appended receives the bytes added and where, and written the
// stamp of the file afterwards.
// When given, known tells how the file's text ends, which is then not read.
bool AppendRecord(const QString &path, const QByteArray &record, Splice *appended = nullptr,
                  FileStamp *written = nullptr, const TextEnd *known = nullptr);

// How the text of a file ends that holds these records, each followed by CR
// LF, then tail, as the stamp's size says; nullopt when the size says that
// some record ends otherwise.
std::optional<TextEnd> LoadedTextEnd(const QList<QByteArray> &records, const QByteArray &tail,
                                     const FileStamp &stamp);

// The bytes of text as it is saved: known itself when the text is exactly
// what known shows, otherwise its code page 932 form. When a character has
// none, beeps, says which one and gives nullopt.
std::optional<QByteArray> TextToSave(const QString &text, const QByteArray *known = nullptr);

// The content of a list or trash file: count records, the i-th being at(i),
// each followed by CR LF, then tail (the bytes from a NUL on, kept as they
// were). The text is sized once, in memory backed by large pages when it is
// big, and every record copied once, so that rewriting a big list costs
// little more than writing it.
template <class At>
QByteArray JoinRecords(qsizetype count, At at, const QByteArray &tail = QByteArray()) {
    qsizetype size = tail.size();
    for (qsizetype i = 0; i < count; ++i)
        size += at(i).size() + 2;
    QByteArray text = LargePageBytes(size);
    char *out = text.data();
    for (qsizetype i = 0; i < count; ++i) {
        const QByteArray &r = at(i);
        if (!r.isEmpty())
            std::memcpy(out, r.constData(), size_t(r.size()));
        out += r.size();
        *out++ = '\r';
        *out++ = '\n';
    }
    if (!tail.isEmpty())
        std::memcpy(out, tail.constData(), size_t(tail.size()));
    return text;
}
