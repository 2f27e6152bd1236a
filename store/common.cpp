#include "store/common.h"

QByteArray ReplaceAll(const QByteArray &s, const QByteArray &find, const QByteArray &repl) {
    // An empty find would have replace() insert repl at every position; a text
    // without find is returned without a copy.
    return find.isEmpty() || !s.contains(find) ? s : QByteArray(s).replace(find, repl);
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<qint32> ParseInteger(const QByteArray &text, HexDigits hexDigits) {
    const char *p = text.constData();
    const char *end = p + text.size();
    while (p < end && *p == ' ')
        ++p;
    if (p == end)
        return std::nullopt;

    // Hexadecimal: "$", "x", "X", "0x" or "0X", then the digits; no sign.
    qsizetype prefix = 0;
    if (*p == '$' || *p == 'x' || *p == 'X')
        prefix = 1;
    else if (*p == '0' && end - p >= 2 && (p[1] == 'x' || p[1] == 'X'))
        prefix = 2;
    if (prefix > 0) {
        p += prefix;
        if (p == end)
            return std::nullopt;
        quint32 value = 0;
        int counted = 0;
        for (; p < end; ++p) {
            const int d = HexValue(*p);
            if (d < 0)
                return std::nullopt;
            if (value == 0 && d == 0 && hexDigits == HexDigits::Significant)
                continue; // a leading zero is not significant
            if (++counted > 8)
                return std::nullopt;
            value = (value << 4) | static_cast<quint32>(d);
        }
        return static_cast<qint32>(value);
    }

    // Decimal: an optional sign, then the digits, within the signed 32-bit range.
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (p == end)
        return std::nullopt;
    const qint64 limit = negative ? qint64(1) << 31 : (qint64(1) << 31) - 1;
    qint64 value = 0;
    for (; p < end; ++p) {
        if (*p < '0' || *p > '9')
            return std::nullopt;
        value = value * 10 + (*p - '0');
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<qint32>(negative ? -value : value);
}
