// Conflict copies that sync tools make of the list: the user is asked about
// each, and the memos only a copy holds are taken back into the list.
#include "platform/apperror.h"
#include "platform/fileio.h"
#include "platform/platform.h"
#include "platform/utf8.h"
#include "store/conflicts.h"
#include "store/history.h"
#include "store/record.h"
#include "ui/Quorvelmain.h"
#include "ui/widgets.h"

#include <QFileInfo>
#include <cerrno>

void TForm1::TakeInConflictCopies() {
    // Only beside a list that loaded: the memos are compared with it and go
    // into it.
    if (!List.Held())
        return;
    for (const QString &copy : ConflictCopiesOf(ListFileName)) {
        // Answered before, or gone while an earlier question waited.
        if (ConflictCopiesAnswered.contains(copy) || !FileIsPresent(copy))
            continue;
        ConflictCopiesAnswered.insert(copy);
        if (BeepQuestion(U("同期ソフトが作った競合コピーがあります：「") +
                         QFileInfo(copy).fileName() +
                         U("」\r\nこのコピーにだけあるメモをリストの最後に加えますか？")))
            TakeInConflictCopy(copy);
    }
}

void TForm1::TakeInConflictCopy(const QString &copy) {
    try {
        // As every command: no other Quorvel writes the list until the memos
        // are in, and the list must be the one loaded, or nothing is written.
        FolderLock lock(ListFileName);
        CheckListFileUnchanged();
        std::optional<QByteArray> bytes;
        try {
            bytes = ReadFileIfPresent(copy);
        } catch (const AppError &) {
        }
        if (!bytes) {
            BeepMessage(copy + U("の読み込みに失敗しました。\r\n"
                                 "ファイルが存在しない可能性があります。"));
            return;
        }
        // A memo the user moved to the trash does not come back.
        const std::optional<QByteArray> trash = ReadFileIfPresent(Trash.path());
        const QList<QByteArray> missing = RecordsOnlyInCopy(
            SplitLines(*bytes), ListBox2, trash ? SplitLines(*trash) : QList<QByteArray>());

        auto change = std::make_unique<MemoChange>(U("競合コピーの取り込み"));
        QList<FileStamp> written;
        const int first = int(ListBox2.size());
        if (!missing.isEmpty()) {
            // One write: the memos after the last record, before any bytes
            // from a NUL on.
            QByteArray lines;
            for (const QByteArray &record : missing)
                lines += record + "\r\n";
            change->parts = {{MemoFile::List,
                              FileChange::Pieces({Splice{RecordOffset(ListBox2, first), {}, lines}},
                                                 List.Layout())}};
            change->list = {-1, first};
            // A failure is reported there; the copy then stays as it is.
            if (!SaveListText(change->parts.first().change.splices))
                return;
            written.append(List.stamp());
        }
        // The copy goes only once its memos are safe in the list.
        errno = 0;
        const bool deleted = DeleteFile(copy);
        const int error = errno;
        // A copy that is gone already (the sync tool removed it) is as good
        // as deleted.
        const bool gone = deleted || error == ENOENT;
        if (deleted) {
            change->parts.append({copy, FileChange::Removal(*bytes)});
            written.append(StampOf(copy));
        }
        History->Record(std::move(change), written);
        if (!missing.isEmpty()) {
            LoadList();
            ListBox1->setItemIndex(first);
            SetStatusText(U("競合コピーから") + QString::number(missing.size()) +
                          U("件のメモを加えました。"));
        } else if (gone) {
            SetStatusText(U("競合コピーのメモはすべてリストかゴミ箱にあります。"));
        }
        if (!gone)
            throw AppError(FileErrorText(error));
    } catch (const ListBusyError &) {
        // Refused before anything was written: asked again at the next load.
        ConflictCopiesAnswered.remove(copy);
        throw;
    } catch (const CommandCancelled &) {
        // The list changed meanwhile and is loaded again: asked again, with
        // the list as it is now, once this ends.
        ConflictCopiesAnswered.remove(copy);
        ConflictCopiesDue = true;
        throw;
    }
}
