#include "settings/inifile.h"

#include "platform/apperror.h"
#include "platform/cp932.h"
#include "platform/fileio.h"
#include "store/common.h"

#include <algorithm>
#include <vector>

namespace Ini {

namespace {

// One line of the file: its text runs from begin to end, its line end (CR,
// LF or CR LF, or nothing on a last line) from end to next.
struct Line {
    qsizetype begin;
    qsizetype end;
    qsizetype next;
};

std::vector<Line> LinesOf(const QByteArray &data) {
    std::vector<Line> lines;
    const qsizetype n = data.size();
    qsizetype p = 0;
    while (p < n) {
        qsizetype q = p;
        while (q < n && data[q] != '\r' && data[q] != '\n')
            ++q;
        qsizetype next = q;
        if (next < n && data[next] == '\r')
            ++next;
        if (next < n && data[next] == '\n')
            ++next;
        lines.push_back({p, q, next});
        p = next;
    }
    return lines;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArray Trimmed(const char *b, const char *e) {
    while (b < e && IsBlank(*b))
        ++b;
    while (e > b && IsBlank(e[-1]))
        --e;
    return QByteArray(b, e - b);
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const QByteArray &a, const QByteArray &b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

// What a line of the file is.
struct Parsed {
    enum Kind { Other, Section, Entry } kind = Other;
    QByteArray name;             // the section or key name, trimmed
    const char *value = nullptr; // the bytes after the "=", to the end of the line
    const char *valueEnd = nullptr;
};

Parsed Parse(const QByteArray &data, const Line &line) {
    Parsed parsed;
    const char *b = data.constData() + line.begin;
    const char *e = data.constData() + line.end;
    while (b < e && IsBlank(*b))
        ++b;
    if (b < e && *b == '[') {
        parsed.kind = Parsed::Section;
        parsed.name = Trimmed(b + 1, std::find(b + 1, e, ']'));
        return parsed;
    }
    const char *eq = std::find(b, e, '=');
    if (eq == e)
        return parsed;
    parsed.kind = Parsed::Entry;
    parsed.name = Trimmed(b, eq);
    parsed.value = eq + 1;
    parsed.valueEnd = e;
    return parsed;
}

// Where a section lies: the index of its header line and one past its last
// line; header is -1 when the section is not there.
struct SectionRange {
    qsizetype header = -1;
    qsizetype end = 0;
};

SectionRange FindSection(const QByteArray &data, const std::vector<Line> &lines,
                         const QByteArray &section, qsizetype from = 0) {
    SectionRange range;
    const auto count = static_cast<qsizetype>(lines.size());
    for (qsizetype i = from; i < count; ++i) {
        const Parsed p = Parse(data, lines[i]);
        if (p.kind != Parsed::Section)
            continue;
        if (range.header >= 0) {
            range.end = i;
            return range;
        }
        if (SameName(p.name, section))
            range.header = i;
    }
    range.end = count;
    return range;
}

bool HoldsLineEnd(const QByteArray &s) {
    return s.contains('\r') || s.contains('\n') || s.contains('\0');
}

[[noreturn]] void WriteRefused(const QString &path) {
    throw AppError(path + QStringLiteral(" に書き込めません"));
}

// A line end inside a name or value would split the line and could plant
// other keys in the file: such a write is refused, the file untouched.
void CheckStorable(const QString &path, const QByteArray &section, const QByteArray &key,
                   const QByteArray &value) {
    if (HoldsLineEnd(section) || HoldsLineEnd(key) || HoldsLineEnd(value) ||
        section.contains(']') || key.contains('='))
        WriteRefused(path);
}

void Store(const QString &path, const QByteArray &data) {
    try {
        if (WriteFileAtomic(path, data))
            return;
    } catch (const AppError &) {
    }
    WriteRefused(path);
}

} // namespace

// The value of key in section of the file's text, as ReadString or, when
// exact, ReadExactString gives it.
static QByteArray ValueIn(const QByteArray &data, const QByteArray &section, const QByteArray &key,
                          const QByteArray &def, bool exact) {
    const std::vector<Line> lines = LinesOf(data);
    const SectionRange range = FindSection(data, lines, section);
    if (range.header < 0)
        return def;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const Parsed p = Parse(data, lines[i]);
        if (p.kind != Parsed::Entry || !SameName(p.name, key))
            continue;
        if (!exact)
            return Trimmed(p.value, p.valueEnd).left(kMaxValueBytes);
        const qsizetype length = p.valueEnd - p.value;
        if (length <= kMaxValueBytes)
            return QByteArray(p.value, length);
        // A longer value is cut between whole characters: a lead byte always
        // goes with the byte after it.
        qsizetype size = 0;
        for (;;) {
            const qsizetype next = size + (IsCp932LeadByte(uchar(p.value[size])) ? 2 : 1);
            if (next > kMaxValueBytes)
                return QByteArray(p.value, size);
            size = next;
        }
    }
    return def;
}

// The settings file's text; nullopt when there is none or it cannot be read:
// reading never fails, an unreadable file reads as missing.
static std::optional<QByteArray> ReadSettings(const QString &path) {
    try {
        if (FileExists(path))
            return ReadWholeFile(path);
    } catch (const AppError &) {
    }
    return std::nullopt;
}

QByteArray ReadString(const QString &path, const QByteArray &section, const QByteArray &key,
                      const QByteArray &def) {
    const std::optional<QByteArray> data = ReadSettings(path);
    return data ? ValueIn(*data, section, key, def, false) : def;
}

QByteArray ReadExactString(const QString &path, const QByteArray &section, const QByteArray &key,
                           const QByteArray &def) {
    const std::optional<QByteArray> data = ReadSettings(path);
    return data ? ValueIn(*data, section, key, def, true) : def;
}

std::optional<qint32> ConvertInteger(const QByteArray &text) {
    // Every hexadecimal digit counts, leading zeros too: "$000000020" has
    // nine and is no integer here.
    if (text.size() > 2 && (text.startsWith("0x") || text.startsWith("0X")))
        return ParseInteger('$' + text.mid(2), HexDigits::All);
    return ParseInteger(text, HexDigits::All);
}

std::optional<QByteArray> PathValue(const QString &path, QString *firstBad) {
    std::optional<QByteArray> bytes = EncodeCp932(path, firstBad);
    if (!bytes)
        return bytes;
    // No second byte of a double-byte character is one of these.
    const auto bad = std::find_if(bytes->cbegin(), bytes->cend(),
                                  [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    if (bad == bytes->cend())
        return bytes;
    if (firstBad)
        *firstBad = QChar::fromLatin1(*bad);
    return std::nullopt;
}

qint32 ReadInteger(const QString &path, const QByteArray &section, const QByteArray &key,
                   qint32 def) {
    return ConvertInteger(ReadString(path, section, key, QByteArray())).value_or(def);
}

// The file's text with key = value written into section.
static QByteArray WithValue(const QByteArray &data, const QByteArray &section,
                            const QByteArray &key, const QByteArray &value) {
    const QByteArray entry = key + '=' + value + "\r\n";
    const std::vector<Line> lines = LinesOf(data);
    const SectionRange range = FindSection(data, lines, section);

    QByteArray out;
    out.reserve(data.size() + entry.size() + section.size() + 4);
    if (range.header < 0) {
        out = data;
        if (!out.isEmpty() && !out.endsWith('\r') && !out.endsWith('\n'))
            out += "\r\n";
        out += '[' + section + "]\r\n" + entry;
        return out;
    }

    // The key's line in the section, or the line after which it goes: the
    // section's last entry, or its header when it has none.
    qsizetype replace = -1;
    qsizetype after = range.header;
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const Parsed p = Parse(data, lines[i]);
        if (p.kind != Parsed::Entry)
            continue;
        if (SameName(p.name, key)) {
            replace = i;
            break;
        }
        after = i;
    }
    const Line &line = lines[replace >= 0 ? replace : after];
    out.append(data.constData(), replace >= 0 ? line.begin : line.next);
    if (replace < 0 && line.next == line.end)
        out += "\r\n"; // the last line of the file had no line end
    out += entry;
    out.append(data.constData() + line.next, data.size() - line.next);
    return out;
}

void WriteString(const QString &path, const QByteArray &section, const QByteArray &key,
                 const QByteArray &value) {
    // A refused name or value is refused before the file is read.
    CheckStorable(path, section, key, value);
    Changes changes(path);
    changes.WriteString(section, key, value);
    changes.Save();
}

void WriteInteger(const QString &path, const QByteArray &section, const QByteArray &key,
                  qint32 value) {
    WriteString(path, section, key, QByteArray::number(value));
}

// The file's text without any section of the name; nullopt when it has none.
static std::optional<QByteArray> WithoutSection(const QByteArray &data, const QByteArray &section) {
    const std::vector<Line> lines = LinesOf(data);
    // Every section of the name goes, should the file hold it twice.
    QByteArray out;
    qsizetype copied = 0;
    bool found = false;
    for (SectionRange range = FindSection(data, lines, section); range.header >= 0;
         range = FindSection(data, lines, section, range.end)) {
        const qsizetype from = lines[range.header].begin;
        const qsizetype to =
            range.end < static_cast<qsizetype>(lines.size()) ? lines[range.end].begin : data.size();
        out.append(data.constData() + copied, from - copied);
        copied = to;
        found = true;
    }
    if (!found)
        return std::nullopt;
    out.append(data.constData() + copied, data.size() - copied);
    return out;
}

void EraseSection(const QString &path, const QByteArray &section) {
    Changes changes(path);
    changes.EraseSection(section);
    changes.Save();
}

Changes::Changes(const QString &path) : path_(path) {
    try {
        data_ = ReadFileIfPresent(path).value_or(QByteArray());
    } catch (const AppError &) {
        WriteRefused(path);
    }
}

QByteArray Changes::ReadString(const QByteArray &section, const QByteArray &key,
                               const QByteArray &def) const {
    return ValueIn(data_, section, key, def, false);
}

QByteArray Changes::ReadExactString(const QByteArray &section, const QByteArray &key,
                                    const QByteArray &def) const {
    return ValueIn(data_, section, key, def, true);
}

qint32 Changes::ReadInteger(const QByteArray &section, const QByteArray &key, qint32 def) const {
    return ConvertInteger(ReadString(section, key, QByteArray())).value_or(def);
}

void Changes::WriteString(const QByteArray &section, const QByteArray &key,
                          const QByteArray &value) {
    CheckStorable(path_, section, key, value);
    data_ = WithValue(data_, section, key, value);
    changed_ = true;
}

void Changes::WriteInteger(const QByteArray &section, const QByteArray &key, qint32 value) {
    WriteString(section, key, QByteArray::number(value));
}

void Changes::EraseSection(const QByteArray &section) {
    if (std::optional<QByteArray> out = WithoutSection(data_, section)) {
        data_ = std::move(*out);
        changed_ = true;
    }
}

void Changes::Save() {
    if (!changed_)
        return;
    Store(path_, data_);
    changed_ = false;
}

} // namespace Ini
