#include "ui/commandline.h"

#include "platform/apperror.h"
#include "platform/fileio.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "store/listfile.h"
#include "store/memotext.h"
#include "store/record.h"

#include <QFile>
#include <cstdio>

namespace {

void Write(FILE *to, const QByteArray &bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fflush(to);
}

// A message on standard error, one line for each of its own (CR LF or LF).
int Fail(QString message) {
    message.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Write(stderr, message.toUtf8() + '\n');
    return 1;
}

QByteArray ReadStandardInput() {
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return QByteArray();
    return in.readAll();
}

// --add: the new-memo page's save, to the end of the list file, under the
// lock every Quorvel process takes for its writes.
int Add(const Arguments &a, const QString &path) {
    const QString text =
        a.addFromStdin ? MemoTextFromInput(ReadStandardInput()) : MemoTextFrom(a.addText, false);
    QString refusal;
    const std::optional<QByteArray> bytes = NewMemoBytes(text, &refusal);
    if (!bytes)
        return Fail(refusal);
    ListFile list(path);
    if (!list.Append(MemoTextToRecord(*bytes)))
        return Fail(NewMemoFailedMessage());
    return 0;
}

// --list: read under the lock, so no write is seen half done.
int List(const QString &path) {
    std::optional<QByteArray> content;
    {
        FolderLock lock(path);
        content = ReadFileIfPresent(path);
    }
    if (!content)
        return Fail(path + QString::fromUtf8("の読み込みに失敗しました。\r\n"
                                             "ファイルが存在しない可能性があります。"));
    Write(stdout, TitleListing(*content));
    return 0;
}

} // namespace

int RunCommandLine(const Arguments &a) {
    switch (a.mode) {
    case Arguments::Mode::Help:
        Write(stdout, HelpText().toUtf8());
        return 0;
    case Arguments::Mode::Version:
        Write(stdout, VersionText().toUtf8() + '\n');
        return 0;
    case Arguments::Mode::Error:
        Write(stderr, a.error.toUtf8() + '\n' + UsageLine().toUtf8() + '\n');
        return 2;
    case Arguments::Mode::Window:
        return 2; // the window's forms are not run here
    case Arguments::Mode::Add:
    case Arguments::Mode::List:
        break;
    }
    try {
        // An installed copy may make the user's folders for the list, as the
        // window does.
        MakeFoldersOnWrite(Places());
        const QString path = a.file.isEmpty() ? CurrentListFileName() : a.file;
        return a.mode == Arguments::Mode::Add ? Add(a, path) : List(path);
    } catch (const AppError &e) {
        // A file that cannot be opened, or another Quorvel holding the list
        // too long: the message the window would show.
        return Fail(e.message());
    }
}
