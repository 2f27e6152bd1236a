// Finding memos over arbitrary record bytes: the matcher, which skips memos
// by scanning their bytes, gives the same answer as the rule over texts.
// The first byte picks the options and how wide the scans go, the second the
// lengths; a search text is taken from the bytes after them and one from the
// memo's own text.
#include "platform/cp932.h"
#include "store/find.h"
#include "store/findscan.h"

#include <QStringList>
#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    if (size < 2)
        return 0;
    const FindOptions options{(data[0] & 1) != 0, (data[0] & 2) != 0, (data[0] & 4) != 0};
    LimitFindScans((data[0] >> 3) & 3);
    const size_t searchBytes = std::min<size_t>(data[1] % 16, size - 2);
    const auto *bytes = reinterpret_cast<const char *>(data + 2);
    const QByteArray record(bytes + searchBytes, qsizetype(size - 2 - searchBytes));

    const QString text = MemoTextOf(record);
    QStringList searches{DecodeCp932(QByteArray(bytes, qsizetype(searchBytes)))};
    if (!text.isEmpty())
        searches << text.mid((data[0] >> 5) % text.size(), 1 + (data[1] >> 4) % 6);
    for (const QString &search : searches)
        if (MemoMatcher(search, options).Matches(record) != TextContains(text, search, options))
            std::abort();
    return 0;
}
