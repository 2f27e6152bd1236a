#include "platform/cp932.h"

#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char *kUtf16 = "UTF-16LE";
#else
constexpr const char *kUtf16 = "UTF-16BE";
#endif

// One conversion descriptor per direction, opened on first use and kept for
// the life of the program. The program runs its conversions on one thread;
// thread_local keeps that safe should a helper thread ever convert too.
class Converter {
  public:
    Converter(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok())
            iconv_close(cd_);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr); // back to the initial state
        return cd_;
    }

  private:
    iconv_t cd_;
};

} // namespace

QString DecodeCp932(const QByteArray &bytes) {
    const qsizetype n = bytes.size();
    if (std::all_of(bytes.begin(), bytes.end(), [](char b) { return uchar(b) < 0x80; }))
        return QString::fromLatin1(bytes);

    // Every byte of code page 932 gives at most one UTF-16 unit: a
    // double-byte character gives one unit for two bytes.
    QString out(n, Qt::Uninitialized);
    thread_local Converter conv(kUtf16, "CP932");
    if (!conv.ok()) {
        // Without a converter the text still shows: ASCII as it is, the rest
        // as replacement characters.
        for (qsizetype i = 0; i < n; ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            out[i] = b < 0x80 ? QChar(char16_t(b)) : QChar(QChar::ReplacementCharacter);
        }
        return out;
    }
    iconv_t cd = conv.get();
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = static_cast<size_t>(n);
    char *outp = reinterpret_cast<char *>(out.data());
    size_t outLeft = static_cast<size_t>(n) * sizeof(char16_t);
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break; // E2BIG cannot happen: the buffer holds one unit per byte
        // An invalid or cut-off sequence: one replacement character for its
        // first byte, then carry on with the next byte.
        *reinterpret_cast<char16_t *>(outp) = u'\uFFFD';
        outp += sizeof(char16_t);
        outLeft -= sizeof(char16_t);
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.truncate(reinterpret_cast<const QChar *>(outp) - out.constData());
    return out;
}

std::optional<QByteArray> EncodeCp932(const QString &text, QString *firstBad) {
    const qsizetype n = text.size();
    const char16_t *units = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype firstNonAscii =
        std::find_if(units, units + n, [](char16_t u) { return u >= 0x80; }) - units;
    if (firstNonAscii == n)
        return text.toLatin1();

    auto refuse = [&](qsizetype at) -> std::optional<QByteArray> {
        if (firstBad) {
            const bool pair = QChar::isHighSurrogate(units[at]) && at + 1 < n &&
                              QChar::isLowSurrogate(units[at + 1]);
            *firstBad = text.mid(at, pair ? 2 : 1);
        }
        return std::nullopt;
    };

    thread_local Converter conv("CP932", kUtf16);
    if (!conv.ok())
        return refuse(firstNonAscii);
    // A UTF-16 unit gives at most two bytes.
    QByteArray out(n * 2, Qt::Uninitialized);
    iconv_t cd = conv.get();
    char *in = reinterpret_cast<char *>(const_cast<char16_t *>(units));
    size_t inLeft = static_cast<size_t>(n) * sizeof(char16_t);
    char *outp = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    if (iconv(cd, &in, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1)) {
        // EILSEQ: no code page 932 form (or a lone surrogate); EINVAL: a
        // high surrogate at the very end. Either way the character at the
        // stop is the culprit.
        const qsizetype at =
            (in - reinterpret_cast<const char *>(units)) / static_cast<qsizetype>(sizeof(char16_t));
        return refuse(at < n ? at : n - 1);
    }
    out.truncate(outp - out.data());
    return out;
}

const Cp932Table &Cp932Table::Get() {
    static const Cp932Table table;
    return table;
}

Cp932Table::Cp932Table() : unit_(65536, u'\0') {
    for (int b = 0; b < 256; ++b) {
        const QString s = DecodeCp932(QByteArray(1, char(b)));
        unit_[b] = s.size() == 1 ? s[0].unicode() : char16_t(QChar::ReplacementCharacter);
        codes_.push_back(Cp932Code(b));
    }
    // Each lead byte with every trail byte, one pair a line, decoded in one
    // go: a pair that is a character gives a line of one character; one that
    // is not gives U+FFFD and the trail byte's own character.
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsCp932LeadByte(uchar(lead)))
            continue;
        QByteArray lines;
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            lines.append(char(lead)).append(char(trail)).append('\n');
        const QStringList decoded = DecodeCp932(lines).split(QLatin1Char('\n'));
        for (int trail = 0x40; trail <= 0xFC && trail - 0x40 < decoded.size(); ++trail) {
            const QString &line = decoded[trail - 0x40];
            if (line.size() == 1 && line[0] != QChar::ReplacementCharacter) {
                const Cp932Code c = Cp932Code(lead << 8 | trail);
                unit_[c] = line[0].unicode();
                pair_.set(c);
                codes_.push_back(c);
            }
        }
    }
}
