// Writing, editing, ordering and colouring memos, and painting the title rows.
#include "store/editing.h"

#include "platform/cp932.h"
#include "platform/fileio.h"
#include "platform/platform.h"
#include "platform/utf8.h"
#include "store/history.h"
#include "store/memotext.h"
#include "store/record.h"
#include "store/rowpaint.h"
#include "ui/Quorvelmain.h"
#include "ui/widgets.h"

#include <QCheckBox>
#include <QPainter>
#include <algorithm>

namespace {

// The selected row of the title list when it stands for a loaded record,
// else -1, with noSelection said when given. After a failed load no row may
// be taken for a record.
int SelectedRecord(const TForm1 &f, const char *noSelection = nullptr) {
    const int s = f.ListBox1->itemIndex();
    if (s >= 0 && s < f.ListBox2.size())
        return s;
    if (noSelection)
        BeepMessage(U(noSelection));
    return -1;
}

// A change to the list file alone, made by rewriting the loaded records.
std::unique_ptr<MemoChange> ListChange(const char *name, QList<Splice> splices, MemoRows rows) {
    auto change = std::make_unique<MemoChange>(U(name));
    change->parts = {{MemoFile::List, FileChange::Pieces(std::move(splices))}};
    change->list = rows;
    return change;
}

// Rewrites the list file with the loaded records changed as the change says;
// a rewrite that wrote everything enters the history as change.
void SaveChange(TForm1 &f, std::unique_ptr<MemoChange> change) {
    FileChange &list = change->parts.first().change;
    list.layout = f.List.Layout();
    if (f.SaveListText(list.splices))
        f.History->Record(std::move(change), {f.List.stamp()});
}

// The same, then reloads and selects a row (AtEnd: the last one).
void SaveReloadSelect(TForm1 &f, int row, std::unique_ptr<MemoChange> change) {
    SaveChange(f, std::move(change));
    f.LoadList();
    f.ListBox1->setItemIndex(row == AtEnd ? int(f.ListBox2.size()) - 1 : row);
}

// The bytes of text as it is saved: known itself when the text is exactly
// what known shows, otherwise its code page 932 form. When a character has
// none, beeps, says which one and gives nullopt.
std::optional<QByteArray> TextToSave(const QString &text, const QByteArray *known) {
    if (known && DecodeCp932(*known) == text)
        return *known;
    QString refusal;
    std::optional<QByteArray> bytes = MemoTextBytes(text, &refusal);
    if (!bytes)
        BeepMessage(refusal);
    return bytes;
}

// Appends text as a new memo to the window's list file, with the refusals
// and messages of the new-memo page.
NewMemoResult AppendNewMemo(TForm1 &f, const QString &text, const QByteArray *bytesShown,
                            Splice *appended, FileStamp *written) {
    if (text.isEmpty()) {
        BeepMessage(EmptyMemoMessage());
        return NewMemoResult::Empty;
    }
    const std::optional<QByteArray> bytes = TextToSave(text, bytesShown);
    if (!bytes)
        return NewMemoResult::NotSaved;
    // While the loaded list is the file, the memo joins it there too: the
    // append is this program's own, and a later rewrite of the loaded
    // records keeps the memo.
    if (!f.List.Append(MemoTextToRecord(*bytes), appended, written)) {
        BeepMessage(NewMemoFailedMessage());
        return NewMemoResult::NotSaved;
    }
    return NewMemoResult::Saved;
}

// A saved new memo enters the history.
void RecordNewMemo(TForm1 &f, const Splice &appended, const FileStamp &written) {
    auto change = std::make_unique<MemoChange>(U("新規保存"));
    change->parts = {{MemoFile::List, FileChange::Pieces({appended})}};
    change->list = {-1, AtEnd};
    f.History->Record(std::move(change), {written});
}

const char *const kReorderFirst = "メモの順番を入れ替えるには、まずメモを選択してください。";
const char *const kMoveFirst = "移動させるメモを選択してください。";

// Moves the selected memo to row to(selected, last), when that is another
// row, and selects it there; selectLast: whichever row is last then.
void MoveSelected(TForm1 &f, const char *name, const char *noSelection, int (*to)(int, int),
                  bool selectLast = false) {
    const int s = SelectedRecord(f, noSelection);
    if (s < 0)
        return;
    const int last = int(f.ListBox2.size()) - 1;
    const int t = std::clamp(to(s, last), 0, last);
    if (t != s)
        SaveReloadSelect(f, selectLast ? AtEnd : t,
                         ListChange(name, MoveRecordSplices(f.ListBox2, s, t), {s, t}));
}

} // namespace

NewMemoResult SaveNewMemo(TForm1 &f, const QByteArray *bytesShown, Splice *appended,
                          FileStamp *written) {
    const NewMemoResult result = AppendNewMemo(f, f.Memo1->text(), bytesShown, appended, written);
    if (result != NewMemoResult::Saved)
        return result;
    f.Memo1->clear();
    if (f.CheckBox1->isChecked()) {
        f.ActivatePage(TForm1::NewMemoPage);
        f.SetStatusText(U("新規保存できました。"));
    } else {
        f.ActivatePage(TForm1::ListPage); // showing the list page reloads it
    }
    return NewMemoResult::Saved;
}

void TForm1::Button1Click() {
    Splice appended;
    FileStamp written;
    if (SaveNewMemo(*this, nullptr, &appended, &written) == NewMemoResult::Saved)
        RecordNewMemo(*this, appended, written);
}

bool SaveQuickMemo(TForm1 &f, const QString &text) {
    // The memo selected stays selected where it then stands: the list may
    // have been changed by another program meanwhile.
    const int row = SelectedRecord(f);
    const QByteArray selected = row >= 0 ? f.ListBox2.copy(row) : QByteArray();
    Splice appended;
    FileStamp written;
    if (AppendNewMemo(f, text, nullptr, &appended, &written) != NewMemoResult::Saved)
        return false;
    RecordNewMemo(f, appended, written);
    // The window stays on its page; the list page, when it shows, follows.
    if (f.isVisible() && f.PageControl1->currentIndex() == TForm1::ListPage) {
        f.LoadList();
        f.ListBox1->setItemIndex(row >= 0 ? RowOf(f.ListBox2, selected, row) : -1);
    }
    return true;
}

void TForm1::Button2Click() {
    MoveSelected(*this, "上に移動", kReorderFirst, [](int s, int) { return s - 1; });
}

void TForm1::Button3Click() {
    MoveSelected(*this, "下に移動", kReorderFirst, [](int s, int) { return s + 1; });
}

void TForm1::ToTopClick() {
    MoveSelected(*this, "最上部に移動", kMoveFirst, [](int, int) { return 0; });
}

void TForm1::ToBottomClick() {
    MoveSelected(
        *this, "最下部に移動", kMoveFirst, [](int, int last) { return last; }, true);
}

void TForm1::ListBox1DblClick() {
    const int s = SelectedRecord(*this, "編集対象のメモが選択されていません。");
    if (s < 0)
        return;
    Memo3->clear();
    ActivatePage(EditPage);
    // The memo text as one added line: the text, then a line end.
    Memo3->setText(DecodeCp932(RecordToMemoText(ListBox2.at(s))) + U("\r\n"));
    Memo3Record = s;
}

void TForm1::N1Click() {
    ListBox1DblClick();
}

void TForm1::Button4Click() {
    // Only the memo opened for editing is saved, while it is still the one
    // selected: the edit page reached by the keys holds no memo, and after a
    // reload of the list meanwhile no row stands for it. Nothing is written.
    const int s = SelectedRecord(*this);
    if (s < 0 || s != Memo3Record) {
        BeepMessage(U("編集対象のメモが選択されていません。"));
        return;
    }
    QString edited = Memo3->text();
    if (edited.endsWith(U("\r\n")))
        edited.chop(2);
    const QByteArrayView old = ListBox2.at(s);
    const QByteArray oldText = RecordToMemoText(old);
    const std::optional<QByteArray> bytes = TextToSave(edited, &oldText);
    if (!bytes)
        return;

    const qsizetype colour = ColorMarkerPos(old);
    // The memo keeps its colour.
    QByteArray record = MemoTextToRecord(*bytes);
    record.append(colour >= 0 ? old.sliced(colour) : QByteArrayView());
    SaveChange(*this, ListChange("編集保存", {ReplaceRecordSplice(ListBox2, s, record)}, {s, s}));
    ActivatePage(ListPage); // showing the list page reloads it
}

void TForm1::BgColorClick() {
    const int s = SelectedRecord(*this, "背景色を設定するメモを選択してください。");
    if (s < 0)
        return;
    const std::optional<quint32> chosen = platform().ChooseColor(ColorDialog1Color);
    if (!chosen)
        return;
    ColorDialog1Color = *chosen;
    const QByteArrayView old = ListBox2.at(s);
    const qsizetype p = ColorMarkerPos(old);
    // The colour is replaced, not added: the record up to its colour marker,
    // then the marker and the colour.
    const QByteArray r =
        old.first(p >= 0 ? p : old.size()).toByteArray() + ColorMarker() + ColorToText(*chosen);
    SaveReloadSelect(*this, s,
                     ListChange("背景色を指定", {ReplaceRecordSplice(ListBox2, s, r)}, {s, s}));
}

void TForm1::ListBox1DrawItem(QPainter *Canvas, int Index, const QRect &Rect, bool Selected) {
    TColor background = Selected ? clHighlight : clWindow;
    if (!Selected && Index >= 0 && Index < ListBox2.size())
        background = RowBackground(ListBox2.at(Index));
    ListBox1Fills[Index] = background;

    const QPalette &pal = ListBox1->palette();
    const QColor fill = PaintColor(background, pal);
    Canvas->fillRect(Rect, fill);
    // A colour the user chose is read on any theme; the selected row keeps
    // the theme's own pair.
    const QColor text = PaintColor(Selected ? clHighlightText : clWindowText, pal);
    Canvas->setPen(Selected ? text : TextColorOn(fill, text));
    Canvas->setFont(ListBox1->font());
    const TitleModel *titles = ListBox1->titleModel();
    if (Index >= 0 && Index < titles->count())
        Canvas->drawText(QRect(Rect.left() + 2, Rect.top(), Rect.width() - 2, Rect.height()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip,
                         titles->titleText(Index));
}

void TForm1::MoveMemo(int from, int to) {
    const int n = int(ListBox2.size());
    if (from < 0 || from >= n || to < 0 || to >= n || from == to)
        return;
    // Record from on line to; the lines between move one towards from's place.
    SaveReloadSelect(*this, to,
                     ListChange("移動", MoveRecordSplices(ListBox2, from, to), {from, to}));
}
