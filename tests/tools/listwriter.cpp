// One of several processes that change one list at once through the
// program's own write path: it appends its memos and moves memos about,
// as the window and the command line do.
//   quorvel-listwriter LIST ID COUNT [--no-lock]
// With COUNT -1 it only moves memos, until it is killed.
#include "platform/apperror.h"
#include "platform/fileio.h"
#include "store/listfile.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    if (argc < 4)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QByteArray id = argv[2];
    const int count = std::atoi(argv[3]);
    if (argc > 4 && std::strcmp(argv[4], "--no-lock") == 0)
        FileFaults::UseFolderLocks(false);
    QRandomGenerator random(qHash(id));
    ListFile list(path);
    try {
        for (int i = 0; count < 0 || i < count; ++i) {
            if (count >= 0 && !list.Append("memo " + id + '-' + QByteArray::number(i)))
                return 1;
            // A move of one memo, made again from the file as it is whenever
            // another process changed it in between.
            for (;;) {
                list.Reload();
                const qsizetype n = list.records().size();
                if (n < 2)
                    break;
                const qsizetype from = random.bounded(n), to = random.bounded(n);
                if (from == to)
                    break;
                const ListFile::Outcome o =
                    list.Rewrite(MoveRecordSplices(list.records(), from, to));
                if (o == ListFile::Outcome::Written)
                    break;
                if (o == ListFile::Outcome::Failed)
                    return 1;
            }
        }
    } catch (const AppError &e) {
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
