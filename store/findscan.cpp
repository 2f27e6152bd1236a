#include "store/findscan.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

enum ScanLevels { kPlain, kSse2, kSsse3, kAvx2 };
std::atomic<int> scanLevelLimit{kAvx2};

int ScanLevel() {
#if defined(__SSE2__)
    static const int processor = __builtin_cpu_supports("avx2")    ? kAvx2
                                 : __builtin_cpu_supports("ssse3") ? kSsse3
                                                                   : kSse2;
    return std::min(processor, scanLevelLimit.load(std::memory_order_relaxed));
#else
    return kPlain;
#endif
}

} // namespace

qsizetype MemoTextEnd(const uchar *p, qsizetype n) {
    // The colour marker is rare and starts with a rare byte.
    for (const uchar *at = p, *end = p + n; at < end; ++at) {
        at = static_cast<const uchar *>(std::memchr(at, '<', size_t(end - at)));
        if (!at)
            break;
        if (QByteArrayView(at, end - at).startsWith(ColorMarker()))
            return at - p;
    }
    return n;
}

void LimitFindScans(int level) {
    scanLevelLimit = std::clamp(level, int(kPlain), int(kAvx2));
}

bool CharacterScan::Add(Cp932Code c) {
    if (codes_[c])
        return false;
    codes_.set(c);
    first_[c < 0x100 ? c : c >> 8] = true;
    if (c < 0x100)
        singles_.push_back(uchar(c));
    else
        pairs_.push_back(c);
    return true;
}

void CharacterScan::Prepare() {
    const Cp932Table &cp = Cp932Table::Get();
    const auto *m = reinterpret_cast<const uchar *>(LineBreakMarker().constData());
    const qsizetype size = LineBreakMarker().size();
    for (qsizetype k = 0; k < size;) {
        const int length = cp.LengthAt(m, k, size);
        if (codes_[cp.CodeAt(m, k, length)])
            inMarker_.push_back(k);
        k += length;
    }
    // The single-byte characters form one group, which takes any next byte;
    // the double-byte ones a group per lead byte, as far as eight go.
    const int singleGroups = singles_.empty() ? 0 : 1;
    for (const uchar b : singles_) {
        firstLow_[b & 0x0F] |= 1;
        firstHigh_[b >> 4] |= 1;
    }
    if (singleGroups) {
        nextLow_.fill(1);
        nextHigh_.fill(1);
    }
    std::vector<uchar> leads;
    for (const Cp932Code c : pairs_) {
        const qsizetype lead = std::ranges::find(leads, uchar(c >> 8)) - leads.begin();
        if (lead == qsizetype(leads.size()))
            leads.push_back(uchar(c >> 8));
        const auto bit = uchar(1 << (singleGroups + lead % (8 - singleGroups)));
        firstLow_[(c >> 8) & 0x0F] |= bit;
        firstHigh_[c >> 12] |= bit;
        nextLow_[c & 0x0F] |= bit;
        nextHigh_[(c >> 4) & 0x0F] |= bit;
    }
    // Singles first, then pairs; places beyond their number repeat the first.
    const qsizetype count = qsizetype(singles_.size() + pairs_.size());
    for (qsizetype k = 0; k < kEqualMax && count > 0; ++k) {
        const qsizetype at = k < count ? k : 0;
        const bool single = at < qsizetype(singles_.size());
        const Cp932Code c = single ? singles_[at] : pairs_[at - singles_.size()];
        equalFirst_[k].fill(uchar(single ? c : c >> 8));
        equalNext_[k].fill(uchar(single ? 0 : c & 0xFF));
        equalAny_[k].fill(single ? 0xFF : 0);
    }
}

// The scans over a record's bytes: hit(i) is called for each place i where
// one of the characters may start, in order, until it returns true.
class ScanKernels {
  public:
    template <class Hit>
    static bool ScanBytes(const CharacterScan &s, const uchar *p, qsizetype n, Hit &hit) {
        for (qsizetype i = 0; i < n; ++i)
            if (s.first_[p[i]] && hit(i))
                return true;
        return false;
    }

#if defined(__SSE2__)
    // Blocks of W starting places, the last block overlapping the one before;
    // places(at) tells which of the W from at may start one of the characters,
    // as bits. The last byte has no byte after it: only a single-byte character
    // starts there.
    template <int W, class Hit, class Places>
    __attribute__((always_inline)) static bool ScanPlaces(const CharacterScan &s, const uchar *p,
                                                          qsizetype n, Hit &hit, Places &&places) {
        const qsizetype last = n - 1;
        if (last < W)
            return ScanBytes(s, p, n, hit);
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
        return s.codes_[p[last]] && hit(last);
    }

    // Sixteen bytes of a table, to look up or compare with.
    static __m128i Table(const std::array<uchar, 16> &t) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(t.data()));
    }

    // Each byte and the one after it compared with those of the first K
    // characters (kEqualMax at most; unused places repeat the first one).
    template <int K, class Hit>
    static bool ScanEqual(const CharacterScan &s, const uchar *p, qsizetype n, Hit &hit) {
        __m128i first[K], next[K], any[K];
        for (int j = 0; j < K; ++j) {
            first[j] = Table(s.equalFirst_[j]);
            next[j] = Table(s.equalNext_[j]);
            any[j] = Table(s.equalAny_[j]);
        }
        return ScanPlaces<16>(s, p, n, hit, [&](const uchar *at) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + 1));
            __m128i m = _mm_setzero_si128();
            for (int j = 0; j < K; ++j)
                m = _mm_or_si128(m,
                                 _mm_and_si128(_mm_cmpeq_epi8(v, first[j]),
                                               _mm_or_si128(_mm_cmpeq_epi8(w, next[j]), any[j])));
            return quint32(_mm_movemask_epi8(m));
        });
    }

    template <int K, class Hit>
    __attribute__((target("avx2"))) static bool
    ScanEqualWide(const CharacterScan &s, const uchar *p, qsizetype n, Hit &hit) {
        __m256i first[K], next[K], any[K];
        for (int j = 0; j < K; ++j) {
            first[j] = _mm256_broadcastsi128_si256(Table(s.equalFirst_[j]));
            next[j] = _mm256_broadcastsi128_si256(Table(s.equalNext_[j]));
            any[j] = _mm256_broadcastsi128_si256(Table(s.equalAny_[j]));
        }
        return ScanPlaces<32>(
            s, p, n, hit, [&](const uchar *at) __attribute__((target("avx2"))) {
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

    // Each byte and the one after it looked up by their nibbles: a place where
    // the entries of all four nibbles share a bit.
    template <class Hit>
    __attribute__((target("ssse3"))) static bool ScanNibbles(const CharacterScan &s, const uchar *p,
                                                             qsizetype n, Hit &hit) {
        const __m128i firstLow = Table(s.firstLow_), firstHigh = Table(s.firstHigh_);
        const __m128i nextLow = Table(s.nextLow_), nextHigh = Table(s.nextHigh_);
        return ScanPlaces<16>(
            s, p, n, hit, [&](const uchar *at) __attribute__((target("ssse3"))) {
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
    __attribute__((target("avx2"))) static bool
    ScanNibblesWide(const CharacterScan &s, const uchar *p, qsizetype n, Hit &hit) {
        const __m256i firstLow = _mm256_broadcastsi128_si256(Table(s.firstLow_));
        const __m256i firstHigh = _mm256_broadcastsi128_si256(Table(s.firstHigh_));
        const __m256i nextLow = _mm256_broadcastsi128_si256(Table(s.nextLow_));
        const __m256i nextHigh = _mm256_broadcastsi128_si256(Table(s.nextHigh_));
        return ScanPlaces<32>(
            s, p, n, hit, [&](const uchar *at) __attribute__((target("avx2"))) {
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
};

bool CharacterScan::Find(const uchar *p, qsizetype n, ScanAccept accept) const {
    // The scan stops where a character may start (its byte, or its two
    // bytes, are those of one of the characters) and only then finds out
    // where the characters around there start.
    const Cp932Table &cp = Cp932Table::Get();
    qsizetype start = 0; // always the first byte of a character
    qsizetype end = -1;  // where the memo text ends, once needed
    const auto hit = [&](qsizetype pos) {
        if (!codes_[p[pos]] && !(pos + 1 < n && codes_[Cp932Code(p[pos] << 8 | p[pos + 1])]))
            return false;
        // A byte that is not a lead byte ends a character (a single one or a
        // trail byte): the next byte starts one. Back from pos to such a
        // byte, then forward character by character.
        qsizetype q = pos;
        while (q > start && IsCp932LeadByte(p[q - 1]))
            --q;
        while (q < pos)
            q += cp.LengthAt(p, q, n);
        start = q;
        if (q != pos || !codes_[cp.CodeAt(p, q, cp.LengthAt(p, q, n))])
            return false;
        for (const qsizetype k : inMarker_)
            if (q >= k && LineBreakMarkerAt(p, q - k, n))
                return false;
        if (end < 0)
            end = MemoTextEnd(p, n);
        return q < end && accept(q, end);
    };
#if defined(__SSE2__)
    // The widest blocks the processor takes, where the record fills one.
    const int level = ScanLevel();
    const size_t characters = singles_.size() + pairs_.size();
    const bool wide = n > 32 && level >= kAvx2;
    if (level >= kSse2) {
        if (characters == 1)
            return wide ? ScanKernels::ScanEqualWide<1>(*this, p, n, hit)
                        : ScanKernels::ScanEqual<1>(*this, p, n, hit);
        if (characters == 2)
            return wide ? ScanKernels::ScanEqualWide<2>(*this, p, n, hit)
                        : ScanKernels::ScanEqual<2>(*this, p, n, hit);
        if (wide)
            return ScanKernels::ScanNibblesWide(*this, p, n, hit);
        if (level >= kSsse3)
            return ScanKernels::ScanNibbles(*this, p, n, hit);
        if (characters <= kEqualMax)
            return ScanKernels::ScanEqual<kEqualMax>(*this, p, n, hit);
    }
#endif
    return ScanKernels::ScanBytes(*this, p, n, hit);
}
