// The line-splitting rule and the title rule over arbitrary file bytes.
#include "store/common.h"
#include "store/record.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> records = SplitLines(bytes);

    QByteArray rewritten;
    for (const QByteArray &r : records) {
        // A record never holds a line end or a NUL.
        if (r.contains('\r') || r.contains('\n') || r.contains('\0'))
            std::abort();
        // The title is a prefix of the record of at most 54 bytes, without
        // any part of a marker that starts it.
        const QByteArray title = MakeTitle(r);
        if (title.size() > 54 || !r.startsWith(title))
            std::abort();
        if (title.contains(ColorMarker()) || title.contains(LineBreakMarker()))
            std::abort();
        // Memo text and record convert back: markers become CR LF and back.
        const QByteArray text = RecordToMemoText(r);
        const qsizetype colour = ColorMarkerPos(r);
        const QByteArray textPart = colour < 0 ? r : r.left(colour);
        if (!text.contains('\r') && MemoTextToRecord(text) != textPart)
            std::abort();
        rewritten += r;
        rewritten += "\r\n";
    }
    // What the program writes from these records loads back as the same records.
    if (SplitLines(rewritten) != records)
        std::abort();
    return 0;
}
