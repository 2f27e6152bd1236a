// The colours of the title rows: which colour value a row is filled with, and
// the screen colour that a colour value stands for on this desktop; and the
// colour of a text on a background the program fixes or the user chose.
#pragma once

#include "store/record.h"

#include <QByteArray>
#include <QColor>
#include <QPalette>

// The system colours the rows are painted in, and the two special values a
// record may name but that stand for no colour of their own.
inline constexpr TColor clWindow = 0x80000005;
inline constexpr TColor clWindowText = 0x80000008;
inline constexpr TColor clHighlight = 0x8000000D;
inline constexpr TColor clHighlightText = 0x8000000E;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// The background of an unselected row showing this record: the colour named
// after its first colour marker, or clWindow when it has none, when the text
// there is no colour, or when it names clNone or clDefault.
TColor RowBackground(QByteArrayView record);

// The screen colour of a colour value. A system colour paints in the
// palette's matching role where there is one, else in the usual Windows
// value of that system colour; a plain colour is 0x00BBGGRR.
QColor PaintColor(TColor colour, const QPalette &palette);

// How far apart two colours are for the eye: the ratio of their relative
// luminances (sRGB, each plus 0.05, the lighter over the darker), 1 to 21.
double ContrastRatio(const QColor &a, const QColor &b);

// The colour of a text on a background that is not the theme's own: the
// theme's text colour when it contrasts with the background by at least
// 4.5 : 1, otherwise black or white, whichever contrasts more.
QColor TextColorOn(const QColor &background, const QColor &themeText);
