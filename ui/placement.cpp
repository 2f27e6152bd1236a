#include "ui/placement.h"

#include <QRegion>
#include <algorithm>
#include <limits>

namespace {

qint64 Area(const QRegion &region) {
    qint64 area = 0;
    for (const QRect &r : region)
        area += qint64(r.width()) * r.height();
    return area;
}

qint64 Area(const QRect &r) {
    return r.isEmpty() ? 0 : qint64(r.width()) * r.height();
}

// The top-left corner that puts a rectangle of this size wholly inside area,
// moved as little as it can be; a rectangle larger than area keeps to its
// top-left corner.
QPoint MovedInside(const QRect &r, const QRect &area) {
    const int x = std::max(area.left(), std::min(r.left(), area.right() + 1 - r.width()));
    const int y = std::max(area.top(), std::min(r.top(), area.bottom() + 1 - r.height()));
    return {x, y};
}

// How far a point lies from a rectangle (0 inside it), squared.
qint64 DistanceSquared(const QPoint &p, const QRect &r) {
    const qint64 dx = std::max({r.left() - p.x(), p.x() - r.right(), 0});
    const qint64 dy = std::max({r.top() - p.y(), p.y() - r.bottom(), 0});
    return dx * dx + dy * dy;
}

} // namespace

QPoint ReachablePosition(const QRect &frame, int titleBarHeight, const QList<QRect> &screens) {
    if (screens.isEmpty() || frame.isEmpty())
        return frame.topLeft();
    QRegion desktop;
    for (const QRect &s : screens)
        desktop += s;
    const QRect titleBar(frame.topLeft(), QSize(frame.width(), std::max(1, titleBarHeight)));
    const bool titleBarShown = (QRegion(titleBar) - desktop).isEmpty();
    if (titleBarShown && 2 * Area(desktop & frame) >= Area(frame))
        return frame.topLeft();

    // The screen holding most of the window; when none holds any of it, the
    // one nearest to its centre.
    const QRect *nearest = &screens.first();
    qint64 best = -1;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (const QRect &s : screens) {
        const qint64 shown = Area(s & frame);
        const qint64 distance = DistanceSquared(frame.center(), s);
        if (shown > best || (shown == best && distance < bestDistance)) {
            nearest = &s;
            best = shown;
            bestDistance = distance;
        }
    }
    return MovedInside(frame, *nearest);
}

QPoint BesidePosition(const QRect &owner, const QSize &dialog, const QRect &screen) {
    constexpr int gap = 8;
    const QPoint sides[] = {
        {owner.right() + 1 + gap, owner.top()},
        {owner.left() - gap - dialog.width(), owner.top()},
        {owner.left(), owner.bottom() + 1 + gap},
        {owner.left(), owner.top() - gap - dialog.height()},
    };
    QPoint best;
    qint64 leastCovered = std::numeric_limits<qint64>::max();
    for (const QPoint &side : sides) {
        const QRect placed(MovedInside(QRect(side, dialog), screen), dialog);
        const qint64 covered = Area(placed & owner);
        if (covered < leastCovered) {
            best = placed.topLeft();
            leastCovered = covered;
        }
    }
    return best;
}
