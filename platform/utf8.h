// The program's own texts (captions, messages, status texts) are written in
// the sources as UTF-8.
#pragma once

#include <QString>

inline QString U(const char *utf8) {
    return QString::fromUtf8(utf8);
}
