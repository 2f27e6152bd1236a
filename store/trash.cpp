// The trash: memos moved out of the list, restored or purged.
#include "platform/apperror.h"
#include "platform/cp932.h"
#include "platform/fileio.h"
#include "platform/platform.h"
#include "store/editing.h"
#include "store/record.h"
#include "store/rowpaint.h"
#include "store/undo.h"
#include "ui/Quorvelmain.h"
#include "ui/widgets.h"

#include <QPainter>
#include <QPushButton>
#include <cerrno>

namespace {

QString U(const char *utf8) {
    return QString::fromUtf8(utf8);
}

// Every list file keeps its trash beside it, under the same name.
QString TrashFileName(const TForm1 &f) {
    return ChangeFileExt(f.ListFileName, QStringLiteral(".trh"));
}

// Keeps bytes, the records split from them (in the memory the held records
// had) and the file's stamp they were read or written with.
void Hold(TForm1::HeldFile &held, QByteArray bytes, const FileStamp &stamp) {
    SplitLinesInto(bytes, held.records);
    held.bytes = std::move(bytes);
    held.stamp = stamp;
}

// The trash file's bytes and records: those held when the file is still as
// this program last read or wrote it, else read now (and held from then on).
// Throws as ReadWholeFile does.
const TForm1::HeldFile &TrashContent(TForm1 &f, const QString &path) {
    TForm1::HeldFile &held = f.TrashHeld;
    if (StillIs(path, held.stamp))
        return held;
    held = TForm1::HeldFile();
    FileStamp stamp;
    QByteArray bytes = ReadWholeFile(path, &stamp);
    Hold(held, std::move(bytes), stamp);
    return held;
}

// Keeps what this program has just written to the trash file as its content,
// when the file is provably what it wrote: the same stamp right after the
// write. Otherwise nothing is held, and the file is read when next needed.
void HoldWrittenTrash(TForm1 &f, const QString &path, QByteArray bytes, const FileStamp &written) {
    TForm1::HeldFile &held = f.TrashHeld;
    if (!StillIs(path, written)) {
        held = TForm1::HeldFile();
        return;
    }
    Hold(held, std::move(bytes), written);
}

// Appends the selected memo's record to the trash file. True only when the
// record is in the trash file now; every failure has been reported. When
// given, appended and written receive what the append added and the trash
// file's stamp afterwards.
bool AppendToTrash(TForm1 &f, Splice *appended = nullptr, FileStamp *written = nullptr) {
    const QString path = TrashFileName(f);
    if (!FileExists(path) && !CreateEmptyFile(path)) {
        BeepMessage(U("ゴミ箱ファイルの作成に失敗しました。"));
        return false;
    }
    const int s = f.ListBox1->itemIndex();
    bool done = false;
    if (s >= 0 && s < f.ListBox2.size()) {
        // How the trash file ends is known, without reading it, while the
        // content held is still the file's.
        std::optional<TextEnd> end;
        const TForm1::HeldFile &held = f.TrashHeld;
        if (StillIs(path, held.stamp))
            end = LoadedTextEnd(held.records, HiddenTail(held.bytes), held.stamp);
        // The content held is not the file's any more after the append.
        f.TrashHeld = TForm1::HeldFile();
        try {
            done = AppendRecord(path, f.ListBox2.at(s), appended, written, end ? &*end : nullptr);
        } catch (const AppError &) {
            done = false; // the trash file could not be opened
        }
    }
    if (!done)
        BeepMessage(U("ゴミ箱ファイルへの書き込みに失敗しました。"));
    return done;
}

// Purges the selected trash entry, after the checks of the purge command.
// True when the entry is gone from the file; part and written receive the
// change and the trash file's stamp afterwards.
bool PurgeSelected(TForm1 &f, MemoChange::Part *part, FileStamp *written) {
    const QString path = TrashFileName(f);
    if (!FileExists(path)) {
        BeepMessage(U("予期しないエラーが発生しました。ゴミ箱のデータが見つかりません"));
        return false;
    }
    const int sel = f.ListBox3->itemIndex();
    if (sel < 0) {
        BeepMessage(U("削除対象の記事を選択してください。"));
        return false;
    }
    const TForm1::HeldFile &content = TrashContent(f, path);
    const QList<QByteArray> &lines = content.records;
    const QByteArray tail =
        HiddenTail(content.bytes); // bytes from a NUL on are never shown, and kept
    const bool dropped = sel < lines.size();
    QByteArray text = JoinRecords(
        lines.size() - (dropped ? 1 : 0),
        [&](qsizetype i) -> const QByteArray & {
            return lines.at(dropped && i >= sel ? i + 1 : i);
        },
        tail);
    if (part) {
        part->file = MemoFile::Trash;
        part->change.layout = LineLayout::Of(
            QByteArray::fromRawData(content.bytes.constData(), content.bytes.size() - tail.size()),
            lines);
        if (dropped)
            part->change.splices = {RemoveRecordSplice(lines, sel)};
    }
    errno = 0;
    FileStamp stamp;
    const bool done = WriteFileAtomic(path, text, &stamp);
    if (written)
        *written = stamp;
    if (!done) {
        const int error = errno != 0 ? errno : EIO;
        // The file may hold the new text already (only its flush to disk
        // failed): the page shows what it holds, so that no row stands for
        // another entry at the next restore or purge.
        f.TabSheet4Show();
        throw AppError(FileErrorText(error));
    }
    HoldWrittenTrash(f, path, std::move(text), stamp);
    f.TabSheet4Show();
    return true;
}

} // namespace

void TForm1::Button5Click() {
    // The trash is written first: the list file loses the memo only once it
    // is safe in the trash, so a failure never leaves it in neither file.
    // With nothing selected (also when the list has not been loaded) nothing
    // is appended and the list file stays as it is.
    // A list file changed by another program since it was loaded is not
    // rewritten from the old lists: checked before anything is written.
    if (ListBox1->itemIndex() >= 0)
        CheckListFileUnchanged();
    Splice appended;
    FileStamp trashWritten;
    if (AppendToTrash(*this, &appended, &trashWritten)) {
        // Every record but the selected one, which the trash holds now.
        const int s = ListBox1->itemIndex();
        auto change = std::make_unique<MemoChange>(U("ゴミ箱に移動"));
        change->parts = {{MemoFile::Trash, FileChange::Pieces({appended})},
                         {MemoFile::List, FileChange::Pieces({RemoveRecordSplice(ListBox2, s)},
                                                             LoadedListLayout(*this))}};
        change->list = {s, -1};
        change->trash = {-1, AtEnd};
        if (SaveListChange(change->parts.last().change.splices))
            History->Record(std::move(change), {trashWritten, ListFileLoaded});
    }
    ActivatePage(0); // from the edit page, showing the list page reloads it
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
    const QString path = TrashFileName(*this);
    ListBox3->titleModel()->clear();
    TrashFileShown = FileStamp();
    if (FileExists(path)) {
        const HeldFile &content = TrashContent(*this, path);
        ListBox3->titleModel()->setRecords(content.records);
        TrashFileShown = content.stamp;
    } else {
        TrashHeld = HeldFile(); // nothing of a file that is gone is kept
        if (!CreateEmptyFile(path)) {
            BeepMessage(U("ゴミ箱ファイルの作成に失敗しました。恐れ入りますが、もう一度、"
                          "ゴミ箱ページをクリックして同じ現象が発生するかお確かめください。"));
            return;
        }
        TrashFileShown = StampOf(path); // the empty file just made
    }
    SetStatusText(QString::number(ListBox3->titleModel()->count()) +
                  U("件のメモがゴミ箱に入っています。"));
}

void TForm1::RestoreClick() {
    const QString path = TrashFileName(*this);
    const int sel = ListBox3->itemIndex();
    if (sel < 0) {
        BeepMessage(U("復活させる記事を選択してください。"));
        return;
    }
    if (!FileExists(path)) {
        BeepMessage(U("ゴミ箱のデータが見つかりません"));
        return;
    }
    const QList<QByteArray> lines = TrashContent(*this, path).records;
    if (sel >= lines.size()) {
        // The trash file lost entries behind the program's back.
        BeepMessage(U("ゴミ箱のデータが見つかりません"));
        return;
    }
    const QByteArray record = lines.at(sel);

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
    MemoChange::Part purge;
    FileStamp trashWritten;
    if (PurgeSelected(*this, &purge, &trashWritten)) {
        auto change = std::make_unique<MemoChange>(U("復活"));
        change->trash = {sel, -1};
        if (saved == NewMemoResult::Saved) {
            change->parts = {{MemoFile::List, FileChange::Pieces({appended})}, purge};
            change->list = {-1, AtEnd};
            History->Record(std::move(change), {listWritten, trashWritten});
        } else {
            change->parts = {purge};
            History->Record(std::move(change), {trashWritten});
        }
    }
    ActivatePage(3);
}

void TForm1::Button6Click() {
    const int sel = ListBox3->itemIndex();
    MemoChange::Part purge;
    FileStamp written;
    if (!PurgeSelected(*this, &purge, &written))
        return;
    auto change = std::make_unique<MemoChange>(U("完全削除"));
    change->parts = {purge};
    change->trash = {sel, -1};
    History->Record(std::move(change), {written});
}

void TForm1::N6Click() {
    Button6->click();
}

void TForm1::Button7Click() {
    const QString path = TrashFileName(*this);
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
