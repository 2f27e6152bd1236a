#include "store/find.h"

#include "store/findscan.h"
#include "store/records.h"

#include <QStringView>
#include <algorithm>

namespace {

// How often a character is met in Japanese memos, roughly: the rarest
// letters of a search text are the ones scanned for.
double Frequency(Cp932Code c) {
    if (c < 0x80)
        return QChar(c).isLetterOrNumber() ? 1.0 : 2.0; // ASCII letters and digits
    if (c < 0x100)
        return 1.0; // half-width katakana, also common trail bytes
    const int lead = c >> 8;
    if (lead == 0x82 || lead == 0x83)
        return 0.3; // hiragana, katakana, full-width letters and digits
    if (lead == 0x81 || lead == 0x84)
        return 0.2; // symbols, Greek, Cyrillic, box drawing
    return 0.02;    // kanji and the rest
}

// Besides the first letter, at most this many letters are scanned for.
constexpr size_t kMaxFilters = 2;
// Letters looked at when choosing them.
constexpr size_t kMaxLettersWeighed = 32;

// One letter of the folded search text and the characters that can give it.
// A memo that contains the search text holds at least one of them in its
// text.
struct Letter {
    CharacterScan scan;
    double weight = 0;       // the characters' frequencies together
    bool fromJoiner = false; // one of them joins the character before it
};

// A piece of a memo's folded text: what one character gives (with the
// joining characters after it), or the line end of a line-break marker.
struct Piece {
    std::u16string_view units;
    qsizetype next; // where the next piece starts
};

} // namespace

struct MemoMatcher::Impl {
    Impl(const QString &searchText, FindOptions options)
        : cp(Cp932Table::Get()), table(FoldTable::For(options)),
          needle(UnitsOf(FoldForFind(searchText, options))) {}

    const Cp932Table &cp;
    const FoldTable &table;
    std::u16string needle;
    bool never = false;
    // Letters of the search text a memo must hold, rarest first.
    std::vector<Letter> filters;
    // The characters that can give its first letter: each place one of them
    // stands is where the search text may start. Unusable when the first
    // letter is a line end or may come from a joining character; the whole
    // memo is then folded and searched.
    Letter head;
    bool headUsable = false;
    // Room for what a cluster folds to, and for the folded text of a memo,
    // kept between calls so that they are allocated once.
    mutable QString clusterFolded, pieceFolded;
    mutable std::u16string folded;

    Letter LetterFor(char16_t letter) const;
    Piece PieceAt(const uchar *p, qsizetype i, qsizetype end, QString &room) const;
    bool StartsAt(const uchar *p, qsizetype i, qsizetype end) const;
    bool Contains(const uchar *p, qsizetype n) const;
};

Letter MemoMatcher::Impl::LetterFor(char16_t letter) const {
    Letter l;
    const auto add = [&](Cp932Code c) {
        if (!l.scan.Add(c))
            return;
        l.weight += Frequency(c);
        l.fromJoiner = l.fromJoiner || table.Joins(c);
    };
    for (const Cp932Code c : cp.Codes())
        if (table.Fold(c).find(letter) != std::u16string_view::npos)
            add(c);
    for (const FoldTable::Composite &k : table.Composites())
        if (k.extra.find(letter) != std::u16string::npos)
            add(k.code);
    l.scan.Prepare();
    return l;
}

MemoMatcher::MemoMatcher(const QString &searchText, FindOptions options)
    : d(std::make_unique<Impl>(searchText, options)) {
    if (d->needle.empty())
        return;
    // The letters the record's own bytes can be scanned for: not the line
    // end, which comes from the line-break markers.
    const auto scannable = [](char16_t u) { return u != u'\r' && u != u'\n'; };
    const char16_t first = d->needle.front();
    std::u16string letters;
    for (const char16_t u : d->needle)
        if (scannable(u) && u != first && letters.find(u) == std::u16string::npos &&
            letters.size() < kMaxLettersWeighed)
            letters += u;
    for (const char16_t letter : letters) {
        d->filters.push_back(d->LetterFor(letter));
        if (d->filters.back().scan.Empty()) {
            d->never = true; // no memo can give this letter
            return;
        }
    }
    std::ranges::stable_sort(d->filters, {}, &Letter::weight);
    if (d->filters.size() > kMaxFilters)
        d->filters.resize(kMaxFilters);
    if (scannable(first)) {
        d->head = d->LetterFor(first);
        d->never = d->head.scan.Empty();
        d->headUsable = !d->head.fromJoiner;
    }
}

MemoMatcher::~MemoMatcher() = default;

bool MemoMatcher::Matches(QByteArrayView record) const {
    if (d->needle.empty())
        return true;
    if (d->never)
        return false;
    const auto *p = reinterpret_cast<const uchar *>(record.data());
    const qsizetype n = record.size();
    for (const Letter &l : d->filters)
        if (!l.scan.Find(p, n, [](qsizetype, qsizetype) { return true; }))
            return false;
    if (!d->headUsable)
        return d->Contains(p, n);
    return d->head.scan.Find(
        p, n, [this, p](qsizetype at, qsizetype end) { return d->StartsAt(p, at, end); });
}

Piece MemoMatcher::Impl::PieceAt(const uchar *p, qsizetype i, qsizetype end, QString &room) const {
    // A line-break marker never starts inside a character: its first byte
    // is no trail byte.
    if (p[i] == '<' && LineBreakMarkerAt(p, i, end))
        return {table.LineEnd(), i + LineBreakMarker().size()};
    const int length = cp.LengthAt(p, i, end);
    const Cp932Code c = cp.CodeAt(p, i, length);
    qsizetype next = i + length;
    QString cluster; // the character with the joining ones after it, if any
    while (next < end) {
        const int joinLength = cp.LengthAt(p, next, end);
        const Cp932Code after = cp.CodeAt(p, next, joinLength);
        if (!table.Joins(after))
            break;
        if (cluster.isEmpty())
            cluster = QChar(cp.Unit(c));
        cluster += QChar(cp.Unit(after));
        next += joinLength;
    }
    if (cluster.isEmpty())
        return {table.Fold(c), next};
    room = FoldForFind(cluster, table.Options());
    return {UnitsOf(room), next};
}

// Whether the folded search text starts within the piece that starts at
// byte i and goes on in the pieces after it.
bool MemoMatcher::Impl::StartsAt(const uchar *p, qsizetype i, qsizetype end) const {
    const Piece first = PieceAt(p, i, end, clusterFolded);
    for (size_t t = 0; t < first.units.size(); ++t) {
        if (first.units[t] != needle.front())
            continue;
        std::u16string_view units = first.units.substr(t), rest = needle;
        for (qsizetype next = first.next;;) {
            const size_t m = std::min(units.size(), rest.size());
            if (units.substr(0, m) != rest.substr(0, m))
                break;
            rest.remove_prefix(m);
            if (rest.empty())
                return true;
            if (next >= end)
                break;
            const Piece piece = PieceAt(p, next, end, pieceFolded);
            units = piece.units;
            next = piece.next;
        }
    }
    return false;
}

// The memo's whole text folded, piece by piece, exactly as
// FoldForFind(MemoTextOf(record)) gives it, then searched.
bool MemoMatcher::Impl::Contains(const uchar *p, qsizetype n) const {
    const qsizetype end = MemoTextEnd(p, n);
    folded.clear();
    for (qsizetype i = 0; i < end;) {
        const Piece piece = PieceAt(p, i, end, pieceFolded);
        folded += piece.units;
        i = piece.next;
    }
    return QStringView(folded).indexOf(QStringView(needle)) >= 0;
}

template <class List>
FindResult FindInRecords(const List &records, qsizetype selected, bool forward,
                         const MemoMatcher &matcher) {
    const qsizetype n = records.size();
    if (selected < 0 || selected >= n)
        selected = -1;
    // One pass over the whole list: the count is wanted whatever is found.
    qsizetype count = 0, before = 0;
    qsizetype first = -1, last = -1, firstAfter = -1, lastBefore = -1;
    bool atSelected = false;
    for (qsizetype i = 0; i < n; ++i) {
        if (!matcher.Matches(records.at(i)))
            continue;
        ++count;
        if (first < 0)
            first = i;
        last = i;
        if (i < selected) {
            ++before;
            lastBefore = i;
        } else if (i == selected) {
            atSelected = true;
        } else if (firstAfter < 0) {
            firstAfter = i;
        }
    }
    // Round to the first (or last) match when none lies beyond the selected
    // memo: the selected one itself at the latest.
    if (count == 0)
        return {};
    if (forward)
        return firstAfter >= 0 ? FindResult{firstAfter, count, before + (atSelected ? 1 : 0) + 1}
                               : FindResult{first, count, 1};
    return lastBefore >= 0 ? FindResult{lastBefore, count, before} : FindResult{last, count, count};
}

template FindResult FindInRecords(const QList<QByteArray> &, qsizetype, bool, const MemoMatcher &);
template FindResult FindInRecords(const Records &, qsizetype, bool, const MemoMatcher &);
