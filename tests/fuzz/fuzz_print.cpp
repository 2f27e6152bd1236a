// The print layout over arbitrary records and settings: it never crashes,
// and every line it draws lies in a slot of the page grid.
#include "platform/pagesurface.h"
#include "print/print_unit.h"
#include "settings/inifile.h"
#include "store/record.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>
#include <cstring>

namespace {

const QString &SettingsPath() {
    static const QString path = ScratchFile(QStringLiteral("print.ini"));
    return path;
}

qint32 Take(const unsigned char *&data, size_t &size) {
    qint32 v = 0;
    const size_t n = size < 4 ? size : 4;
    std::memcpy(&v, data, n);
    data += n;
    size -= n;
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    // Settings: mostly within the dialog's range, sometimes anything at all.
    const qint32 rawSize = Take(data, size);
    const qint32 rawSpacing = Take(data, size);
    const qint32 rawMode = Take(data, size);
    const qint32 rawDpi = Take(data, size);
    const qint32 fontSize = (rawSize & 0x100) ? rawSize : 9 + std::abs(rawSize % 22);
    const qint32 spacing = (rawSpacing & 0x100) ? rawSpacing : 10 + std::abs(rawSpacing % 11);
    const qint32 mode = rawMode % 3;
    const int dpi = 72 + std::abs(rawDpi % 1129);
    Ini::WriteInteger(SettingsPath(), "Print", "PrintFontSize", fontSize);
    Ini::WriteInteger(SettingsPath(), "Print", "PrintKankaku", spacing);
    Ini::WriteInteger(SettingsPath(), "Print", "OnlyHeadLine", mode);

    const QList<QByteArray> records =
        SplitLines(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    QList<QByteArray> titles;
    for (const QByteArray &r : records)
        titles.append(MakeTitle(r));

    RecordingSurface surface(dpi);
    TPrintObject print;
    const TPrintObject::Outcome outcome = print.PrintList(surface, SettingsPath(), titles, records);
    const QList<RecordingSurface::Op> &ops = surface.ops();
    if (ops.isEmpty() || ops.first().kind != QStringLiteral("begin"))
        std::abort();
    if (outcome != TPrintObject::Outcome::Printed) {
        if (ops.last().kind != QStringLiteral("abort"))
            std::abort();
        return 0;
    }
    if (ops.last().kind != QStringLiteral("end"))
        std::abort();
    const int wrap = 1100 / surface.FontSize();
    int page = 0;
    for (const RecordingSurface::Op &op : ops) {
        if (op.kind == QStringLiteral("newpage"))
            ++page;
        if (op.kind != QStringLiteral("text"))
            continue;
        // Every line starts at the left edge, in a slot of the page, on the
        // page it was drawn on, no wider than a prefix and the wrap width
        // (titles: a prefix and at most 54 bytes).
        if (op.x != 0 || op.y < 0 || op.y >= 4000 || op.page != page)
            std::abort();
        if (op.text.size() > 4 + std::max(wrap, 54))
            std::abort();
    }
    return 0;
}
