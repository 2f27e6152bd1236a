#include "tests/runner/qvs_parser.h"

#include "platform/cp932.h"

#include <QStringDecoder>

namespace qvs {

namespace {

bool IsBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

int HexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

void AppendText(Word &w, const QString &s) {
    if (w.pieces.isEmpty() || w.pieces.last().raw)
        w.pieces.append(Piece{false, QString(), '\0'});
    w.pieces.last().text += s;
}

void ReplaceDir(Word &w, const QString &dir) {
    for (Piece &p : w.pieces)
        if (!p.raw)
            p.text.replace(QStringLiteral("$DIR"), dir);
}

// One line of the script without its line end, checked as UTF-8.
std::optional<QString> DecodeLine(const QByteArray &bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return s;
}

} // namespace

QString Word::text() const {
    QString out;
    QByteArray run;
    for (const Piece &p : pieces) {
        if (p.raw) {
            run.append(p.byte);
            continue;
        }
        if (!run.isEmpty()) {
            out += DecodeCp932(run);
            run.clear();
        }
        out += p.text;
    }
    if (!run.isEmpty())
        out += DecodeCp932(run);
    return out;
}

std::optional<QByteArray> Word::bytes(QString *bad) const {
    QByteArray out;
    for (const Piece &p : pieces) {
        if (p.raw) {
            out.append(p.byte);
            continue;
        }
        const std::optional<QByteArray> enc = EncodeCp932(p.text, bad);
        if (!enc)
            return std::nullopt;
        out += *enc;
    }
    return out;
}

std::optional<QList<Word>> SplitWords(const QString &line, const QString &dir, QString *error) {
    QList<Word> words;
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (true) {
        while (i < n && IsBlank(line[i]))
            ++i;
        if (i >= n)
            break;
        Word w;
        if (line[i] == QLatin1Char('"')) {
            w.quoted = true;
            const qsizetype start = i;
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = line[i];
                if (c == QLatin1Char('"')) {
                    closed = true;
                    ++i;
                    break;
                }
                if (c != QLatin1Char('\\')) {
                    AppendText(w, QString(c));
                    ++i;
                    continue;
                }
                if (i + 1 >= n) {
                    *error = QStringLiteral("a backslash ends the line inside a quoted word");
                    return std::nullopt;
                }
                const QChar e = line[i + 1];
                switch (e.unicode()) {
                case u'\\':
                    AppendText(w, QStringLiteral("\\"));
                    i += 2;
                    break;
                case u'"':
                    AppendText(w, QStringLiteral("\""));
                    i += 2;
                    break;
                case u'r':
                    AppendText(w, QStringLiteral("\r"));
                    i += 2;
                    break;
                case u'n':
                    AppendText(w, QStringLiteral("\n"));
                    i += 2;
                    break;
                case u't':
                    AppendText(w, QStringLiteral("\t"));
                    i += 2;
                    break;
                case u'x': {
                    const int hi = i + 2 < n ? HexValue(line[i + 2]) : -1;
                    const int lo = i + 3 < n ? HexValue(line[i + 3]) : -1;
                    if (hi < 0 || lo < 0) {
                        *error = QStringLiteral("\\x must be followed by two hexadecimal digits");
                        return std::nullopt;
                    }
                    w.pieces.append(Piece{true, QString(), char(hi * 16 + lo)});
                    i += 4;
                    break;
                }
                default:
                    *error = QStringLiteral("unknown escape \\") + e;
                    return std::nullopt;
                }
            }
            if (!closed) {
                *error =
                    QStringLiteral("the quoted word at column %1 is not closed").arg(start + 1);
                return std::nullopt;
            }
            if (i < n && !IsBlank(line[i])) {
                *error =
                    QStringLiteral("a blank must follow the closing quote at column %1").arg(i);
                return std::nullopt;
            }
        } else {
            const qsizetype start = i;
            while (i < n && !IsBlank(line[i])) {
                if (line[i] == QLatin1Char('"')) {
                    *error = QStringLiteral("a quote inside the unquoted word at column %1")
                                 .arg(start + 1);
                    return std::nullopt;
                }
                ++i;
            }
            AppendText(w, line.mid(start, i - start));
        }
        ReplaceDir(w, dir);
        words.append(w);
    }
    return words;
}

std::optional<Script> Parse(const QByteArray &utf8, const QString &dir, ParseError *error) {
    QByteArray data = utf8;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QList<QByteArray> lines = data.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the line end of the last line
    for (QByteArray &l : lines)
        if (l.endsWith('\r'))
            l.chop(1);

    Script script;
    script.lastLine = int(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNo = int(i + 1);
        const std::optional<QString> line = DecodeLine(lines[i]);
        if (!line) {
            *error = ParseError{lineNo, QStringLiteral("the line is not valid UTF-8")};
            return std::nullopt;
        }
        const QString trimmed = line->trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        QString message;
        std::optional<QList<Word>> words = SplitWords(*line, dir, &message);
        if (!words) {
            *error = ParseError{lineNo, message};
            return std::nullopt;
        }
        Step step;
        step.line = lineNo;
        step.words = *words;
        const Word &last = step.words.last();
        const QString lastText = last.text();
        if (!last.quoted && lastText.startsWith(QStringLiteral("<<")) && lastText.size() > 2) {
            // The heredoc's terminator word was replaced like any word; take
            // it from the raw line instead, so "$DIR" in it stays as written.
            QString terminator = line->trimmed();
            terminator = terminator.mid(terminator.lastIndexOf(QStringLiteral("<<")) + 2);
            QStringList body;
            bool closed = false;
            qsizetype j = i + 1;
            for (; j < lines.size(); ++j) {
                const std::optional<QString> bodyLine = DecodeLine(lines[j]);
                if (!bodyLine) {
                    *error = ParseError{int(j + 1), QStringLiteral("the line is not valid UTF-8")};
                    return std::nullopt;
                }
                if (*bodyLine == terminator) {
                    closed = true;
                    break;
                }
                body.append(*bodyLine);
            }
            if (!closed) {
                *error = ParseError{
                    lineNo, QStringLiteral("no line %1 closes the heredoc <<%1").arg(terminator)};
                return std::nullopt;
            }
            Word here;
            here.heredoc = true;
            AppendText(here, body.join(QLatin1Char('\n')));
            ReplaceDir(here, dir);
            step.words.last() = here;
            i = j;
        }
        script.steps.append(step);
    }
    return script;
}

QString QuoteText(const QString &text) {
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'"':
            out += QStringLiteral("\\\"");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                out +=
                    QStringLiteral("\\x") +
                    QString::number(c.unicode(), 16).rightJustified(2, QLatin1Char('0')).toUpper();
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString QuoteBytes(const QByteArray &bytes) {
    QString out = QStringLiteral("\"");
    auto hex = [&out](unsigned char b) {
        out += QStringLiteral("\\x") +
               QString::number(b, 16).rightJustified(2, QLatin1Char('0')).toUpper();
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x20 && b < 0x7F) {
            if (b == '\\' || b == '"')
                out += QLatin1Char('\\');
            out += QLatin1Char(char(b));
        } else if (b == '\r') {
            out += QStringLiteral("\\r");
        } else if (b == '\n') {
            out += QStringLiteral("\\n");
        } else if (b == '\t') {
            out += QStringLiteral("\\t");
        } else if (b >= 0xA1 && b <= 0xDF) {
            out += DecodeCp932(bytes.mid(i, 1));
        } else if (IsCp932LeadByte(b) && i + 1 < bytes.size()) {
            const QString ch = DecodeCp932(bytes.mid(i, 2));
            if (ch.size() == 1 && ch[0] != QChar::ReplacementCharacter) {
                out += ch;
                ++i;
            } else {
                hex(b);
            }
        } else {
            hex(b);
        }
    }
    out += QLatin1Char('"');
    return out;
}

} // namespace qvs
