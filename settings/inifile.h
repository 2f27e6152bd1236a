// The settings file: a private-profile (INI) text file in code page 932.
// Every call opens the file by its path, reads or writes, and lets it go;
// nothing is held between calls. Sections and keys match without regard to
// ASCII case; values are byte strings.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace Ini {

// The most bytes of a value that a read gives.
constexpr qsizetype kMaxValueBytes = 2047;

// The value of key in section, without blanks at either end; def when the
// file, section or key is missing. A key present with an empty value gives
// empty text. At most kMaxValueBytes bytes.
QByteArray ReadString(const QString &path, const QByteArray &section, const QByteArray &key,
                      const QByteArray &def);
// The same with the value exactly as it stands after the "=", blanks at
// either end kept: for a text that the user typed. A longer value is cut to
// kMaxValueBytes bytes, or one fewer where the cut would split a double-byte
// character.
QByteArray ReadExactString(const QString &path, const QByteArray &section, const QByteArray &key,
                           const QByteArray &def);
// The value read as text and converted: "0x" turned into "$" when the text is
// longer than two bytes, then ParseInteger with at most eight hexadecimal
// digits, leading zeros included; def when that fails.
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

// Several changes to the settings file made as one: the file is read once,
// the changes are made to its text, and Save replaces the file in one atomic
// write, so that the file holds either none of them or all. Reads through it
// see the changes made so far. The file's text after Save is the same as
// after the same calls made one by one on the file.
class Changes {
  public:
    // Reads the file; a missing one reads as empty. Throws "%s に書き込めません"
    // when it is there but cannot be read: a change is never made to a
    // file taken for empty by mistake.
    explicit Changes(const QString &path);
    QByteArray ReadString(const QByteArray &section, const QByteArray &key,
                          const QByteArray &def) const;
    QByteArray ReadExactString(const QByteArray &section, const QByteArray &key,
                               const QByteArray &def) const;
    qint32 ReadInteger(const QByteArray &section, const QByteArray &key, qint32 def) const;
    // Throw "%s に書き込めません" for a name or value the file cannot hold.
    void WriteString(const QByteArray &section, const QByteArray &key, const QByteArray &value);
    void WriteInteger(const QByteArray &section, const QByteArray &key, qint32 value);
    void EraseSection(const QByteArray &section);
    // Writes the file when a write or an erase was made; throws
    // "%s に書き込めません" when it cannot, the file then as it was.
    void Save();

  private:
    QString path_;
    QByteArray data_;
    bool changed_ = false;
};

// The conversion of ReadInteger on a value already read.
std::optional<qint32> ConvertInteger(const QByteArray &text);

// The bytes a path is kept as in the settings file, or nullopt when it cannot
// be kept there: it holds a character that code page 932 has no form for, or
// a line end or NUL, which no value can hold. *firstBad (when given) then
// receives the character.
std::optional<QByteArray> PathValue(const QString &path, QString *firstBad = nullptr);

} // namespace Ini
