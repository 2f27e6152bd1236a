// One window per copy of the program on the desktop: a later start hands its
// request to the running window over a local socket named after the copy's
// settings file, in a folder that only the user may enter.
#pragma once

#include "platform/platform.h"

#include <QByteArray>
#include <QString>

// The folder of the user's sockets: runtimeDir ($XDG_RUNTIME_DIR) when it is
// a folder of the user's own that no one else may enter; otherwise
// <tempDir>/quorvel-<uid>, made with mode 0700 when missing and used only
// when it is a folder (not a link) of the user's own that no one else may
// enter. Empty when there is no such folder: another user could then listen
// in the window's place or send it requests.
QString PrivateRuntimeFolder(const QString &runtimeDir, const QString &tempDir);

// The socket of the copy whose settings file is settingsFile: named after a
// hash of the settings file's path.
QString WindowSocketPath(const QString &folder, const QString &settingsFile);

// Platform::ClaimWindow on the desktop, with the socket in socketFolder
// (PrivateRuntimeFolder when empty). Starts take their turns under a lock
// file beside the socket. A socket left by a window that was killed is
// removed before listening in its place.
WindowClaim ClaimDesktopWindow(const QString &settingsFile, const QByteArray &request, bool listen,
                               const QString &socketFolder = QString());
