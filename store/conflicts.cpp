#include "store/conflicts.h"

#include <QByteArrayView>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>

namespace {

// The names of the conflict copies of one list file.
class CopyNames {
  public:
    explicit CopyNames(const QString &listName) {
        // NAME and its extension: the part from the last dot on.
        const qsizetype dot = listName.lastIndexOf(QLatin1Char('.'));
        const QString name = QRegularExpression::escape(dot < 0 ? listName : listName.left(dot));
        const QString ext = QRegularExpression::escape(dot < 0 ? QString() : listName.mid(dot));
        const QString forms[] = {
            // Syncthing: the date, the time and the first letters of the
            // device's ID.
            QStringLiteral("%1\\.sync-conflict-[0-9]{8}-[0-9]{6}-[A-Z0-9]{7}%2"),
            // Nextcloud and ownCloud: the date and time in the brackets.
            QStringLiteral("%1 \\(conflicted copy .*\\)%2"),
            // Dropbox: the user's name, then perhaps the date.
            QStringLiteral("%1 \\(.+'s conflicted copy.*\\)%2"),
        };
        for (const QString &form : forms)
            forms_.append(
                QRegularExpression(QRegularExpression::anchoredPattern(form.arg(name, ext)),
                                   QRegularExpression::DotMatchesEverythingOption));
    }

    bool Match(const QString &fileName) const {
        return std::any_of(forms_.cbegin(), forms_.cend(), [&](const QRegularExpression &form) {
            return form.match(fileName).hasMatch();
        });
    }

  private:
    QList<QRegularExpression> forms_;
};

} // namespace

bool IsConflictCopyName(const QString &listName, const QString &copyName) {
    return CopyNames(listName).Match(copyName);
}

QStringList ConflictCopiesOf(const QString &listPath) {
    const QFileInfo list(listPath);
    const CopyNames names(list.fileName());
    // Hidden lists have hidden copies. In name order, which the sort by time
    // keeps among equals.
    QFileInfoList copies =
        QDir(list.path()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    copies.removeIf([&](const QFileInfo &f) { return !names.Match(f.fileName()); });
    std::stable_sort(copies.begin(), copies.end(), [](const QFileInfo &a, const QFileInfo &b) {
        return a.lastModified() < b.lastModified();
    });
    const QString folder = list.path() + QLatin1Char('/');
    QStringList paths;
    for (const QFileInfo &c : std::as_const(copies))
        paths.append(folder + c.fileName());
    return paths;
}

QList<QByteArray> RecordsOnlyInCopy(const QList<QByteArray> &copy, const Records &list,
                                    const QList<QByteArray> &trash) {
    // How often each record is held; each record of the copy found there
    // uses up one.
    QHash<QByteArrayView, qsizetype> held;
    for (QByteArrayView r : list)
        ++held[r];
    for (const QByteArray &r : trash)
        ++held[QByteArrayView(r)];
    QList<QByteArray> only;
    for (const QByteArray &r : copy) {
        const auto it = held.find(QByteArrayView(r));
        if (it != held.end() && *it > 0)
            --*it;
        else
            only.append(r);
    }
    return only;
}
