// Finding a few code page 932 characters in the bytes of a memo record
// without decoding it: many starting places are compared at a time with the
// widest vector instructions the processor has, and only where the bytes
// match is it worked out whether a character really starts there.
#pragma once

#include "platform/cp932.h"
#include "store/record.h"

#include <QByteArrayView>
#include <array>
#include <bitset>
#include <type_traits>
#include <vector>

// Where the memo text of a record ends: at its first colour marker.
qsizetype MemoTextEnd(const uchar *p, qsizetype n);

// Whether a line-break marker starts at p[i], within p[0..end).
inline bool LineBreakMarkerAt(const uchar *p, qsizetype i, qsizetype end) {
    return QByteArrayView(p + i, end - i).startsWith(LineBreakMarker());
}

// The widest vector instructions the scans use: 0 none, 1 SSE2, 2 SSSE3,
// 3 AVX2, never more than the processor has. The answers are the same at
// every level; tests compare each level with a plain scan. The program
// leaves it at 3.
void LimitFindScans(int level);

// What to do with a character found: called with its first byte and where
// the memo text ends; true ends the scan.
class ScanAccept {
  public:
    template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, ScanAccept>) ScanAccept(F &&f)
        : f_(&f), call_([](const void *f, qsizetype at, qsizetype end) {
              return (*static_cast<const std::remove_reference_t<F> *>(f))(at, end);
          }) {}
    bool operator()(qsizetype at, qsizetype end) const { return call_(f_, at, end); }

  private:
    const void *f_;
    bool (*call_)(const void *, qsizetype, qsizetype);
};

// A set of characters to scan records for.
class CharacterScan {
  public:
    // Whether c is new to the set.
    bool Add(Cp932Code c);
    bool Empty() const { return singles_.empty() && pairs_.empty(); }
    // Made ready to scan, once every character is added.
    void Prepare();

    // Calls accept for each place in the memo text of the record p[0..n)
    // where one of the characters stands, in order, until it returns true;
    // whether one did. The bytes of a line-break marker stand for a line end,
    // never for a character of the set.
    bool Find(const uchar *p, qsizetype n, ScanAccept accept) const;

  private:
    friend class ScanKernels; // the scans themselves, one per vector width

    std::bitset<65536> codes_;
    std::array<bool, 256> first_{}; // first bytes of the characters
    std::vector<uchar> singles_;
    std::vector<Cp932Code> pairs_;
    // Where in the line-break marker one of the characters stands.
    std::vector<qsizetype> inMarker_;
    // The characters by nibbles, in eight groups: a character of a group may
    // start at a byte when the entries of that byte's two nibbles, and of the
    // next byte's, all hold the group's bit.
    std::array<uchar, 16> firstLow_{}, firstHigh_{}, nextLow_{}, nextHigh_{};
    // The first few characters as they are, each byte sixteen times over to
    // compare sixteen places at once: first and next byte, and whether any
    // next byte does (a single-byte character); places beyond their number
    // repeat the first.
    static constexpr int kEqualMax = 4;
    using Repeated = std::array<uchar, 16>;
    alignas(16) std::array<Repeated, kEqualMax> equalFirst_{}, equalNext_{}, equalAny_{};
};
