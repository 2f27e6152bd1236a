// The scenario script format (*.qvs): one step a line, words separated by
// blanks, quoted words with escapes, $DIR, and heredoc arguments. The parser
// knows nothing of the program or its widgets; it only turns script text into
// steps whose words can be read both as screen text and as code page 932 bytes.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace qvs {

// A piece of a word: text typed in the script, or one raw byte written as \xHH.
struct Piece {
    bool raw = false;
    QString text;     // when !raw
    char byte = '\0'; // when raw
};

struct Word {
    QList<Piece> pieces;
    bool quoted = false;
    bool heredoc = false;

    // The word as screen text: text pieces as written; runs of raw bytes are
    // decoded as code page 932.
    QString text() const;
    // The word as bytes: text pieces in code page 932, raw bytes unchanged.
    // nullopt when a character has no code page 932 form (*bad receives it).
    std::optional<QByteArray> bytes(QString *bad = nullptr) const;
    // True when the word is exactly this unquoted keyword (or the same text quoted).
    bool is(const char *keyword) const { return text() == QLatin1String(keyword); }
};

struct Step {
    int line = 0; // from 1
    QList<Word> words;
};

struct ParseError {
    int line = 0;
    QString message;
};

struct Script {
    QList<Step> steps;
    int lastLine = 0; // the number of the file's last line
};

// Splits one line into words by the lexical rules. $DIR in any word is
// replaced by dir. Returns the error message in *error on failure.
std::optional<QList<Word>> SplitWords(const QString &line, const QString &dir, QString *error);

// Parses a whole script (UTF-8). On failure returns nullopt and fills *error.
std::optional<Script> Parse(const QByteArray &utf8, const QString &dir, ParseError *error);

// A readable, script-like form of bytes for failure reports: printable ASCII
// and code page 932 characters as themselves, other bytes as escapes, quoted.
QString QuoteBytes(const QByteArray &bytes);
// The same for screen text.
QString QuoteText(const QString &text);

} // namespace qvs
