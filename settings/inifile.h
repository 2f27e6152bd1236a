// The settings file: a private-profile (INI) text file in code page 932.
// Every call opens the file by its path, reads or writes, and lets it go;
// nothing is held between calls. Sections and keys match without regard to
// ASCII case; values are byte strings.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace Ini {

// The value of key in section; def when the file, section or key is missing.
// A key present with an empty value gives empty text. At most 2047 bytes.
QByteArray ReadString(const QString &path, const QByteArray &section, const QByteArray &key,
                      const QByteArray &def);
// The value read as text and converted: "0x" turned into "$" when the text is
// longer than two bytes, then ParseInteger; def when that fails.
qint32 ReadInteger(const QString &path, const QByteArray &section, const QByteArray &key,
                   qint32 def);
// Writes key = value, creating the file, section and key as needed. The file
// is replaced atomically. Throws AppError "%s に書き込めません" on failure.
void WriteString(const QString &path, const QByteArray &section, const QByteArray &key,
                 const QByteArray &value);
void WriteInteger(const QString &path, const QByteArray &section, const QByteArray &key,
                  qint32 value);
// Removes the section and its keys; no error when it is not there.
void EraseSection(const QString &path, const QByteArray &section);

// The conversion of ReadInteger on a value already read.
std::optional<qint32> ConvertInteger(const QByteArray &text);

} // namespace Ini
