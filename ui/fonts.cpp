#include "ui/fonts.h"

#include <QStringList>

QFont ProportionalGothic(int pixels, bool bold) {
    QFont f;
    f.setFamilies({QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                   QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")});
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QFont FixedGothic(int pixels) {
    QFont f;
    f.setFamilies({QString::fromUtf8("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                   QStringLiteral("IPAGothic")});
    f.setPixelSize(pixels);
    return f;
}
