#include "store/rowpaint.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>

TColor RowBackground(QByteArrayView record) {
    const qsizetype p = ColorMarkerPos(record);
    if (p < 0)
        return clWindow;
    const std::optional<TColor> colour =
        TryTextToColor(record.sliced(p + ColorMarker().size()).toByteArray());
    if (!colour || *colour == clNone || *colour == clDefault)
        return clWindow;
    return *colour;
}

namespace {

QColor FromBgr(quint32 bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

// A system colour, by index: the palette role that plays its part where Qt
// has one, else its usual Windows value as 0x00BBGGRR.
struct SystemColour {
    quint32 bgr;
    QPalette::ColorRole role = QPalette::NoRole;
    QPalette::ColorGroup group = QPalette::Active;
};
constexpr SystemColour kSystemColours[] = {
    {0x00C8C8C8},                                     // 0  scroll bar
    {0x00000000},                                     // 1  desktop background
    {0x00D1B499},                                     // 2  active caption
    {0x00DBCDBF},                                     // 3  inactive caption
    {0x00F0F0F0},                                     // 4  menu
    {0x00FFFFFF, QPalette::Base},                     // 5  window
    {0x00646464},                                     // 6  window frame
    {0x00000000},                                     // 7  menu text
    {0x00000000, QPalette::Text},                     // 8  window text
    {0x00000000},                                     // 9  caption text
    {0x00B4B4B4},                                     // 10 active border
    {0x00FCF7F4},                                     // 11 inactive border
    {0x00ABABAB},                                     // 12 application workspace
    {0x00FF9933, QPalette::Highlight},                // 13 highlight
    {0x00FFFFFF, QPalette::HighlightedText},          // 14 highlight text
    {0x00F0F0F0, QPalette::Button},                   // 15 button face
    {0x00A0A0A0, QPalette::Dark},                     // 16 button shadow
    {0x006D6D6D, QPalette::Text, QPalette::Disabled}, // 17 grey text
    {0x00000000, QPalette::ButtonText},               // 18 button text
    {0x00000000},                                     // 19 inactive caption text
    {0x00FFFFFF, QPalette::Light},                    // 20 button highlight
    {0x00696969, QPalette::Shadow},                   // 21 3-D dark shadow
    {0x00E3E3E3, QPalette::Midlight},                 // 22 3-D light
    {0x00000000, QPalette::ToolTipText},              // 23 tooltip text
    {0x00E1FFFF, QPalette::ToolTipBase},              // 24 tooltip background
    {0x00000000},                                     // 25 (unused)
    {0x00CC6600, QPalette::Link},                     // 26 hot-tracked item
    {0x00EAD1B9},                                     // 27 gradient of the active caption
    {0x00F2E4D7},                                     // 28 gradient of the inactive caption
    {0x00FF9933},                                     // 29 menu highlight
    {0x00F0F0F0},                                     // 30 menu bar
};

} // namespace

QColor PaintColor(TColor colour, const QPalette &palette) {
    if ((colour & 0xFF000000u) == 0x80000000u) {
        const size_t index = colour & 0xFF;
        if (index >= std::size(kSystemColours))
            return palette.color(QPalette::Active, QPalette::Base);
        const SystemColour &c = kSystemColours[index];
        return c.role != QPalette::NoRole ? palette.color(c.group, c.role) : FromBgr(c.bgr);
    }
    if (colour == clNone || colour == clDefault)
        return palette.color(QPalette::Active, QPalette::Base);
    // The high byte of a plain colour selects nothing on this desktop.
    return FromBgr(colour & 0x00FFFFFF);
}

namespace {

double RelativeLuminance(const QColor &c) {
    const auto linear = [](int channel) {
        const double v = channel / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = c.toRgb();
    return 0.2126 * linear(rgb.red()) + 0.7152 * linear(rgb.green()) + 0.0722 * linear(rgb.blue());
}

} // namespace

double ContrastRatio(const QColor &a, const QColor &b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor TextColorOn(const QColor &background, const QColor &themeText) {
    if (ContrastRatio(themeText, background) >= 4.5)
        return themeText;
    const QColor black(0, 0, 0), white(255, 255, 255);
    return ContrastRatio(black, background) >= ContrastRatio(white, background) ? black : white;
}
