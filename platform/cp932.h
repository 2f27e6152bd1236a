// Code page 932 (the Windows variant of Shift_JIS): every file the program
// reads or writes is in it. Records stay bytes; these are the only crossings
// between those bytes and screen text.
#pragma once

#include <QByteArray>
#include <QString>
#include <bitset>
#include <optional>
#include <vector>

// Bytes to screen text. Bytes that are not valid code page 932 show as the
// replacement character U+FFFD.
QString DecodeCp932(const QByteArray &bytes);

// Screen text to bytes. When a character has no code page 932 form the result
// is empty and *firstBad (when given) receives that character.
std::optional<QByteArray> EncodeCp932(const QString &text, QString *firstBad = nullptr);

// True when the byte is a lead byte of a double-byte character.
inline bool IsCp932LeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// A character of code page 932 as a number: a single byte b is b; a
// double-byte character of lead byte L and trail byte T is L * 256 + T, at
// least 0x8140, so the two kinds never meet.
using Cp932Code = quint16;

// Every character of code page 932 as DecodeCp932 reads it, asked of it once
// on first use and kept for the run, for code that walks bytes character by
// character without decoding them.
class Cp932Table {
  public:
    static const Cp932Table &Get();

    // The UTF-16 unit of a code; U+FFFD for a single byte that stands for no
    // character (a lead byte alone included).
    char16_t Unit(Cp932Code c) const { return unit_[c]; }
    // Every code that is a character: the 256 single bytes, then the pairs.
    const std::vector<Cp932Code> &Codes() const { return codes_; }

    // The length of the character at p[i] (i < end) as DecodeCp932 reads the
    // bytes up to end: 2 for a lead byte that makes a character with the
    // byte after it, else 1.
    int LengthAt(const uchar *p, qsizetype i, qsizetype end) const {
        return i + 1 < end && pair_[PairAt(p, i)] ? 2 : 1;
    }
    static Cp932Code CodeAt(const uchar *p, qsizetype i, int length) {
        return length == 2 ? PairAt(p, i) : Cp932Code(p[i]);
    }

  private:
    Cp932Table();
    static Cp932Code PairAt(const uchar *p, qsizetype i) { return Cp932Code(p[i] << 8 | p[i + 1]); }

    std::vector<char16_t> unit_;
    std::bitset<65536> pair_;
    std::vector<Cp932Code> codes_;
};
