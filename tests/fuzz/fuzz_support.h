// What the fuzz targets that write files share: a scratch folder for the run.
#pragma once

#include <QDir>
#include <QTemporaryDir>

// A file in a folder kept for the whole run, in memory where the machine has
// one: every write is flushed to disk, which on a real disk would slow the
// fuzzer down a hundredfold.
inline QString ScratchFile(const QString &name) {
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/quorvel-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/quorvel-fuzz-XXXXXX"));
    return dir.filePath(name);
}
