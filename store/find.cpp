#include "store/find.h"

#include "store/records.h"

#include "platform/cp932.h"
#include "store/record.h"

#include <QStringView>
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <bitset>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
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
// sound mark after a kana makes one character with it). Such characters are
// folded together with the one before them, as a cluster.
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

// Where the memo text of a record ends: at its first colour marker.
qsizetype TextEnd(const uchar *p, qsizetype n) {
    const QByteArray &marker = ColorMarker();
    const size_t size = size_t(marker.size());
    for (qsizetype i = 0; i < n;) {
        const void *lt = std::memchr(p + i, '<', size_t(n - i));
        if (!lt)
            break;
        i = static_cast<const uchar *>(lt) - p;
        if (size_t(n - i) >= size && std::memcmp(p + i, marker.constData(), size) == 0)
            return i;
        ++i;
    }
    return n;
}

bool LineBreakMarkerAt(const uchar *p, qsizetype i, qsizetype end) {
    const QByteArray &marker = LineBreakMarker();
    return end - i >= marker.size() &&
           std::memcmp(p + i, marker.constData(), size_t(marker.size())) == 0;
}

// The vector instructions the scans may use.
enum ScanLevels { kPlain, kSse2, kSsse3, kAvx2 };
std::atomic<int> scanLevelLimit{kAvx2};

// One letter of the folded search text and the code page 932 characters
// that can give it. A memo that contains the search text holds at least one
// of them in its text; a scan of its bytes finds them.
class Anchor {
  public:
    void Add(Code c) {
        if (codes_[c])
            return;
        codes_.set(c);
        first_[c < 0x100 ? c : c >> 8] = true;
        if (c < 0x100)
            singles_.push_back(uchar(c));
        else
            pairs_.push_back(c);
        weight_ += Frequency(c);
    }
    bool Has(Code c) const { return codes_[c]; }
    bool Empty() const { return singles_.empty() && pairs_.empty(); }
    // How often the characters are met in Japanese memos, roughly: the
    // rarest letters are the ones scanned for.
    double Weight() const { return weight_; }

    // Made ready to scan, once every character is added.
    void Prepare(const Cp932Table &cp) {
        // Where the line-break marker itself holds one of the characters:
        // those bytes stand for a line end, not for the letter.
        const QByteArray &marker = LineBreakMarker();
        const auto *m = reinterpret_cast<const uchar *>(marker.constData());
        for (qsizetype k = 0; k < marker.size();) {
            const int length = cp.LengthAt(m, k, marker.size());
            if (codes_[cp.CodeAt(m, k, length)])
                inMarker_.push_back(k);
            k += length;
        }
        // The characters by nibbles, in eight groups: a character of a
        // group may start at a byte when the entries of that byte's two
        // nibbles, and of the next byte's, all hold the group's bit. The
        // single-byte characters form one group, which takes any next byte;
        // the double-byte ones a group per lead byte, as far as eight go.
        std::vector<uchar> leads;
        for (const Code c : pairs_)
            if (std::find(leads.begin(), leads.end(), uchar(c >> 8)) == leads.end())
                leads.push_back(uchar(c >> 8));
        const int pairGroups = singles_.empty() ? 8 : 7;
        const auto groupOf = [&](Code c) {
            const auto at = std::find(leads.begin(), leads.end(), uchar(c >> 8)) - leads.begin();
            return 1 << ((singles_.empty() ? 0 : 1) + int(at % pairGroups));
        };
        for (const uchar b : singles_) {
            firstLow_[b & 0x0F] |= 1;
            firstHigh_[b >> 4] |= 1;
        }
        if (!singles_.empty()) {
            for (uchar &e : nextLow_)
                e |= 1;
            for (uchar &e : nextHigh_)
                e |= 1;
        }
        for (const Code c : pairs_) {
            const int bit = groupOf(c);
            firstLow_[(c >> 8) & 0x0F] |= uchar(bit);
            firstHigh_[c >> 12] |= uchar(bit);
            nextLow_[c & 0x0F] |= uchar(bit);
            nextHigh_[(c >> 4) & 0x0F] |= uchar(bit);
        }
#if defined(__SSE2__)
        // The same for a few characters, each compared as it is; places
        // beyond their number repeat the first.
        const auto equal = [this](size_t k, uchar first, uchar next, bool anyNext) {
            equalFirst_[k] = _mm_set1_epi8(char(first));
            equalNext_[k] = _mm_set1_epi8(char(next));
            equalAny_[k] = anyNext ? _mm_set1_epi8(char(0xFF)) : _mm_setzero_si128();
        };
        size_t k = 0;
        for (const uchar b : singles_)
            if (k < kEqualMax)
                equal(k++, b, 0, true); // any byte after a single-byte character
        for (const Code c : pairs_)
            if (k < kEqualMax)
                equal(k++, uchar(c >> 8), uchar(c & 0xFF), false);
        for (; k > 0 && k < kEqualMax; ++k) {
            equalFirst_[k] = equalFirst_[0];
            equalNext_[k] = equalNext_[0];
            equalAny_[k] = equalAny_[0];
        }
#endif
    }

    // Calls accept(start, textEnd) for each of the characters in the memo
    // text of the record p[0..n), in order, until it returns true; textEnd is
    // where the memo text ends. Whether one was accepted.
    template <class Accept>
    bool Find(const uchar *p, qsizetype n, const Cp932Table &cp, Accept &&accept) const {
        // The scan stops where a character may start (its byte, or its two
        // bytes, are those of one of the characters) and only then finds out
        // where the characters around there start.
        qsizetype start = 0; // always the first byte of a character
        qsizetype end = -1;  // where the memo text ends, once needed
        const auto hit = [&](qsizetype pos) {
            if (!codes_[p[pos]] && !(pos + 1 < n && codes_[Code(p[pos] << 8 | p[pos + 1])]))
                return false;
            // A byte that is not a lead byte ends a character (a single one
            // or a trail byte): the next byte starts one. Back from pos to
            // such a byte, then forward character by character.
            qsizetype q = pos;
            while (q > start && IsCp932LeadByte(p[q - 1]))
                --q;
            while (q < pos)
                q += cp.LengthAt(p, q, n);
            start = q;
            if (q != pos || !codes_[cp.CodeAt(p, q, cp.LengthAt(p, q, n))])
                return false;
            // Not in a marker, nor in the colour suffix.
            for (const qsizetype k : inMarker_)
                if (q >= k && LineBreakMarkerAt(p, q - k, n))
                    return false;
            if (end < 0)
                end = TextEnd(p, n);
            return q < end && accept(q, end);
        };
#if defined(__SSE2__)
        // The widest blocks the processor takes, where the record fills one.
        const int level = ScanLevel();
        const size_t characters = singles_.size() + pairs_.size();
        const bool wide = n > 32 && level >= kAvx2;
        if (level >= kSse2) {
            if (characters == 1)
                return wide ? ScanEqualWide<1>(p, n, hit) : ScanEqual<1>(p, n, hit);
            if (characters == 2)
                return wide ? ScanEqualWide<2>(p, n, hit) : ScanEqual<2>(p, n, hit);
            if (wide)
                return ScanNibblesWide(p, n, hit);
            if (level >= kSsse3)
                return ScanNibbles(p, n, hit);
            if (characters <= kEqualMax)
                return ScanEqual<kEqualMax>(p, n, hit);
        }
#endif
        for (qsizetype i = 0; i < n; ++i)
            if (first_[p[i]] && hit(i))
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
    static int ScanLevel() {
        static const int processor = __builtin_cpu_supports("avx2")    ? kAvx2
                                     : __builtin_cpu_supports("ssse3") ? kSsse3
                                                                       : kSse2;
        return std::min(processor, scanLevelLimit.load(std::memory_order_relaxed));
    }

    // Blocks of W starting places, the last block overlapping the one
    // before; places(at) tells which of the W from at may start one of the
    // characters, as bits. The last byte has no byte after it: only a
    // single-byte character starts there.
    template <int W, class Hit, class Places>
    __attribute__((always_inline)) bool ScanPlaces(const uchar *p, qsizetype n, Hit &hit,
                                                   Places &&places) const {
        const qsizetype last = n - 1;
        if (last < W) {
            for (qsizetype i = 0; i < n; ++i)
                if (first_[p[i]] && hit(i))
                    return true;
            return false;
        }
        qsizetype i = 0;
        for (; i + W <= last; i += W)
            for (quint32 bits = places(p + i); bits != 0; bits &= bits - 1)
                if (hit(i + std::countr_zero(bits)))
                    return true;
        if (i < last) {
            // The new places of the last block only.
            const qsizetype from = last - W;
            for (quint32 bits = places(p + from) >> (i - from) << (i - from); bits != 0;
                 bits &= bits - 1)
                if (hit(from + std::countr_zero(bits)))
                    return true;
        }
        return codes_[p[last]] && hit(last);
    }

    // Each byte and the one after it compared with those of the first K
    // characters (kEqualMax at most; unused places repeat the first one).
    template <int K, class Hit> bool ScanEqual(const uchar *p, qsizetype n, Hit &hit) const {
        return ScanPlaces<16>(p, n, hit, [this](const uchar *at) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + 1));
            __m128i m = _mm_setzero_si128();
            for (int j = 0; j < K; ++j)
                m = _mm_or_si128(
                    m, _mm_and_si128(_mm_cmpeq_epi8(v, equalFirst_[j]),
                                     _mm_or_si128(_mm_cmpeq_epi8(w, equalNext_[j]), equalAny_[j])));
            return quint32(_mm_movemask_epi8(m));
        });
    }

    template <int K, class Hit>
    __attribute__((target("avx2"))) bool ScanEqualWide(const uchar *p, qsizetype n,
                                                       Hit &hit) const {
        __m256i first[K], next[K], any[K];
        for (int j = 0; j < K; ++j) {
            first[j] = _mm256_broadcastsi128_si256(equalFirst_[j]);
            next[j] = _mm256_broadcastsi128_si256(equalNext_[j]);
            any[j] = _mm256_broadcastsi128_si256(equalAny_[j]);
        }
        return ScanPlaces<32>(
            p, n, hit, [&](const uchar *at) __attribute__((target("avx2"))) {
                const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
                const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at + 1));
                __m256i m = _mm256_setzero_si256();
                for (int j = 0; j < K; ++j)
                    m = _mm256_or_si256(
                        m,
                        _mm256_and_si256(_mm256_cmpeq_epi8(v, first[j]),
                                         _mm256_or_si256(_mm256_cmpeq_epi8(w, next[j]), any[j])));
                return quint32(_mm256_movemask_epi8(m));
            });
    }

    // Each byte and the one after it looked up by their nibbles: a place
    // where the entries of all four nibbles share a bit.
    template <class Hit>
    __attribute__((target("ssse3"))) bool ScanNibbles(const uchar *p, qsizetype n, Hit &hit) const {
        const auto table = [](const std::array<uchar, 16> &t) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i *>(t.data()));
        };
        const __m128i firstLow = table(firstLow_), firstHigh = table(firstHigh_);
        const __m128i nextLow = table(nextLow_), nextHigh = table(nextHigh_);
        return ScanPlaces<16>(
            p, n, hit, [&](const uchar *at) __attribute__((target("ssse3"))) {
                const __m128i fifteen = _mm_set1_epi8(0x0F);
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
                const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + 1));
                const __m128i m = _mm_and_si128(
                    _mm_and_si128(
                        _mm_shuffle_epi8(firstLow, _mm_and_si128(v, fifteen)),
                        _mm_shuffle_epi8(firstHigh, _mm_and_si128(_mm_srli_epi16(v, 4), fifteen))),
                    _mm_and_si128(
                        _mm_shuffle_epi8(nextLow, _mm_and_si128(w, fifteen)),
                        _mm_shuffle_epi8(nextHigh, _mm_and_si128(_mm_srli_epi16(w, 4), fifteen))));
                return ~quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(m, _mm_setzero_si128()))) &
                       0xFFFFu;
            });
    }

    template <class Hit>
    __attribute__((target("avx2"))) bool ScanNibblesWide(const uchar *p, qsizetype n,
                                                         Hit &hit) const {
        const auto table = [](const std::array<uchar, 16> &t) {
            return reinterpret_cast<const __m128i *>(t.data());
        };
        const __m256i firstLow = _mm256_broadcastsi128_si256(_mm_loadu_si128(table(firstLow_)));
        const __m256i firstHigh = _mm256_broadcastsi128_si256(_mm_loadu_si128(table(firstHigh_)));
        const __m256i nextLow = _mm256_broadcastsi128_si256(_mm_loadu_si128(table(nextLow_)));
        const __m256i nextHigh = _mm256_broadcastsi128_si256(_mm_loadu_si128(table(nextHigh_)));
        return ScanPlaces<32>(
            p, n, hit, [&](const uchar *at) __attribute__((target("avx2"))) {
                const __m256i fifteen = _mm256_set1_epi8(0x0F);
                const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at));
                const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at + 1));
                const __m256i m = _mm256_and_si256(
                    _mm256_and_si256(
                        _mm256_shuffle_epi8(firstLow, _mm256_and_si256(v, fifteen)),
                        _mm256_shuffle_epi8(firstHigh,
                                            _mm256_and_si256(_mm256_srli_epi16(v, 4), fifteen))),
                    _mm256_and_si256(
                        _mm256_shuffle_epi8(nextLow, _mm256_and_si256(w, fifteen)),
                        _mm256_shuffle_epi8(nextHigh,
                                            _mm256_and_si256(_mm256_srli_epi16(w, 4), fifteen))));
                return ~quint32(_mm256_movemask_epi8(_mm256_cmpeq_epi8(m, _mm256_setzero_si256())));
            });
    }
#endif

    std::bitset<65536> codes_;
    std::array<bool, 256> first_{}; // first bytes of the characters
    std::vector<uchar> singles_;
    std::vector<Code> pairs_;
    std::array<uchar, 16> firstLow_{}, firstHigh_{}, nextLow_{}, nextHigh_{};
#if defined(__SSE2__)
    static constexpr size_t kEqualMax = 4;
    __m128i equalFirst_[kEqualMax] = {}, equalNext_[kEqualMax] = {}, equalAny_[kEqualMax] = {};
#endif
    std::vector<qsizetype> inMarker_;
    double weight_ = 0;
};

// Besides the first letter, at most this many letters are scanned for.
constexpr size_t kMaxFilters = 2;
// Letters looked at when choosing them.
constexpr size_t kMaxLettersWeighed = 32;

// A piece of a memo's folded text: what one character gives (with the
// joining characters after it), or the line end of a line-break marker.
struct Piece {
    std::u16string_view units;
    qsizetype next; // where the next piece starts
};

} // namespace

struct MemoMatcher::Impl {
    Impl(const QString &searchText, FindOptions options)
        : cp(Cp932Table::Get()), table(FoldTableFor(options)),
          needle(View(FoldForFind(searchText, options))) {}

    const Cp932Table &cp;
    const FoldTable &table;
    std::u16string needle;
    bool never = false;
    // Letters of the search text a memo must hold, rarest first.
    std::vector<Anchor> filters;
    // The characters that can give its first letter: each place one of them
    // stands is where the search text may start. Unusable (empty) when the
    // first letter is a line end or comes from a joining character; the
    // whole memo is then folded and searched.
    Anchor head;
    bool headUsable = false;
    // Room for what a cluster folds to, and for the folded text of a memo,
    // kept between calls so that they are allocated once.
    mutable QString clusterFolded, pieceFolded;
    mutable std::u16string folded;

    Anchor AnchorFor(char16_t letter) const;
    Piece PieceAt(const uchar *p, qsizetype i, qsizetype end, QString &room) const;
    bool StartsAt(const uchar *p, qsizetype i, qsizetype end) const;
    bool Contains(const uchar *p, qsizetype n) const;
};

Anchor MemoMatcher::Impl::AnchorFor(char16_t letter) const {
    Anchor a;
    for (const Code c : cp.Codes())
        if (table.Fold(c).find(letter) != std::u16string_view::npos)
            a.Add(c);
    for (const FoldTable::Composite &k : table.Composites())
        if (k.extra.find(letter) != std::u16string::npos)
            a.Add(k.code);
    a.Prepare(cp);
    return a;
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
    std::vector<Anchor> filters;
    for (const char16_t letter : letters) {
        filters.push_back(d->AnchorFor(letter));
        if (filters.back().Empty()) {
            d->never = true; // no memo can give this letter
            return;
        }
    }
    std::stable_sort(filters.begin(), filters.end(),
                     [](const Anchor &a, const Anchor &b) { return a.Weight() < b.Weight(); });
    if (filters.size() > kMaxFilters)
        filters.resize(kMaxFilters);
    d->filters = std::move(filters);

    if (scannable(first)) {
        d->head = d->AnchorFor(first);
        if (d->head.Empty()) {
            d->never = true;
            return;
        }
        d->headUsable = true;
        for (const Code c : d->cp.Codes())
            if (d->table.Joins(c) && d->head.Has(c))
                d->headUsable = false;
    }
}

MemoMatcher::~MemoMatcher() = default;

bool MemoMatcher::Matches(QByteArrayView record) const {
    if (d->needle.empty())
        return true;
    if (d->never)
        return false;
    const auto *p = reinterpret_cast<const uchar *>(record.constData());
    const qsizetype n = record.size();
    for (const Anchor &a : d->filters)
        if (!a.Find(p, n, d->cp, [](qsizetype, qsizetype) { return true; }))
            return false;
    if (!d->headUsable)
        return d->Contains(p, n);
    return d->head.Find(p, n, d->cp,
                        [this, p](qsizetype at, qsizetype end) { return d->StartsAt(p, at, end); });
}

Piece MemoMatcher::Impl::PieceAt(const uchar *p, qsizetype i, qsizetype end, QString &room) const {
    // A line-break marker never starts inside a character: its first byte
    // is no trail byte.
    if (p[i] == '<' && LineBreakMarkerAt(p, i, end))
        return {table.LineEnd(), i + LineBreakMarker().size()};
    int length = cp.LengthAt(p, i, end);
    const Code c = cp.CodeAt(p, i, length);
    qsizetype next = i + length;
    if (next < end) {
        length = cp.LengthAt(p, next, end);
        Code after = cp.CodeAt(p, next, length);
        if (table.Joins(after)) {
            QString cluster(QChar(cp.Unit(c)));
            while (table.Joins(after)) {
                cluster += QChar(cp.Unit(after));
                next += length;
                if (next >= end)
                    break;
                length = cp.LengthAt(p, next, end);
                after = cp.CodeAt(p, next, length);
            }
            room = FoldForFind(cluster, table.Options());
            return {View(room), next};
        }
    }
    return {table.Fold(c), next};
}

// Whether the folded search text starts within the piece that starts at
// byte i and goes on in the pieces after it.
bool MemoMatcher::Impl::StartsAt(const uchar *p, qsizetype i, qsizetype end) const {
    const std::u16string_view wanted(needle);
    const Piece first = PieceAt(p, i, end, clusterFolded);
    for (size_t t = 0; t < first.units.size(); ++t) {
        if (first.units[t] != wanted.front())
            continue;
        std::u16string_view units = first.units.substr(t);
        qsizetype next = first.next;
        size_t matched = 0;
        for (;;) {
            const size_t m = std::min(units.size(), wanted.size() - matched);
            if (units.substr(0, m) != wanted.substr(matched, m))
                break;
            matched += m;
            if (matched == wanted.size())
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
    const qsizetype end = TextEnd(p, n);
    folded.clear();
    for (qsizetype i = 0; i < end;) {
        const Piece piece = PieceAt(p, i, end, pieceFolded);
        folded += piece.units;
        i = piece.next;
    }
    return QStringView(folded).indexOf(QStringView(needle)) >= 0;
}

void LimitFindScans(int level) {
    scanLevelLimit = std::clamp(level, int(kPlain), int(kAvx2));
}

namespace {

template <class List>
FindResult FindIn(const List &records, qsizetype selected, bool forward,
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

} // namespace

FindResult FindInRecords(const QList<QByteArray> &records, qsizetype selected, bool forward,
                         const MemoMatcher &matcher) {
    return FindIn(records, selected, forward, matcher);
}

FindResult FindInRecords(const Records &records, qsizetype selected, bool forward,
                         const MemoMatcher &matcher) {
    return FindIn(records, selected, forward, matcher);
}
