#include "store/records.h"

#include <algorithm>
#include <cstring>

namespace {

// The next occurrence of c in [from, end), or end.
const char *Next(const char *from, const char *end, char c) {
    if (from == end)
        return end; // also for the null of an empty buffer
    const void *hit = std::memchr(from, c, static_cast<size_t>(end - from));
    return hit ? static_cast<const char *>(hit) : end;
}

} // namespace

QList<QByteArray> Records::ToList() const {
    QList<QByteArray> list;
    list.reserve(size());
    for (QByteArrayView r : *this)
        list.append(r.toByteArray());
    return list;
}

void Records::Take(QByteArrayView data) {
    bytes_.clear();
    bytes_.append(data.data(), data.size());
    Split();
}

void Records::Split() {
    const char *const start = bytes_.data();
    const char *p = start;
    const char *end = Next(p, p + bytes_.size(), '\0'); // the text ends at the first NUL

    // Count the records first, so that their list is sized once: every LF
    // and every CR not followed by an LF ends one. The last byte either ends
    // one or belongs to one without a line end. Plain loops, which the
    // compiler turns into wide compares: blocks of at most 255 bytes, so that
    // a byte-wide count cannot overflow.
    const qsizetype length = end - p;
    qsizetype count = length > 0 ? 1 : 0;
    for (qsizetype block = 0; block + 1 < length; block += 255) {
        const qsizetype stop = std::min(block + 255, length - 1);
        unsigned char ends = 0;
        for (qsizetype i = block; i < stop; ++i)
            ends += (p[i] == '\n') | ((p[i] == '\r') & (p[i + 1] != '\n'));
        count += ends;
    }
    spans_.clear();
    spans_.reserve(count); // the memory it has, when that is room enough
    recordBytes_ = 0;
    SplitFrom(0);
}

void Records::SplitAppended() {
    // The last record may go on in what was appended: it is found anew.
    qsizetype from = 0;
    if (!spans_.isEmpty()) {
        const Span last = spans_[spans_.size() - 1];
        from = last.at;
        recordBytes_ -= last.size;
        spans_.resize(spans_.size() - 1);
    }
    SplitFrom(from);
}

void Records::SplitFrom(qsizetype from) {
    const char *const start = bytes_.data();
    const char *p = start + from;
    const char *end = Next(p, start + bytes_.size(), '\0');
    textEnd_ = end - start;
    // The next CR and LF are each found with a fast scan and kept until the
    // position passes them, so every byte is looked at about once.
    const char *cr = Next(p, end, '\r');
    const char *lf = Next(p, end, '\n');
    while (p < end) {
        if (cr < p)
            cr = Next(p, end, '\r');
        if (lf < p)
            lf = Next(p, end, '\n');
        const char *q = cr < lf ? cr : lf;
        spans_.append(Span{p - start, q - p});
        recordBytes_ += q - p;
        if (q < end && *q == '\r')
            ++q;
        if (q < end && *q == '\n')
            ++q;
        p = q;
    }
    // Each end takes at most two bytes, CR LF exactly two: the sizes tell
    // whether every record ends in CR LF.
    crLfEnded_ = recordBytes_ + 2 * spans_.size() == textEnd_;
}

bool operator==(const Records &records, const QList<QByteArray> &list) {
    if (records.size() != list.size())
        return false;
    for (qsizetype i = 0; i < list.size(); ++i)
        if (records.at(i) != QByteArrayView(list.at(i)))
            return false;
    return true;
}
