#include "store/find.h"

#include "platform/cp932.h"
#include "store/record.h"

#include <QStringView>
#include <algorithm>
#include <array>
#include <bit>
#include <bitset>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

QString FoldForFind(const QString &text, FindOptions options) {
    QString s = options.ignoreWidth ? text.normalized(QString::NormalizationForm_KC) : text;
    if (options.ignoreKana) {
        for (QChar &c : s) {
            // ァ ... ヶ and the iteration marks ヽ ヾ lie 0x60 above their hiragana.
            const char16_t u = c.unicode();
            if ((u >= 0x30A1 && u <= 0x30F6) || u == 0x30FD || u == 0x30FE)
                c = QChar(char16_t(u - 0x60));
        }
    }
    if (!options.matchCase)
        s = s.toCaseFolded();
    return s;
}

bool TextContains(const QString &memoText, const QString &searchText, FindOptions options) {
    return FoldForFind(memoText, options).contains(FoldForFind(searchText, options));
}

QString MemoTextOf(const QByteArray &record) {
    return DecodeCp932(RecordToMemoText(record));
}

namespace {

// A character of code page 932 as a code: a single byte b is code b; a
// double-byte character of lead byte L and trail byte T is code L * 256 + T,
// at least 0x8140, so the two kinds never meet.
using Code = quint16;

inline Code PairCode(const uchar *p, qsizetype i) {
    return Code(p[i] << 8 | p[i + 1]);
}

// What DecodeCp932 makes of each code, asked of it once: the character of
// every single byte (U+FFFD for a byte that stands for none, a lead byte
// alone included) and which double-byte codes are characters.
class Cp932Table {
  public:
    static const Cp932Table &Get() {
        static const Cp932Table table;
        return table;
    }

    char16_t Unit(Code c) const { return unit_[c]; }
    // Every code that is a character: the 256 single bytes and the valid pairs.
    const std::vector<Code> &Codes() const { return codes_; }

    // The length of the character at p[i] (i < end) as DecodeCp932 reads the
    // bytes up to end: 2 for a lead byte whose trail makes a character, else 1.
    int LengthAt(const uchar *p, qsizetype i, qsizetype end) const {
        return i + 1 < end && pair_[PairCode(p, i)] ? 2 : 1;
    }
    Code CodeAt(const uchar *p, qsizetype i, int length) const {
        return length == 2 ? PairCode(p, i) : Code(p[i]);
    }

  private:
    Cp932Table() {
        for (int b = 0; b < 256; ++b) {
            const QString s = DecodeCp932(QByteArray(1, char(b)));
            unit_[b] = s.size() == 1 ? s[0].unicode() : char16_t(QChar::ReplacementCharacter);
            codes_.push_back(Code(b));
        }
        // Each lead byte with every trail byte, one pair a line, decoded in
        // one go: a pair that is a character gives a line of one character;
        // one that is not gives U+FFFD and the trail byte's own character.
        for (int lead = 0x80; lead < 0x100; ++lead) {
            if (!IsCp932LeadByte(uchar(lead)))
                continue;
            QByteArray lines;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                lines += char(lead);
                lines += char(trail);
                lines += '\n';
            }
            const QString decoded = DecodeCp932(lines);
            qsizetype at = 0;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                const qsizetype lineEnd = decoded.indexOf(QLatin1Char('\n'), at);
                if (lineEnd < 0)
                    break;
                if (lineEnd - at == 1 && decoded[at] != QChar::ReplacementCharacter) {
                    const Code c = Code(lead << 8 | trail);
                    unit_[c] = decoded[at].unicode();
                    pair_.set(c);
                    codes_.push_back(c);
                }
                at = lineEnd + 1;
            }
        }
    }

    std::array<char16_t, 65536> unit_{};
    std::bitset<65536> pair_;
    std::vector<Code> codes_;
};

std::u16string_view View(const QString &s) {
    return {reinterpret_cast<const char16_t *>(s.utf16()), size_t(s.size())};
}

// The folded form of every character of code page 932 under one set of
// options, so that a memo folds by table look-ups: under normalisation,
// a memo's folded text is its characters' folded forms one after another,
// except where a character joins the one before it (a half-width voiced
// sound mark after a kana makes one character with it). Such a character
// and the one before it are folded together, as a cluster.
class FoldTable {
  public:
    explicit FoldTable(FindOptions options) : options_(options), entry_(65536, 0) {
        const Cp932Table &cp = Cp932Table::Get();
        for (const Code c : cp.Codes()) {
            const QString one(QChar(cp.Unit(c)));
            const QString folded = FoldForFind(one, options);
            // A character whose decomposition starts with a combining mark
            // (or is empty) attaches to what precedes it.
            bool joins = false;
            if (options.ignoreWidth) {
                const QString d = one.normalized(QString::NormalizationForm_KD);
                joins = d.isEmpty() || d.front().combiningClass() != 0;
            }
            Q_ASSERT(folded.size() < 0x800 && pool_.size() < 0x100000);
            entry_[c] =
                quint32(pool_.size()) | quint32(folded.size()) << 20 | (joins ? 1u << 31 : 0u);
            pool_.append(View(folded));
            if (joins)
                joiners_.push_back(c);
        }
        crlf_ = View(FoldForFind(QStringLiteral("\r\n"), options));
        // What a character gives with a joining one after it, beyond what
        // each gives alone: a letter of the search text may come from there.
        for (const Code m : joiners_) {
            for (const Code c : cp.Codes()) {
                const QString both =
                    FoldForFind(QString(QChar(cp.Unit(c))) + QChar(cp.Unit(m)), options);
                std::u16string extra;
                for (const QChar ch : both)
                    if (Fold(c).find(ch.unicode()) == std::u16string_view::npos &&
                        Fold(m).find(ch.unicode()) == std::u16string_view::npos &&
                        extra.find(ch.unicode()) == std::u16string::npos)
                        extra += ch.unicode();
                if (!extra.empty())
                    composites_.push_back({c, std::move(extra)});
            }
        }
    }

    FindOptions Options() const { return options_; }
    std::u16string_view Fold(Code c) const {
        const quint32 e = entry_[c];
        return {pool_.data() + (e & 0xFFFFF), size_t((e >> 20) & 0x7FF)};
    }
    bool Joins(Code c) const { return entry_[c] >> 31; }
    bool HasJoiners() const { return !joiners_.empty(); }
    // The folded line end that stands for a line-break marker.
    std::u16string_view LineEnd() const { return crlf_; }

    struct Composite {
        Code code;            // the character before the joining one
        std::u16string extra; // letters the two give only together
    };
    const std::vector<Composite> &Composites() const { return composites_; }

  private:
    FindOptions options_;
    // Per code: offset of its folded form in pool_ (bits 0-19), its length
    // (bits 20-30) and whether the character joins the one before (bit 31).
    std::vector<quint32> entry_;
    std::u16string pool_;
    std::u16string crlf_;
    std::vector<Code> joiners_;
    std::vector<Composite> composites_;
};

// The tables are made on first use, one per set of options, and kept.
const FoldTable &FoldTableFor(FindOptions options) {
    static std::mutex lock;
    static std::array<std::unique_ptr<const FoldTable>, 8> tables;
    const int index =
        (options.ignoreWidth ? 1 : 0) | (options.ignoreKana ? 2 : 0) | (options.matchCase ? 4 : 0);
    const std::lock_guard<std::mutex> guard(lock);
    if (!tables[index])
        tables[index] = std::make_unique<const FoldTable>(options);
    return *tables[index];
}

// One letter of the folded search text and the code page 932 characters
// that can give it. A memo that contains the search text holds at least one
// of them; a scan of its bytes tells whether it does.
class Anchor {
  public:
    void Add(Code c) {
        if (codes_[c])
            return;
        codes_.set(c);
        const uchar key = c < 0x100 ? uchar(c) : uchar(c & 0xFF);
        if (!isKey_[key]) {
            isKey_.set(key);
            keys_.push_back(key);
        }
        weight_ += Frequency(c);
    }
    bool Empty() const { return keys_.empty(); }
    // How often the characters are met in Japanese memos, roughly: the
    // scans start with the rarest letter.
    double Weight() const { return weight_; }

    // Whether the bytes p[0..n) decode to at least one of the characters.
    bool FoundIn(const uchar *p, qsizetype n, const Cp932Table &cp) const {
        // The scan stops at key bytes (single-byte characters and the trail
        // bytes of double-byte ones) and only then finds out where the
        // characters around start. start is always the first byte of a
        // character.
        qsizetype start = 0;
        const auto hit = [&](qsizetype pos) {
            // A byte that is not a lead byte ends a character (a lead byte
            // alone or a trail byte): the next byte starts one. Back from pos
            // to such a byte, then forward character by character.
            qsizetype q = pos;
            while (q > start && IsCp932LeadByte(p[q - 1]))
                --q;
            for (;;) {
                const int length = cp.LengthAt(p, q, n);
                if (q + length > pos) {
                    start = q;
                    return codes_[cp.CodeAt(p, q, length)];
                }
                q += length;
            }
        };
#if defined(__SSE2__)
        switch (keys_.size()) {
        case 1:
            return Scan<1>(p, n, hit);
        case 2:
            return Scan<2>(p, n, hit);
        case 3:
            return Scan<3>(p, n, hit);
        case 4:
            return Scan<4>(p, n, hit);
        case 5:
            return Scan<5>(p, n, hit);
        case 6:
            return Scan<6>(p, n, hit);
        default:
            break;
        }
#endif
        for (qsizetype i = 0; i < n; ++i)
            if (isKey_[p[i]] && hit(i))
                return true;
        return false;
    }

  private:
    static double Frequency(Code c) {
        if (c < 0x80)
            return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ? 1.0
                                                                                              : 2.0;
        if (c < 0x100)
            return 1.0; // half-width katakana, also common trail bytes
        const int lead = c >> 8;
        if (lead == 0x82 || lead == 0x83)
            return 0.3; // hiragana, katakana, full-width letters and digits
        if (lead == 0x81 || lead == 0x84)
            return 0.2; // symbols, Greek, Cyrillic, box drawing
        return 0.02;    // kanji and the rest
    }

#if defined(__SSE2__)
    // Sixteen bytes at a time against each key byte.
    template <int K, class Hit> bool Scan(const uchar *p, qsizetype n, Hit &hit) const {
        __m128i key[K];
        for (int j = 0; j < K; ++j)
            key[j] = _mm_set1_epi8(char(keys_[size_t(j)]));
        qsizetype i = 0;
        for (; i + 16 <= n; i += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
            __m128i m = _mm_cmpeq_epi8(v, key[0]);
            for (int j = 1; j < K; ++j)
                m = _mm_or_si128(m, _mm_cmpeq_epi8(v, key[j]));
            for (unsigned bits = unsigned(_mm_movemask_epi8(m)); bits != 0; bits &= bits - 1)
                if (hit(i + std::countr_zero(bits)))
                    return true;
        }
        for (; i < n; ++i)
            if (isKey_[p[i]] && hit(i))
                return true;
        return false;
    }
#endif

    std::bitset<65536> codes_;
    std::bitset<256> isKey_;
    std::vector<uchar> keys_;
    double weight_ = 0;
};

// At most this many letters of the search text are scanned for.
constexpr size_t kMaxAnchors = 3;
// Letters looked at when choosing them.
constexpr size_t kMaxLettersWeighed = 32;

} // namespace

struct MemoMatcher::Impl {
    Impl(const QString &searchText, FindOptions options)
        : cp(Cp932Table::Get()), table(FoldTableFor(options)),
          needle(View(FoldForFind(searchText, options))) {}

    const Cp932Table &cp;
    const FoldTable &table;
    std::u16string needle;
    bool never = false;
    std::vector<Anchor> anchors;
    // The folded text of the memo being compared, kept between calls so that
    // it is allocated once.
    mutable std::u16string folded;

    bool Contains(const QByteArray &record) const;
};

MemoMatcher::MemoMatcher(const QString &searchText, FindOptions options)
    : d(std::make_unique<Impl>(searchText, options)) {
    const Cp932Table &cp = d->cp;
    const FoldTable &table = d->table;
    // The letters the record's own bytes can be scanned for: not the line
    // end, which comes from the line-break markers.
    std::u16string letters;
    for (const char16_t u : d->needle)
        if (u != u'\r' && u != u'\n' && letters.find(u) == std::u16string::npos &&
            letters.size() < kMaxLettersWeighed)
            letters += u;
    std::vector<Anchor> anchors;
    for (const char16_t letter : letters) {
        Anchor a;
        for (const Code c : cp.Codes())
            if (table.Fold(c).find(letter) != std::u16string_view::npos)
                a.Add(c);
        for (const FoldTable::Composite &k : table.Composites())
            if (k.extra.find(letter) != std::u16string::npos)
                a.Add(k.code);
        if (a.Empty()) {
            // No memo can give this letter.
            d->never = true;
            return;
        }
        anchors.push_back(std::move(a));
    }
    std::stable_sort(anchors.begin(), anchors.end(),
                     [](const Anchor &a, const Anchor &b) { return a.Weight() < b.Weight(); });
    if (anchors.size() > kMaxAnchors)
        anchors.resize(kMaxAnchors);
    d->anchors = std::move(anchors);
}

MemoMatcher::~MemoMatcher() = default;

bool MemoMatcher::Matches(const QByteArray &record) const {
    if (d->needle.empty())
        return true;
    if (d->never)
        return false;
    const auto *p = reinterpret_cast<const uchar *>(record.constData());
    for (const Anchor &a : d->anchors)
        if (!a.FoundIn(p, record.size(), d->cp))
            return false;
    return d->Contains(record);
}

// The memo's whole text folded, character by character from the tables,
// exactly as FoldForFind(MemoTextOf(record)) would give it, then searched.
bool MemoMatcher::Impl::Contains(const QByteArray &record) const {
    const auto *p = reinterpret_cast<const uchar *>(record.constData());
    const qsizetype colour = ColorMarkerPos(record);
    const qsizetype end = colour >= 0 ? colour : record.size();
    const QByteArray &marker = LineBreakMarker();
    const qsizetype markerSize = marker.size();
    const FindOptions options = table.Options();
    folded.clear();
    qsizetype i = 0;
    while (i < end) {
        // A line-break marker never starts inside a character: its first
        // byte is no trail byte.
        if (p[i] == '<' && end - i >= markerSize &&
            std::memcmp(p + i, marker.constData(), size_t(markerSize)) == 0) {
            folded += table.LineEnd();
            i += markerSize;
            continue;
        }
        const int length = cp.LengthAt(p, i, end);
        const Code c = cp.CodeAt(p, i, length);
        qsizetype next = i + length;
        if (table.HasJoiners() && next < end) {
            int nextLength = cp.LengthAt(p, next, end);
            Code nextCode = cp.CodeAt(p, next, nextLength);
            if (table.Joins(nextCode)) {
                QString cluster(QChar(cp.Unit(c)));
                while (table.Joins(nextCode)) {
                    cluster += QChar(cp.Unit(nextCode));
                    next += nextLength;
                    if (next >= end)
                        break;
                    nextLength = cp.LengthAt(p, next, end);
                    nextCode = cp.CodeAt(p, next, nextLength);
                }
                folded += View(FoldForFind(cluster, options));
                i = next;
                continue;
            }
        }
        folded += table.Fold(c);
        i = next;
    }
    return QStringView(folded).indexOf(QStringView(needle)) >= 0;
}

FindResult FindInRecords(const QList<QByteArray> &records, qsizetype selected, bool forward,
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
    FindResult result;
    result.count = count;
    if (count == 0)
        return result;
    if (forward) {
        if (firstAfter >= 0) {
            result.index = firstAfter;
            result.position = before + (atSelected ? 1 : 0) + 1;
        } else {
            result.index = first; // round to the first, the selected one at the latest
            result.position = 1;
        }
    } else {
        if (lastBefore >= 0) {
            result.index = lastBefore;
            result.position = before;
        } else {
            result.index = last; // round to the last, the selected one at the latest
            result.position = count;
        }
    }
    return result;
}
