// The rule that names the files belonging together: the settings file and
// the default list after the executable, the trash after its list file.
#pragma once

#include <QString>

// Replaces a path's extension: the last ".", "/" or ":" is found; when it is
// a ".", everything from it on is replaced by ext, otherwise ext is appended.
QString ChangeFileExt(const QString &path, const QString &ext);
