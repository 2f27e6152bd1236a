#include "platform/platform.h"

#include "platform/apperror.h"
#include "platform/fileio.h"
#include "store/record.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

std::unique_ptr<Platform> MakeDesktopPlatform();

namespace {
Platform *installed = nullptr;
} // namespace

Platform &platform() {
    if (installed)
        return *installed;
    static std::unique_ptr<Platform> desktop = MakeDesktopPlatform();
    return *desktop;
}

void SetPlatform(Platform *p) {
    installed = p;
}

void BeepMessage(const QString &text) {
    platform().Beep();
    platform().ShowMessage(text);
}

void ReportUncaughtError(const std::exception &e) {
    if (dynamic_cast<const CommandCancelled *>(&e))
        return;
    if (const auto *busy = dynamic_cast<const ListBusyError *>(&e))
        return BeepMessage(busy->message()); // a refusal, not an error
    const auto *app = dynamic_cast<const AppError *>(&e);
    const QString text = app ? app->message() : QString::fromLocal8Bit(e.what());
    platform().ShowError(ErrorReportText(text));
}

namespace {

// The installed readme's folder as seen from the installed executable's.
#ifndef QV_DOC_FROM_BIN
#define QV_DOC_FROM_BIN "../share/doc/quorvel"
#endif

bool UnderSystemFolder(const QString &folder) {
    const QString clean = QDir::cleanPath(folder);
    for (const QString &root : {QStringLiteral("/usr"), QStringLiteral("/opt")})
        if (clean == root || clean.startsWith(root + QLatin1Char('/')))
            return true;
    return false;
}

} // namespace

ProgramPlaces PlacesFor(const QString &executablePath, bool folderWritable,
                        const QString &configHome, const QString &dataHome) {
    const QString folder = QFileInfo(executablePath).absolutePath() + QLatin1Char('/');
    ProgramPlaces places;
    places.perUser = !folderWritable || UnderSystemFolder(folder);
    if (!places.perUser) {
        places.settingsFile = ChangeFileExt(executablePath, QStringLiteral(".ini"));
        places.defaultListFile = ChangeFileExt(executablePath, QStringLiteral(".lst"));
        places.listFolder = folder;
        places.readmeFile = folder + QStringLiteral("readme.txt");
        return places;
    }
    const QString config = QDir::cleanPath(configHome + QStringLiteral("/quorvel"));
    const QString data = QDir::cleanPath(dataHome + QStringLiteral("/quorvel"));
    places.settingsFile = config + QStringLiteral("/quorvel.ini");
    places.defaultListFile = data + QStringLiteral("/quorvel.lst");
    places.listFolder = data + QLatin1Char('/');
    places.readmeFile = QDir::cleanPath(folder + QStringLiteral(QV_DOC_FROM_BIN "/readme.txt"));
    return places;
}

ProgramPlaces Places() {
    const QString executable = platform().ExecutablePath();
    const QString folder = QFileInfo(executable).absolutePath();
    ProgramPlaces places =
        PlacesFor(executable, QFileInfo(folder).isWritable(),
                  QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                  QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    if (!places.perUser) {
        SetFoldersMadeOnWrite({});
        return places;
    }
    // A copy unpacked under /opt has no installed readme, but one of its own.
    const QString beside = folder + QStringLiteral("/readme.txt");
    if (!QFileInfo::exists(places.readmeFile) && QFileInfo::exists(beside))
        places.readmeFile = beside;
    SetFoldersMadeOnWrite({QFileInfo(places.settingsFile).path(), places.listFolder});
    return places;
}
