#include "platform/platform.h"

#include "platform/apperror.h"
#include "store/record.h"

#include <QFileInfo>

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
    const auto *app = dynamic_cast<const AppError *>(&e);
    const QString text = app ? app->message() : QString::fromLocal8Bit(e.what());
    platform().ShowError(ErrorReportText(text));
}

QString ProgramFolder() {
    return QFileInfo(platform().ExecutablePath()).absolutePath() + QLatin1Char('/');
}

QString ProgramFileWithExt(const QString &ext) {
    return ChangeFileExt(platform().ExecutablePath(), ext);
}
