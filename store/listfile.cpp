#include "store/listfile.h"

#include <cstdlib>

namespace {

const QByteArray CrLf = QByteArrayLiteral("\r\n");

} // namespace

void ListFile::SetPath(const QString &path) {
    path_ = path;
    Forget();
}

void ListFile::Forget() {
    records_.Clear();
    stamp_ = FileStamp();
    held_ = false;
}

ListFile::Load ListFile::Reload() {
    if (held_ && StampOf(path_) == stamp_)
        return Load::Kept;
    Forget();
    if (!FileIsPresent(path_))
        return Load::Missing;
    // Read into the memory the content had: it is in use already.
    ReadWholeFile(path_, records_.buffer(), &stamp_);
    records_.Split();
    held_ = true;
    return Load::Read;
}

bool ListFile::Unchanged() {
    if (!held_ || StampOf(path_) != stamp_)
        return false;
    if (stamp_.Proven())
        return true;
    FileStamp now;
    if (!FileHolds(path_, records_.content(), &now) || now != stamp_)
        return false;
    stamp_ = now; // seen again: from a later tick on, the stamp is proof
    return true;
}

ListFile::Outcome ListFile::Rewrite(const QList<Splice> &splices) {
    FolderLock lock(path_);
    if (!Unchanged())
        return Outcome::Changed;
    // The held content is changed in place only when it is the records each
    // followed by CR LF; otherwise it is built so first.
    if (!records_.CrLfEnded()) {
        Records rebuilt;
        ByteBuffer &text = rebuilt.buffer();
        for (QByteArrayView r : records_) {
            text.append(r.data(), r.size());
            text.append(CrLf.constData(), 2);
        }
        const QByteArrayView tail = records_.tail();
        text.append(tail.data(), tail.size());
        records_ = std::move(rebuilt);
    }
    // From here on the content is not the file's until it is written.
    held_ = false;
    bool written = false;
    try {
        written = SpliceInPlace(records_.buffer(), splices) &&
                  WriteFileAtomic(path_, records_.buffer().view(), &stamp_);
    } catch (...) {
        Forget();
        throw;
    }
    if (!written) {
        Forget();
        return Outcome::Failed;
    }
    records_.Split();
    held_ = true;
    return Outcome::Written;
}

bool ListFile::Replace(QByteArrayView content) {
    FolderLock lock(path_);
    FileStamp written;
    // A write that throws has not touched the file: what is held stays.
    if (!WriteFileAtomic(path_, content, &written)) {
        Forget();
        return false;
    }
    records_.Take(content);
    stamp_ = written;
    held_ = true;
    return true;
}

bool ListFile::Append(QByteArrayView record, Splice *appended, FileStamp *stamp) {
    FolderLock lock(path_);
    // While what is held is the file, it tells how the file ends; that is
    // read otherwise. A file that is there but cannot be read is not
    // appended to blindly: the error goes to the caller.
    const bool joins = held_ && StampOf(path_) == stamp_;
    TextEnd end;
    if (joins) {
        const QByteArrayView content = records_.content();
        const qsizetype text = content.size() - records_.tail().size();
        end.endsAtNul = !records_.tail().isEmpty();
        end.lastByte = text > 0 ? static_cast<unsigned char>(content[text - 1]) : -1;
    } else {
        end = ScanTextEnd(path_);
    }
    QByteArray data;
    data.reserve(record.size() + 4);
    if (end.lastByte >= 0 && end.lastByte != '\r' && end.lastByte != '\n')
        data += CrLf; // the last record of a file edited elsewhere keeps its own line
    data += record;
    data += CrLf;

    FileStamp written;
    qsizetype at = -1;
    if (!end.endsAtNul) {
        if (!AppendToFile(path_, data, &written)) {
            Forget();
            return false;
        }
        at = written.size - data.size();
        if (joins) {
            records_.buffer().append(data.constData(), data.size());
            records_.SplitAppended();
            stamp_ = written;
        } else {
            Forget();
        }
    } else {
        // Loading stops at a NUL byte: a record appended after one would
        // never show. The record goes in before the NUL, and what follows it
        // is kept as it was.
        const QByteArray old = joins ? records_.content().toByteArray() : ReadWholeFile(path_);
        at = old.indexOf('\0');
        const QByteArray content = old.left(at) + data + old.mid(at);
        Forget();
        if (!WriteFileAtomic(path_, content, &written))
            return false;
        if (joins) {
            records_.Take(content);
            stamp_ = written;
            held_ = true;
        }
    }
    if (appended)
        *appended = Splice{at, {}, data};
    if (stamp)
        *stamp = written;
    return true;
}

std::optional<LineLayout> ListFile::Layout() const {
    if (records_.CrLfEnded())
        return std::nullopt;
    const QByteArrayView content = records_.content();
    return LineLayout::Of(content.first(content.size() - records_.tail().size()));
}

int RowOf(const Records &records, QByteArrayView old, int oldRow) {
    int best = -1;
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (records.at(i) != old)
            continue;
        if (best < 0 || std::abs(int(i) - oldRow) < std::abs(best - oldRow))
            best = int(i);
        else
            break; // the rows further on are further away
    }
    return best;
}
