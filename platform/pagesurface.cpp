#include "platform/pagesurface.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

// a * b / c rounded to the nearest integer, halves away from zero, in exact
// integer arithmetic, kept within int. A zero divisor gives -1.
int MulDiv(qint64 a, qint64 b, qint64 c) {
    if (c == 0)
        return -1;
    const qint64 num = a * b;
    // Sizes far beyond any printer stay at the largest int rather than
    // wrapping around to a small or negative one.
    const qint64 q =
        std::min<qint64>((2 * std::abs(num) + std::abs(c)) / (2 * std::abs(c)), INT_MAX);
    return static_cast<int>((num < 0) != (c < 0) ? -q : q);
}

} // namespace

int FontHeightFor(int points, int dpi) {
    return -MulDiv(points, dpi, 72);
}

int FontSizeFor(int height, int dpi) {
    return MulDiv(std::abs(qint64(height)), 72, dpi);
}

void RecordingSurface::BeginDoc(int gridHeight) {
    gridHeight_ = gridHeight;
    page_ = 0;
    ops_.append({.kind = QStringLiteral("begin")});
}

void RecordingSurface::SetFontSize(int points) {
    height_ = FontHeightFor(points, dpi_);
    ops_.append({.kind = QStringLiteral("size"), .page = page_, .size = points});
}

void RecordingSurface::TextOut(int x, int y, const QByteArray &text) {
    ops_.append({.kind = QStringLiteral("text"), .page = page_, .x = x, .y = y, .text = text});
}

void RecordingSurface::NewPage() {
    ops_.append({.kind = QStringLiteral("newpage"), .page = ++page_});
}

void RecordingSurface::EndDoc() {
    ops_.append({.kind = QStringLiteral("end"), .page = page_});
}

void RecordingSurface::AbortDoc() {
    ops_.append({.kind = QStringLiteral("abort"), .page = page_});
}
