// Small byte-string helpers shared by the whole program.
#pragma once

#include <QByteArray>
#include <optional>

// Replaces every occurrence of find in s by repl, left to right, without
// overlap; text already replaced is never searched again. An empty find
// leaves s unchanged.
QByteArray ReplaceAll(const QByteArray &s, const QByteArray &find, const QByteArray &repl);

// Which hexadecimal digits count towards the limit of eight: only the
// significant ones (colours), or all of them, leading zeros included
// (settings).
enum class HexDigits { Significant, All };

// The integer that text spells: optional leading spaces, then an optional "+"
// or "-" and decimal digits (within the signed 32-bit range), or one of "$",
// "x", "X", "0x", "0X" and up to 8 hexadecimal digits, counted as hexDigits
// says, taken as a 32-bit pattern. Nothing may follow the digits. nullopt
// for anything else, the empty text included.
std::optional<qint32> ParseInteger(const QByteArray &text,
                                   HexDigits hexDigits = HexDigits::Significant);
