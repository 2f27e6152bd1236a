// Row colours: which colour a record's row is filled with, and what a colour
// value paints as on this desktop.
#include "store/record.h"
#include "store/rowpaint.h"

#include <QPalette>
#include <gtest/gtest.h>

namespace {

QByteArray Coloured(const char *text, const char *colour) {
    return QByteArray(text) + ColorMarker() + QByteArray(colour);
}

} // namespace

TEST(RowBackground, ColourAfterTheFirstMarkerOrTheWindowColour) {
    EXPECT_EQ(RowBackground("plain"), clWindow);
    EXPECT_EQ(RowBackground(Coloured("a", "clRed")), 0x000000FFu);
    EXPECT_EQ(RowBackground(Coloured("a", "$000080FF")), 0x000080FFu);
    EXPECT_EQ(RowBackground(Coloured("a", "clinfobk")), 0x80000018u);
    // What a hand-edited file may hold: no colour, or no colour of its own.
    EXPECT_EQ(RowBackground(Coloured("a", "")), clWindow);
    EXPECT_EQ(RowBackground(Coloured("a", "red")), clWindow);
    EXPECT_EQ(RowBackground(Coloured("a", "12 ")), clWindow);
    EXPECT_EQ(RowBackground(Coloured("a", "clNone")), clWindow);
    EXPECT_EQ(RowBackground(Coloured("a", "clDefault")), clWindow);
    // A second marker is part of the first one's colour text.
    EXPECT_EQ(RowBackground(Coloured("a", "clRed") + ColorMarker() + "clBlue"), clWindow);
}

TEST(PaintColor, SystemColoursFollowThePaletteOrTheWindowsValues) {
    QPalette pal;
    pal.setColor(QPalette::Active, QPalette::Base, QColor(1, 2, 3));
    pal.setColor(QPalette::Active, QPalette::Highlight, QColor(4, 5, 6));
    pal.setColor(QPalette::Active, QPalette::HighlightedText, QColor(7, 8, 9));
    pal.setColor(QPalette::Active, QPalette::Text, QColor(10, 11, 12));
    pal.setColor(QPalette::Active, QPalette::ToolTipBase, QColor(13, 14, 15));
    pal.setColor(QPalette::Disabled, QPalette::Text, QColor(16, 17, 18));
    EXPECT_EQ(PaintColor(clWindow, pal), QColor(1, 2, 3));
    EXPECT_EQ(PaintColor(clHighlight, pal), QColor(4, 5, 6));
    EXPECT_EQ(PaintColor(clHighlightText, pal), QColor(7, 8, 9));
    EXPECT_EQ(PaintColor(clWindowText, pal), QColor(10, 11, 12));
    EXPECT_EQ(PaintColor(0x80000018, pal), QColor(13, 14, 15)); // clInfoBk
    EXPECT_EQ(PaintColor(0x80000011, pal), QColor(16, 17, 18)); // clGrayText
    // No palette role: the usual Windows value.
    EXPECT_EQ(PaintColor(0x80000004, pal), QColor(0xF0, 0xF0, 0xF0)); // clMenu
    EXPECT_EQ(PaintColor(0x80000002, pal), QColor(0x99, 0xB4, 0xD1)); // clActiveCaption
    // No such system colour, and the values that are no colour: the window.
    EXPECT_EQ(PaintColor(0x800000FF, pal), QColor(1, 2, 3));
    EXPECT_EQ(PaintColor(clNone, pal), QColor(1, 2, 3));
    EXPECT_EQ(PaintColor(clDefault, pal), QColor(1, 2, 3));
}

TEST(PaintColor, PlainColoursHaveRedInTheLowestByte) {
    const QPalette pal;
    EXPECT_EQ(PaintColor(0x000000FF, pal), QColor(255, 0, 0));
    EXPECT_EQ(PaintColor(0x000080FF, pal), QColor(255, 128, 0));
    EXPECT_EQ(PaintColor(0x00FF0000, pal), QColor(0, 0, 255));
    EXPECT_EQ(PaintColor(0x00123456, pal), QColor(0x56, 0x34, 0x12));
}
