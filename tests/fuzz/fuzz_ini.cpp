// The settings file reader and writer over arbitrary file bytes.
#include "platform/apperror.h"
#include "settings/inifile.h"
#include "tests/fuzz/fuzz_support.h"

#include <QFile>
#include <cstdlib>

namespace {

const QString &Path() {
    static const QString path = ScratchFile(QStringLiteral("fuzz.ini"));
    return path;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    {
        QFile f(Path());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(bytes);
    }
    // Reading never fails and never gives more than 2047 bytes.
    for (const char *key : {"Left", "Top", "LastFileName", "ID0"}) {
        const QByteArray v = Ini::ReadString(Path(), "Position", key, "default");
        if (v.size() > 2047 || Ini::ReadExactString(Path(), "Position", key, "").size() > 2047)
            std::abort();
        Ini::ReadInteger(Path(), "Setting", key, 7);
    }
    // A written value reads back as written (without its blanks at either
    // end, or exactly), and no other key changes.
    QByteArray value = bytes.left(64);
    value.replace('\r', 'r').replace('\n', 'n').replace('\0', '0');
    QByteArray trimmed = value;
    while (!trimmed.isEmpty() && IsBlank(trimmed.front()))
        trimmed.remove(0, 1);
    while (!trimmed.isEmpty() && IsBlank(trimmed.back()))
        trimmed.chop(1);
    const QByteArray otherBefore = Ini::ReadString(Path(), "File", "LastFileName", "\n");
    try {
        Ini::WriteString(Path(), "Fuzz", "Key", value);
    } catch (const AppError &) {
        std::abort(); // the folder is writable: the write must succeed
    }
    if (Ini::ReadString(Path(), "Fuzz", "Key", "\n") != trimmed ||
        Ini::ReadExactString(Path(), "Fuzz", "Key", "\n") != value)
        std::abort();
    if (Ini::ReadString(Path(), "File", "LastFileName", "\n") != otherBefore)
        std::abort();
    Ini::EraseSection(Path(), "Fuzz");
    if (Ini::ReadString(Path(), "Fuzz", "Key", "\n") != "\n")
        std::abort();
    return 0;
}
