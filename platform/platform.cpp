#include "platform/platform.h"

#include "platform/apperror.h"
#include "platform/fileio.h"
#include "platform/paths.h"

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

bool BeepQuestion(const QString &text) {
    platform().Beep();
    return platform().AskYesNo(text);
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

// The install tree as seen from the installed executable: the name of its
// folder and where the readme's folder lies from there.
#ifndef QV_BIN_NAME
#define QV_BIN_NAME "bin"
#endif
#ifndef QV_DOC_FROM_BIN
#define QV_DOC_FROM_BIN "../share/doc/quorvel"
#endif

ProgramPlaces PlacesFor(const QString &executablePath, const QString &configHome,
                        const QString &dataHome) {
    const QFileInfo exe(executablePath);
    const QString folder = exe.absolutePath() + QLatin1Char('/');
    const QString installedReadme =
        QDir::cleanPath(folder + QStringLiteral(QV_DOC_FROM_BIN "/readme.txt"));
    if (QFileInfo(exe.absolutePath()).fileName() != QLatin1String(QV_BIN_NAME) ||
        !QFileInfo(installedReadme).isFile())
        return {.settingsFile = ChangeFileExt(executablePath, QStringLiteral(".ini")),
                .defaultListFile = ChangeFileExt(executablePath, QStringLiteral(".lst")),
                .listFolder = folder,
                .readmeFile = folder + QStringLiteral("readme.txt")};
    const QString config = QDir::cleanPath(configHome + QStringLiteral("/quorvel"));
    const QString data = QDir::cleanPath(dataHome + QStringLiteral("/quorvel"));
    return {.perUser = true,
            .settingsFile = config + QStringLiteral("/quorvel.ini"),
            .defaultListFile = data + QStringLiteral("/quorvel.lst"),
            .listFolder = data + QLatin1Char('/'),
            .readmeFile = installedReadme};
}

ProgramPlaces Places() {
    return PlacesFor(platform().ExecutablePath(),
                     QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                     QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

void MakeFoldersOnWrite(const ProgramPlaces &places) {
    if (places.perUser)
        SetFoldersMadeOnWrite({QFileInfo(places.settingsFile).path(), places.listFolder});
    else
        SetFoldersMadeOnWrite({});
}

void WindowChannel::Receive(std::function<void(const QByteArray &)> received) {
    received_ = std::move(received);
    for (const QByteArray &request : std::exchange(pending_, {}))
        Deliver(request);
}

void WindowChannel::Deliver(const QByteArray &request) {
    if (!received_)
        return pending_.append(request);
    QMetaObject::invokeMethod(
        &context_,
        [this, request] {
            if (received_)
                received_(request);
            else
                pending_.append(request);
        },
        Qt::QueuedConnection);
}
