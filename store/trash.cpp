// The trash: memos moved out of the list, restored or purged.
#include "platform/apperror.h"
#include "platform/cp932.h"
#include "platform/fileio.h"
#include "platform/platform.h"
#include "store/editing.h"
#include "store/record.h"
#include "store/rowpaint.h"
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

// Appends the selected memo's record to the trash file. True only when the
// record is in the trash file now; every failure has been reported.
bool AppendToTrash(TForm1 &f) {
    const QString path = TrashFileName(f);
    if (!FileExists(path) && !CreateEmptyFile(path)) {
        BeepMessage(U("ゴミ箱ファイルの作成に失敗しました。"));
        return false;
    }
    const int s = f.ListBox1->itemIndex();
    bool written = false;
    if (s >= 0 && s < f.ListBox2.size()) {
        try {
            written = AppendRecord(path, f.ListBox2.at(s));
        } catch (const AppError &) {
            written = false; // the trash file could not be opened
        }
    }
    if (!written)
        BeepMessage(U("ゴミ箱ファイルへの書き込みに失敗しました。"));
    return written;
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
    if (AppendToTrash(*this)) {
        // Every record but the selected one, which the trash holds now.
        const int s = ListBox1->itemIndex();
        SaveListText(JoinRecords(ListBox2.size() - 1, [&](qsizetype i) -> const QByteArray & {
            return ListBox2.at(i < s ? i : i + 1);
        }));
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
    if (FileExists(path)) {
        ListBox3->titleModel()->setRecords(SplitLines(ReadWholeFile(path)));
    } else if (!CreateEmptyFile(path)) {
        BeepMessage(U("ゴミ箱ファイルの作成に失敗しました。恐れ入りますが、もう一度、"
                      "ゴミ箱ページをクリックして同じ現象が発生するかお確かめください。"));
        return;
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
    const QList<QByteArray> lines = SplitLines(ReadWholeFile(path));
    if (sel >= lines.size()) {
        // The trash file lost entries behind the program's back.
        BeepMessage(U("ゴミ箱のデータが見つかりません"));
        return;
    }
    const QByteArray record = lines.at(sel);

    // The record goes back through the new-memo page and its save, to the
    // end of the list.
    Memo1->setText(DecodeCp932(record));
    const NewMemoResult saved = SaveNewMemo(*this, &record);
    Memo1->clear();
    // An entry whose save failed stays in the trash; an empty one, which no
    // save accepts, is purged.
    if (saved == NewMemoResult::NotSaved)
        return;
    Button6Click();
    ActivatePage(3);
}

void TForm1::Button6Click() {
    const QString path = TrashFileName(*this);
    if (!FileExists(path)) {
        BeepMessage(U("予期しないエラーが発生しました。ゴミ箱のデータが見つかりません"));
        return;
    }
    const int sel = ListBox3->itemIndex();
    if (sel < 0) {
        BeepMessage(U("削除対象の記事を選択してください。"));
        return;
    }
    const QByteArray old = ReadWholeFile(path);
    const QList<QByteArray> lines = SplitLines(old);
    const bool dropped = sel < lines.size();
    QByteArray text =
        JoinRecords(lines.size() - (dropped ? 1 : 0), [&](qsizetype i) -> const QByteArray & {
            return lines.at(dropped && i >= sel ? i + 1 : i);
        });
    text += HiddenTail(old); // bytes from a NUL on are never shown, and kept
    errno = 0;
    if (!WriteFileAtomic(path, text)) {
        const int error = errno != 0 ? errno : EIO;
        // The file may hold the new text already (only its flush to disk
        // failed): the page shows what it holds, so that no row stands for
        // another entry at the next restore or purge.
        TabSheet4Show();
        throw AppError(FileErrorText(error));
    }
    TabSheet4Show();
}

void TForm1::N6Click() {
    Button6->click();
}

void TForm1::Button7Click() {
    // A trash file that is already gone is fine, and a folder under its name
    // is no trash file (the page says so); a trash file that could not be
    // deleted is reported once the page shows what it still holds.
    const bool gone = DeleteFile(TrashFileName(*this)) || errno == ENOENT || errno == EISDIR;
    const int error = errno;
    TabSheet4Show();
    if (!gone)
        throw AppError(FileErrorText(error));
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
