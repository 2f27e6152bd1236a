#include "store/history.h"

#include "store/record.h"

#include <algorithm>
#include <cstring>

namespace {

const QByteArray CrLf = QByteArrayLiteral("\r\n");

// The text of a file (before its first NUL) and what follows it.
std::pair<QByteArray, QByteArray> TextAndTail(QByteArrayView file) {
    const qsizetype nul = file.indexOf('\0');
    if (nul < 0)
        return {file.toByteArray(), QByteArray()};
    return {file.first(nul).toByteArray(), file.sliced(nul).toByteArray()};
}

// The records of a text, each followed by CR LF.
QByteArray EndedByCrLf(const QByteArray &text) {
    const QList<QByteArray> records = SplitLines(text);
    qsizetype size = 0;
    for (const QByteArray &r : records)
        size += r.size() + 2;
    QByteArray out;
    out.reserve(size);
    for (const QByteArray &r : records) {
        out += r;
        out += CrLf;
    }
    return out;
}

bool Holds(QByteArrayView text, qsizetype at, const QByteArray &piece) {
    return at >= 0 && at + piece.size() <= text.size() &&
           text.sliced(at, piece.size()) == QByteArrayView(piece);
}

template <class Bytes> bool SpliceBytes(Bytes &bytes, const QList<Splice> &splices) {
    for (qsizetype k = 0; k < splices.size(); ++k) {
        const Splice &s = splices[k];
        if (!Holds(QByteArrayView(bytes.data(), bytes.size()), s.at, s.removed))
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

} // namespace

std::optional<LineLayout> LineLayout::Of(QByteArrayView text) {
    LineLayout layout;
    QList<std::pair<qsizetype, End>> ends;
    qsizetype counts[4] = {};
    const char *p = text.constData();
    const qsizetype n = text.size();
    qsizetype pos = 0;
    while (pos < n) {
        qsizetype e = pos;
        while (e < n && p[e] != '\r' && p[e] != '\n')
            ++e;
        End end = End::None;
        if (e < n && p[e] == '\r') {
            ++e;
            end = End::Cr;
        }
        if (e < n && p[e] == '\n') {
            ++e;
            end = end == End::Cr ? End::CrLf : End::Lf;
        }
        if (end != End::CrLf)
            ends.append({layout.records_, end});
        ++counts[int(end)];
        ++layout.records_;
        pos = e;
    }
    if (ends.isEmpty())
        return std::nullopt;
    // The usual end is the commonest one; only the others are kept.
    for (End e : {End::None, End::Cr, End::Lf})
        if (counts[int(e)] > counts[int(layout.usual_)])
            layout.usual_ = e;
    for (qsizetype i = 0, k = 0; i < layout.records_; ++i) {
        const End e = k < ends.size() && ends[k].first == i ? ends[k++].second : End::CrLf;
        if (e != layout.usual_)
            layout.others_.append({i, e});
    }
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
        out += records[i];
        switch (EndOf(i)) {
        case End::None:
            break;
        case End::Cr:
            out += '\r';
            break;
        case End::Lf:
            out += '\n';
            break;
        case End::CrLf:
            out += CrLf;
            break;
        }
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

bool FileChange::Changes() const {
    if (whole)
        return wholeBefore != wholeAfter;
    // Line ends made CR LF by a rewrite change the bytes; a splice that puts
    // back what it takes away does not.
    return layout || std::any_of(splices.cbegin(), splices.cend(),
                                 [](const Splice &s) { return s.removed != s.inserted; });
}

std::optional<QByteArray> FileChange::Made(QByteArrayView file) const {
    if (whole) {
        if (file != wholeBefore)
            return std::nullopt;
        return wholeAfter;
    }
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

std::optional<QByteArray> FileChange::TakenBack(QByteArrayView file) const {
    if (whole) {
        if (file != wholeAfter)
            return std::nullopt;
        return wholeBefore;
    }
    auto [text, tail] = TextAndTail(file);
    for (auto s = splices.crbegin(); s != splices.crend(); ++s) {
        if (!Holds(text, s->at, s->inserted))
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

bool SpliceInPlace(QByteArray &bytes, const QList<Splice> &splices) {
    return SpliceBytes(bytes, splices);
}

bool SpliceInPlace(ByteBuffer &bytes, const QList<Splice> &splices) {
    return SpliceBytes(bytes, splices);
}

QByteArray splices_detail::Line(QByteArrayView record) {
    QByteArray line(record.size() + 2, Qt::Uninitialized);
    std::copy(record.begin(), record.end(), line.begin());
    line[record.size()] = '\r';
    line[record.size() + 1] = '\n';
    return line;
}
