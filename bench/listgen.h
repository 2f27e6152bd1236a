// Generated list and trash files for the benchmarks: memos of about 100
// bytes of Japanese text in code page 932, some of several lines, some
// coloured, always the same for the same seed.
#pragma once

#include <QByteArray>
#include <QString>

// The content of a list file of n memos, each ended by CR LF.
QByteArray GenerateListText(int n, quint64 seed);

// Writes GenerateListText(n, seed) to path; false when it cannot.
bool WriteListFile(const QString &path, int n, quint64 seed);
