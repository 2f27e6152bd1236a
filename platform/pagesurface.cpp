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
    const bool negative = (num < 0) != (c < 0);
    const qint64 an = num < 0 ? -num : num;
    const qint64 ac = c < 0 ? -c : c;
    // Sizes far beyond any printer stay at the largest int rather than
    // wrapping around to a small or negative one.
    const qint64 q = std::min<qint64>((2 * an + ac) / (2 * ac), INT_MAX);
    return static_cast<int>(negative ? -q : q);
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
    Op op;
    op.kind = QStringLiteral("begin");
    ops_.append(op);
}

void RecordingSurface::SetFontSize(int points) {
    height_ = FontHeightFor(points, dpi_);
    Op op;
    op.kind = QStringLiteral("size");
    op.page = page_;
    op.size = points;
    ops_.append(op);
}

void RecordingSurface::TextOut(int x, int y, const QByteArray &text) {
    Op op;
    op.kind = QStringLiteral("text");
    op.page = page_;
    op.x = x;
    op.y = y;
    op.text = text;
    ops_.append(op);
}

void RecordingSurface::NewPage() {
    ++page_;
    Op op;
    op.kind = QStringLiteral("newpage");
    op.page = page_;
    ops_.append(op);
}

void RecordingSurface::EndDoc() {
    Op op;
    op.kind = QStringLiteral("end");
    op.page = page_;
    ops_.append(op);
}

void RecordingSurface::AbortDoc() {
    Op op;
    op.kind = QStringLiteral("abort");
    op.page = page_;
    ops_.append(op);
}
