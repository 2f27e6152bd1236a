#include "store/history.h"

#include "store/listfile.h"
#include "store/record.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// The text of a file (before its first NUL) and what follows it.
std::pair<QByteArray, QByteArray> TextAndTail(QByteArrayView file) {
    qsizetype nul = file.indexOf('\0');
    if (nul < 0)
        nul = file.size();
    return {file.first(nul).toByteArray(), file.sliced(nul).toByteArray()};
}

// The records of a text, each followed by CR LF (each end grows by a byte
// at most, the last by two).
QByteArray EndedByCrLf(const QByteArray &text) {
    const QList<QByteArray> records = SplitLines(text);
    QByteArray out;
    out.reserve(text.size() + records.size() + 1);
    for (const QByteArray &r : records)
        out.append(r).append("\r\n");
    return out;
}

bool HasAt(QByteArrayView text, qsizetype at, const QByteArray &piece) {
    return at >= 0 && at + piece.size() <= text.size() &&
           text.sliced(at, piece.size()) == QByteArrayView(piece);
}

} // namespace

template <class Bytes> bool SpliceInPlace(Bytes &bytes, const QList<Splice> &splices) {
    for (qsizetype k = 0; k < splices.size(); ++k) {
        const Splice &s = splices[k];
        if (!HasAt(QByteArrayView(bytes.data(), bytes.size()), s.at, s.removed))
            return false;
        const qsizetype length = s.removed.size();
        if (k + 1 < splices.size() && s.inserted.isEmpty() && length > 0) {
            const Splice &next = splices[k + 1];
            if (next.removed.isEmpty() && next.inserted == s.removed && next.at >= 0 &&
                next.at <= bytes.size() - length) {
                // A move: the bytes between the two places shift by the
                // record's length, the record goes into the gap.
                char *p = bytes.data();
                const QByteArray &record = next.inserted;
                if (next.at < s.at)
                    std::memmove(p + next.at + length, p + next.at, size_t(s.at - next.at));
                else
                    std::memmove(p + s.at, p + s.at + length, size_t(next.at - s.at));
                std::memcpy(p + next.at, record.constData(), size_t(length));
                ++k;
                continue;
            }
        }
        const qsizetype grow = s.inserted.size() - length;
        const qsizetype tail = bytes.size() - s.at - length;
        if (grow > 0)
            bytes.resize(bytes.size() + grow);
        char *p = bytes.data();
        if (grow != 0 && tail > 0)
            std::memmove(p + s.at + s.inserted.size(), p + s.at + length, size_t(tail));
        if (!s.inserted.isEmpty())
            std::memcpy(p + s.at, s.inserted.constData(), size_t(s.inserted.size()));
        if (grow < 0)
            bytes.resize(bytes.size() + grow);
    }
    return true;
}
template bool SpliceInPlace(QByteArray &, const QList<Splice> &);
template bool SpliceInPlace(ByteBuffer &, const QList<Splice> &);

std::optional<LineLayout> LineLayout::Of(QByteArrayView text) {
    std::vector<End> ends;
    qsizetype counts[4] = {};
    for (qsizetype pos = 0, n = text.size(); pos < n;) {
        qsizetype e = pos;
        while (e < n && text[e] != '\r' && text[e] != '\n')
            ++e;
        End end = End::None;
        if (e < n && text[e] == '\r') {
            ++e;
            end = End::Cr;
        }
        if (e < n && text[e] == '\n') {
            ++e;
            end = end == End::Cr ? End::CrLf : End::Lf;
        }
        ends.push_back(end);
        ++counts[int(end)];
        pos = e;
    }
    if (counts[int(End::CrLf)] == qsizetype(ends.size()))
        return std::nullopt;
    // The usual end is the commonest one (CR LF, then the first in the
    // order of End, where as common); only the others are kept.
    LineLayout layout;
    layout.records_ = qsizetype(ends.size());
    layout.usual_ = End(std::max_element(std::begin(counts), std::end(counts)) - counts);
    for (qsizetype i = 0; i < layout.records_; ++i)
        if (ends[size_t(i)] != layout.usual_)
            layout.others_.append({i, ends[size_t(i)]});
    return layout;
}

LineLayout::End LineLayout::EndOf(qsizetype record) const {
    // others_ is ordered by record: a binary search finds the exceptions.
    const auto it = std::lower_bound(
        others_.cbegin(), others_.cend(), record,
        [](const std::pair<qsizetype, End> &o, qsizetype r) { return o.first < r; });
    return it != others_.cend() && it->first == record ? it->second : usual_;
}

std::optional<QByteArray> LineLayout::Apply(const QByteArray &crlfText) const {
    const QList<QByteArray> records = SplitLines(crlfText);
    if (records.size() != records_)
        return std::nullopt;
    QByteArray out;
    out.reserve(crlfText.size());
    for (qsizetype i = 0; i < records.size(); ++i) {
        // The bytes of each End, in its order.
        static const char *const kEnds[] = {"\r\n", "", "\r", "\n"};
        out += records[i];
        out += kEnds[int(EndOf(i))];
    }
    return out;
}

FileChange FileChange::Pieces(QList<Splice> splices, std::optional<LineLayout> layout) {
    FileChange c;
    c.splices = std::move(splices);
    c.layout = std::move(layout);
    return c;
}

FileChange FileChange::Whole(QByteArray before, QByteArray after) {
    FileChange c;
    c.whole = true;
    c.wholeBefore = std::move(before);
    c.wholeAfter = std::move(after);
    return c;
}

FileChange FileChange::Removal(QByteArray before) {
    FileChange c = Whole(std::move(before), QByteArray());
    c.removed = true;
    return c;
}

std::optional<QByteArray> FileChange::Content(bool after) const {
    if (after && removed)
        return std::nullopt;
    return after ? wholeAfter : wholeBefore;
}

bool FileChange::Changes() const {
    if (whole)
        return removed || wholeBefore != wholeAfter;
    // Line ends made CR LF by a rewrite change the bytes; a splice that puts
    // back what it takes away does not.
    return layout || std::any_of(splices.cbegin(), splices.cend(),
                                 [](const Splice &s) { return s.removed != s.inserted; });
}

std::optional<QByteArray> FileChange::Redo(QByteArrayView file) const {
    if (whole) // a removal leaves no content
        return file == wholeBefore ? Content(true) : std::nullopt;
    auto [text, tail] = TextAndTail(file);
    if (layout) {
        // The text was rewritten from its records: only a text with these
        // very line ends is the one the change was made on.
        if (LineLayout::Of(text) != layout)
            return std::nullopt;
        text = EndedByCrLf(text);
    }
    if (!SpliceInPlace(text, splices))
        return std::nullopt;
    return text + tail;
}

std::optional<QByteArray> FileChange::Undo(QByteArrayView file) const {
    if (whole)
        return !removed && file == wholeAfter ? Content(false) : std::nullopt;
    auto [text, tail] = TextAndTail(file);
    for (auto s = splices.crbegin(); s != splices.crend(); ++s) {
        if (!HasAt(text, s->at, s->inserted))
            return std::nullopt;
        text.replace(s->at, s->inserted.size(), s->removed);
    }
    if (layout) {
        if (LineLayout::Of(text))
            return std::nullopt; // not the text the rewrite left
        std::optional<QByteArray> before = layout->Apply(text);
        if (!before)
            return std::nullopt;
        text = std::move(*before);
    }
    return text + tail;
}

// --- The history ------------------------------------------------------------------

void ChangeHistory::Record(std::unique_ptr<MemoChange> change, const QList<FileStamp> &written) {
    for (qsizetype i = 0; i < change->parts.size() && i < written.size(); ++i)
        LastWritten(change->parts[i]) = written[i];
    // A command that wrote the files as they were (the colour a memo has
    // already, an edit saved unchanged) leaves nothing to take back, and the
    // changes taken back can still be made again.
    if (std::none_of(change->parts.cbegin(), change->parts.cend(),
                     [](const MemoChange::Part &p) { return p.change.Changes(); }))
        return;
    changes_.resize(size_t(next_));
    changes_.push_back(std::move(change));
    if (changes_.size() > size_t(kLimit))
        changes_.erase(changes_.begin()); // the oldest is dropped
    next_ = qsizetype(changes_.size());
    Q_EMIT Changed();
}

void ChangeHistory::Rewritten(MemoFile file, const FileStamp &before, const FileStamp &after) {
    if (lastWritten_[int(file)] == before)
        lastWritten_[int(file)] = after;
}

void ChangeHistory::Clear() {
    const bool had = !changes_.empty();
    changes_.clear();
    lastWrittenOther_.clear();
    next_ = 0;
    if (had)
        Q_EMIT Changed();
}

QStringList ChangeHistory::Names() const {
    QStringList names;
    for (const auto &c : changes_)
        names << c->name;
    return names;
}

qsizetype ChangeHistory::KeptBytes() const {
    qsizetype bytes = 0;
    for (const auto &c : changes_)
        for (const MemoChange::Part &p : c->parts) {
            bytes += p.change.wholeBefore.capacity() + p.change.wholeAfter.capacity();
            for (const Splice &s : p.change.splices)
                bytes += s.removed.capacity() + s.inserted.capacity();
        }
    return bytes;
}

FileStamp &ChangeHistory::LastWritten(const MemoChange::Part &part) {
    if (part.file == MemoFile::Other)
        return lastWrittenOther_[part.path];
    return lastWritten_[int(part.file)];
}

ChangeHistory::Result ChangeHistory::Step(HistoryFiles files, bool forward) {
    if (forward ? !CanRedo() : !CanUndo())
        return {};
    MemoChange &c = *changes_[size_t(forward ? next_ : next_ - 1)];
    const auto fileOf = [&](MemoFile f) -> ListFile & {
        return f == MemoFile::List ? *files.list : *files.trash;
    };
    const auto refuse = [this] {
        Clear(); // the history no longer fits the files
        return Result{Outcome::Refused};
    };

    // No other Quorvel writes either file until the change is written.
    FolderLock lock(files.list->path());
    // Every file the change touches must be as this program left it, before
    // anything is written: the stamp it left, and the content it holds.
    for (const MemoChange::Part &part : std::as_const(c.parts)) {
        if (part.file == MemoFile::Other) {
            // A file of its own is whole in the change: its content, or that
            // there is none, is compared as it is.
            if (StampOf(part.path) != LastWritten(part) ||
                ReadFileIfPresent(part.path) != part.change.Content(!forward))
                return refuse();
            continue;
        }
        ListFile &file = fileOf(part.file);
        const FileStamp &left = lastWritten_[int(part.file)];
        if (!file.Held() || file.stamp() != left)
            file.Reload();
        if (file.stamp() != left || !file.Unchanged())
            return refuse();
    }

    // The file that gains a memo first: the parts are in the order the
    // command wrote them, and taken back in the other.
    const qsizetype n = c.parts.size();
    for (qsizetype k = 0; k < n; ++k) {
        MemoChange::Part *part = &c.parts[forward ? k : n - 1 - k];
        if (part->made == forward)
            continue; // written already by an attempt that failed later
        FileStamp &left = LastWritten(*part);
        FileStamp written;
        errno = 0;
        bool done = false;
        // A file of its own is written whole, or deleted; a list or trash
        // file gets the change made in the bytes it holds.
        const bool other = part->file == MemoFile::Other;
        const std::optional<QByteArray> content = part->change.Content(forward);
        if (other) {
            done =
                content ? WriteFileAtomic(part->path, *content, &written) : DeleteFile(part->path);
        } else {
            ListFile &file = fileOf(part->file);
            const QByteArrayView now = file.records().content();
            const std::optional<QByteArray> next =
                forward ? part->change.Redo(now) : part->change.Undo(now);
            if (!next)
                return refuse();
            done = file.Replace(*next);
            written = file.stamp();
        }
        if (!done) {
            const int error = errno != 0 ? errno : EIO;
            // A file that was changed all the same (only its flush to disk
            // failed) holds the change now.
            const FileStamp after = StampOf(other ? part->path : fileOf(part->file).path());
            if (after != left && (after.exists || (other && !content))) {
                part->made = forward;
                left = after;
            }
            return Result{Outcome::Failed, part->file, error};
        }
        part->made = forward;
        left = other && !content ? StampOf(part->path) : written;
    }
    next_ += forward ? 1 : -1;
    Q_EMIT Changed();
    return Result{Outcome::Done};
}
