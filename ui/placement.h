// Where windows go on the screens: the main window at its stored position
// while the user can still reach it, and the find dialog beside the main
// window. Plain rules over rectangles in the desktop's coordinates, so that
// any screen layout can be put to them.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where a window goes whose frame (title bar and borders included) would
// stand at frame, its title bar being the top titleBarHeight rows, on
// screens of these available areas. The stored position stays when the
// whole title bar and at least half of the window lie on the screens;
// otherwise the window goes wholly onto the screen nearest to it (its
// top-left corner there when it is larger than that screen).
QPoint ReachablePosition(const QRect &frame, int titleBarHeight, const QList<QRect> &screens);

// Where a dialog of the given frame size goes beside its owner's frame on a
// screen of the given available area: to the right of the owner, else to its
// left, below or above it, the first of these that, moved onto the screen
// where it sticks out, covers nothing of the owner; when each covers some,
// the one that covers least.
QPoint BesidePosition(const QRect &owner, const QSize &dialog, const QRect &screen);
