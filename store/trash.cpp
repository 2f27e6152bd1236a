// The trash: memos moved out of the list, restored or purged.
#include "platform/apperror.h"
#include "platform/cp932.h"
#include "platform/fileio.h"
#include "platform/platform.h"
#include "platform/utf8.h"
#include "store/editing.h"
#include "store/history.h"
#include "store/rowpaint.h"
#include "ui/Quorvelmain.h"
#include "ui/widgets.h"

#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <cerrno>

namespace {

// Appends the selected memo's record to the trash file. True only when the
// record is in the trash file now; every failure has been reported. When
// given, appended and written receive what the append added and the trash
// file's stamp afterwards.
bool AppendToTrash(TForm1 &f, Splice *appended = nullptr, FileStamp *written = nullptr) {
    const QString &path = f.Trash.path();
    if (!FileExists(path) && !CreateEmptyFile(path)) {
        BeepMessage(U("ゴミ箱ファイルの作成に失敗しました。"));
        return false;
    }
    const int s = f.ListBox1->itemIndex();
    bool done = false;
    if (s >= 0 && s < f.ListBox2.size()) {
        try {
            done = f.Trash.Append(f.ListBox2.at(s), appended, written);
        } catch (const ListBusyError &) {
            throw;
        } catch (const AppError &) {
            done = false; // the trash file could not be opened
        }
    }
    if (!done)
        BeepMessage(U("ゴミ箱ファイルへの書き込みに失敗しました。"));
    return done;
}

// Purges the selected trash entry, after the checks of the purge command.
// When the entry is gone from the file, the change named name with the purge
// as its part, and written receives the trash file's stamp; else null.
std::unique_ptr<MemoChange> PurgeSelected(TForm1 &f, const char *name, FileStamp &written) {
    const QString &path = f.Trash.path();
    if (!FileExists(path)) {
        BeepMessage(U("予期しないエラーが発生しました。ゴミ箱のデータが見つかりません"));
        return nullptr;
    }
    const int sel = f.ListBox3->itemIndex();
    if (sel < 0) {
        BeepMessage(U("削除対象の記事を選択してください。"));
        return nullptr;
    }
    FileChange purge;
    FolderLock lock(path);
    ListFile::Outcome outcome = ListFile::Outcome::Changed;
    int error = EIO;
    try {
        // The entry at the selected row of the trash as the file holds it
        // now: read again when it is not the one held (twice at most, for a
        // change that comes between).
        for (int attempt = 0; attempt < 2 && outcome == ListFile::Outcome::Changed; ++attempt) {
            if (attempt > 0)
                f.Trash.Forget();
            f.Trash.Reload();
            const Records &lines = f.Trash.records();
            QList<Splice> splices;
            if (sel < lines.size())
                splices = {RemoveRecordSplice(lines, sel)};
            purge = FileChange::Pieces(splices, f.Trash.Layout());
            errno = 0;
            outcome = f.Trash.Rewrite(splices);
            error = errno != 0 ? errno : EIO;
        }
    } catch (...) {
        f.TabSheet4Show();
        throw;
    }
    written = f.Trash.stamp();
    // The page shows what the file holds, so that no row stands for another
    // entry at the next restore or purge; a failed write may have left the
    // new text in place (only its flush to disk failed).
    f.TabSheet4Show();
    if (outcome != ListFile::Outcome::Written)
        throw AppError(FileErrorText(error));
    auto change = std::make_unique<MemoChange>(U(name));
    change->parts = {{MemoFile::Trash, std::move(purge)}};
    return change;
}

} // namespace

void TForm1::Button5Click() {
    // The trash is written first: the list file loses the memo only once it
    // is safe in the trash, so a failure never leaves it in neither file.
    // With nothing selected (also when the list has not been loaded) nothing
    // is appended and the list file stays as it is.
    // A list file changed by another program since it was loaded is not
    // rewritten from the old lists: checked before anything is written, and
    // no other Quorvel writes either file until both are written.
    FolderLock lock(ListFileName);
    if (ListBox1->itemIndex() >= 0)
        CheckListFileUnchanged();
    Splice appended;
    FileStamp trashWritten;
    if (AppendToTrash(*this, &appended, &trashWritten)) {
        // Every record but the selected one, which the trash holds now.
        const int s = ListBox1->itemIndex();
        auto change = std::make_unique<MemoChange>(U("ゴミ箱に移動"));
        change->parts = {
            {MemoFile::Trash, FileChange::Pieces({appended})},
            {MemoFile::List, FileChange::Pieces({RemoveRecordSplice(ListBox2, s)}, List.Layout())}};
        change->list = {s, -1};
        change->trash = {-1, AtEnd};
        if (SaveListText(change->parts.last().change.splices))
            History->Record(std::move(change), {trashWritten, List.stamp()});
    }
    ActivatePage(ListPage); // from the edit page, showing the list page reloads it
}

void TForm1::DummyButtonClick() {
    AppendToTrash(*this);
}

void TForm1::D1Click() {
    const int idx = ListBox1->itemIndex();
    Button5Click();
    LoadList();
    const int count = ListBox1->titleModel()->count();
    ListBox1->setItemIndex(idx > count - 1 ? idx - 1 : idx);
}

void TForm1::TabSheet4Show() {
    const QString &path = Trash.path();
    const auto rows = qScopeGuard([this] { ListBox3->titleModel()->setRecords(&Trash.records()); });
    if (!FileExists(path)) {
        Trash.Forget(); // nothing of a file that is gone is kept
        if (!CreateEmptyFile(path)) {
            BeepMessage(U("ゴミ箱ファイルの作成に失敗しました。恐れ入りますが、もう一度、"
                          "ゴミ箱ページをクリックして同じ現象が発生するかお確かめください。"));
            return;
        }
    }
    Trash.Reload(); // the empty file just made too: the page shows what it read
    SetStatusText(QString::number(Trash.records().size()) + U("件のメモがゴミ箱に入っています。"));
}

void TForm1::RestoreClick() {
    const QString &path = Trash.path();
    const int sel = ListBox3->itemIndex();
    if (sel < 0) {
        BeepMessage(U("復活させる記事を選択してください。"));
        return;
    }
    if (!FileExists(path)) {
        BeepMessage(U("ゴミ箱のデータが見つかりません"));
        return;
    }
    // The list and the trash change together: no other Quorvel writes
    // either until both are written.
    FolderLock lock(path);
    Trash.Reload();
    if (sel >= Trash.records().size()) {
        // The trash file lost entries behind the program's back.
        BeepMessage(U("ゴミ箱のデータが見つかりません"));
        return;
    }
    const QByteArray record = Trash.records().copy(sel);

    // The record goes back through the new-memo page and its save, to the
    // end of the list.
    Memo1->setText(DecodeCp932(record));
    Splice appended;
    FileStamp listWritten;
    const NewMemoResult saved = SaveNewMemo(*this, &record, &appended, &listWritten);
    Memo1->clear();
    // An entry whose save failed stays in the trash; an empty one, which no
    // save accepts, is purged.
    if (saved == NewMemoResult::NotSaved)
        return;
    FileStamp trashWritten;
    if (auto change = PurgeSelected(*this, "復活", trashWritten)) {
        change->trash = {sel, -1};
        QList<FileStamp> written = {trashWritten};
        if (saved == NewMemoResult::Saved) { // the list gained the memo first
            change->parts.prepend({MemoFile::List, FileChange::Pieces({appended})});
            change->list = {-1, AtEnd};
            written.prepend(listWritten);
        }
        History->Record(std::move(change), written);
    }
    ActivatePage(TrashPage);
}

void TForm1::Button6Click() {
    const int sel = ListBox3->itemIndex();
    FileStamp written;
    if (auto change = PurgeSelected(*this, "完全削除", written)) {
        change->trash = {sel, -1};
        History->Record(std::move(change), {written});
    }
}

void TForm1::N6Click() {
    Button6->click();
}

void TForm1::Button7Click() {
    const QString &path = Trash.path();
    FolderLock lock(path);
    // What the trash holds, for the history. A trash that cannot be read is
    // emptied all the same; that cannot be taken back.
    std::optional<QByteArray> held;
    FileStamp before;
    try {
        if (FileExists(path))
            held = ReadWholeFile(path, &before);
    } catch (const AppError &) {
    }
    // A trash file that is already gone is fine, and a folder under its name
    // is no trash file (the page says so); a trash file that could not be
    // deleted is reported once the page shows what it still holds.
    const bool gone = DeleteFile(path) || errno == ENOENT || errno == EISDIR;
    const int error = errno;
    TabSheet4Show();
    if (!gone)
        throw AppError(FileErrorText(error));
    const FileStamp after = StampOf(path);
    if (!held || !after.exists || after.size != 0)
        return;
    if (held->isEmpty()) {
        History->Rewritten(MemoFile::Trash, before, after); // nothing was taken away
        return;
    }
    auto change = std::make_unique<MemoChange>(U("ゴミ箱を空にする"));
    change->parts = {{MemoFile::Trash, FileChange::Whole(*held, {})}};
    History->Record(std::move(change), {after});
}

void TForm1::ListBox3DrawItem(QPainter *Canvas, int Index, const QRect &Rect, bool Selected) {
    const QPalette &pal = ListBox3->palette();
    Canvas->fillRect(Rect, PaintColor(Selected ? clHighlight : clWindow, pal));
    Canvas->setPen(PaintColor(Selected ? clHighlightText : clWindowText, pal));
    Canvas->setFont(ListBox3->font());
    const TitleModel *titles = ListBox3->titleModel();
    if (Index >= 0 && Index < titles->count())
        Canvas->drawText(Rect.adjusted(2, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
                         titles->titleText(Index));
}
