#include "platform/paths.h"

QString ChangeFileExt(const QString &path, const QString &ext) {
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const QChar c = path[i];
        if (c == u'.')
            return path.left(i) + ext;
        if (c == u'/' || c == u':')
            break;
    }
    return path + ext;
}
