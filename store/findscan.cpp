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

#if defined(__SSE2__)
// Sixteen or thirty-two bytes side by side, compared and combined all at once
// by the compilers' vector operators. The operations that have none are
// functions for each width, for the processor level that has them; every
// scan that uses the wider lanes is compiled whole for that level (flatten).
typedef uchar Lanes16 __attribute__((vector_size(16)));
typedef uchar Lanes32 __attribute__((vector_size(32)));

template <class V> void Load(V &v, const uchar *at) {
    std::memcpy(&v, at, sizeof v);
}

// A table of sixteen bytes in every sixteen lanes.
template <class V> void Repeat(V &v, const std::array<uchar, 16> &t) {
    for (size_t at = 0; at < sizeof v; at += 16)
        std::memcpy(reinterpret_cast<uchar *>(&v) + at, t.data(), t.size());
}

// The top bit of each lane, lane 0 the lowest bit.
inline quint32 TopBits(const Lanes16 &v) {
    return quint32(_mm_movemask_epi8(__m128i(v)));
}
__attribute__((target("avx2"))) inline quint32 TopBits(const Lanes32 &v) {
    return quint32(_mm256_movemask_epi8(__m256i(v)));
}

// Each lane, a number from 0 to 15, replaced by that entry of its sixteen
// lanes of table.
__attribute__((target("ssse3"))) inline void LookUp(Lanes16 &v, const Lanes16 &table) {
    v = Lanes16(_mm_shuffle_epi8(__m128i(table), __m128i(v)));
}
__attribute__((target("avx2"))) inline void LookUp(Lanes32 &v, const Lanes32 &table) {
    v = Lanes32(_mm256_shuffle_epi8(__m256i(table), __m256i(v)));
}
#endif

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

    // Each byte and the one after it compared with those of the first K
    // characters (kEqualMax at most; unused places repeat the first one).
    template <class V, int K, class Hit>
    static bool ScanEqual(const CharacterScan &s, const uchar *p, qsizetype n, Hit &hit) {
        V first[K], next[K], any[K];
        for (int j = 0; j < K; ++j) {
            Repeat(first[j], s.equalFirst_[j]);
            Repeat(next[j], s.equalNext_[j]);
            Repeat(any[j], s.equalAny_[j]);
        }
        return ScanPlaces<sizeof(V)>(s, p, n, hit, [&](const uchar *at) {
            V v, w, m{};
            Load(v, at);
            Load(w, at + 1);
            for (int j = 0; j < K; ++j)
                m |= (v == first[j]) & ((w == next[j]) | any[j]);
            return TopBits(m);
        });
    }

    // Each byte and the one after it looked up by their nibbles: a place where
    // the entries of all four nibbles share a bit.
    template <class V, class Hit>
    static bool ScanNibbles(const CharacterScan &s, const uchar *p, qsizetype n, Hit &hit) {
        V firstLow, firstHigh, nextLow, nextHigh;
        Repeat(firstLow, s.firstLow_);
        Repeat(firstHigh, s.firstHigh_);
        Repeat(nextLow, s.nextLow_);
        Repeat(nextHigh, s.nextHigh_);
        return ScanPlaces<sizeof(V)>(s, p, n, hit, [&](const uchar *at) {
            V v, w;
            Load(v, at);
            Load(w, at + 1);
            V vLow = v & 0x0F, vHigh = (v >> 4) & 0x0F, wLow = w & 0x0F, wHigh = (w >> 4) & 0x0F;
            LookUp(vLow, firstLow);
            LookUp(vHigh, firstHigh);
            LookUp(wLow, nextLow);
            LookUp(wHigh, nextHigh);
            // The lanes where they share no bit, turned round.
            return ~TopBits((vLow & vHigh & wLow & wHigh) == 0) &
                   quint32((quint64(1) << sizeof(V)) - 1);
        });
    }

    // A scan compiled whole, with all it calls, for a processor level.
    template <class Scan> __attribute__((target("ssse3"), flatten)) static bool Ssse3(Scan scan) {
        return scan();
    }
    template <class Scan> __attribute__((target("avx2"), flatten)) static bool Avx2(Scan scan) {
        return scan();
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
    using K = ScanKernels;
    if (level >= kSse2) {
        if (characters == 1)
            return wide ? K::Avx2([&] { return K::ScanEqual<Lanes32, 1>(*this, p, n, hit); })
                        : K::ScanEqual<Lanes16, 1>(*this, p, n, hit);
        if (characters == 2)
            return wide ? K::Avx2([&] { return K::ScanEqual<Lanes32, 2>(*this, p, n, hit); })
                        : K::ScanEqual<Lanes16, 2>(*this, p, n, hit);
        if (wide)
            return K::Avx2([&] { return K::ScanNibbles<Lanes32>(*this, p, n, hit); });
        if (level >= kSsse3)
            return K::Ssse3([&] { return K::ScanNibbles<Lanes16>(*this, p, n, hit); });
        if (characters <= kEqualMax)
            return K::ScanEqual<Lanes16, kEqualMax>(*this, p, n, hit);
    }
#endif
    return ScanKernels::ScanBytes(*this, p, n, hit);
}
