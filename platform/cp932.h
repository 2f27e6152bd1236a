// Code page 932 (the Windows variant of Shift_JIS): every file the program
// reads or writes is in it. Records stay bytes; these are the only crossings
// between those bytes and screen text.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

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
