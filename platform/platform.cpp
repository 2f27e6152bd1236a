#include "platform/platform.h"

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

QString ProgramFolder() {
    return QFileInfo(platform().ExecutablePath()).absolutePath() + QLatin1Char('/');
}

QString ProgramFileWithExt(const QString &ext) {
    return ChangeFileExt(platform().ExecutablePath(), ext);
}
