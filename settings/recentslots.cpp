#include "settings/recentslots.h"

QByteArray RecentKey(int slot) {
    return QByteArray("ID") + QByteArray::number(slot);
}

RecentUpdate UpdateRecentSlots(const RecentSlots &read, const QByteArray &path, bool fileExists) {
    RecentUpdate result;
    if (!fileExists) {
        // An empty path matches nothing: empty values are not entries.
        int next = 0;
        for (const QByteArray &slot : read)
            if (path.isEmpty() || slot != path)
                result.values[next++] = slot;
        return result;
    }

    int k = -1;
    for (int i = 0; i < RecentSlotCount; ++i)
        if (read[i] == path)
            k = i;

    result.added = true;
    result.values[0] = path;
    if (k < 0) {
        for (int i = 0; i + 1 < RecentSlotCount; ++i)
            result.values[i + 1] = read[i];
    } else {
        for (int i = 0; i < RecentSlotCount; ++i) {
            if (i < k)
                result.values[i + 1] = read[i];
            else if (i > k)
                result.values[i] = read[i];
        }
    }
    return result;
}

QString RecentCaption(int slot, const QString &path) {
    return QString::number(slot + 1) + QLatin1Char(' ') + path;
}

QString RecentMenuText(const QString &caption) {
    QString text = caption;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString RecentCaptionOf(const QString &menuText) {
    QString caption;
    caption.reserve(menuText.size());
    for (qsizetype i = 0; i < menuText.size(); ++i) {
        caption.append(menuText.at(i));
        if (menuText.at(i) == QLatin1Char('&') && i + 1 < menuText.size() &&
            menuText.at(i + 1) == QLatin1Char('&'))
            ++i;
    }
    return caption;
}

QString RecentPathOf(const QString &caption) {
    return caption.mid(2);
}
