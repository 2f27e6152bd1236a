#include "settings/recentslots.h"

#include <algorithm>

QByteArray RecentKey(int slot) {
    return QByteArray("ID") + QByteArray::number(slot);
}

RecentUpdate UpdateRecentSlots(const RecentSlots &read, const QByteArray &path, bool fileExists) {
    RecentUpdate result;
    if (!fileExists) {
        // An empty path matches nothing: empty values are not entries.
        std::copy_if(read.begin(), read.end(), result.values.begin(),
                     [&](const QByteArray &slot) { return path.isEmpty() || slot != path; });
        return result;
    }

    // The last slot equal to path comes out; with none, the last slot drops.
    const auto last = std::find(read.rbegin(), read.rend(), path);
    const qsizetype k = last == read.rend() ? RecentSlotCount - 1 : read.rend() - last - 1;
    result.added = true;
    result.values[0] = path;
    std::copy(read.begin(), read.begin() + k, result.values.begin() + 1);
    std::copy(read.begin() + k + 1, read.end(), result.values.begin() + k + 1);
    return result;
}

QString RecentCaption(int slot, const QString &path) {
    return QString::number(slot + 1) + QLatin1Char(' ') + path;
}

QString RecentMenuText(const QString &caption) {
    return QString(caption).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString RecentCaptionOf(const QString &menuText) {
    return QString(menuText).replace(QStringLiteral("&&"), QStringLiteral("&"));
}

QString RecentPathOf(const QString &caption) {
    return caption.mid(2);
}
