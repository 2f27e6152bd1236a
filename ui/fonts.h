// The gothic fonts of the program's windows and dialogs, asked for by their
// Windows names first; the IPA gothic fonts stand in where those are missing.
#pragma once

#include <QFont>

// The proportional gothic ("ＭＳ Ｐゴシック") at a size in pixels.
QFont ProportionalGothic(int pixels, bool bold = false);
// The fixed-pitch gothic ("ＭＳ ゴシック") at a size in pixels.
QFont FixedGothic(int pixels);
