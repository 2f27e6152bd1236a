// The text forms of a colour over arbitrary text.
#include "store/common.h"
#include "store/record.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<TColor> colour = TryTextToColor(text);
    // A colour read from text is written back in a form that reads the same.
    if (colour && TryTextToColor(ColorToText(*colour)) != colour)
        std::abort();
    // Every 32-bit value has a text form that reads back as itself.
    if (size >= 4) {
        TColor value;
        std::memcpy(&value, data, 4);
        const QByteArray form = ColorToText(value);
        if (TryTextToColor(form) != value)
            std::abort();
    }
    // The integer reader agrees with itself on text it accepts.
    if (const std::optional<qint32> n = ParseInteger(text)) {
        if (ParseInteger(QByteArray::number(*n)) != n)
            std::abort();
    }
    return 0;
}
