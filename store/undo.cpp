// Taking back and making again the changes to the memos.
#include "platform/apperror.h"
#include "platform/fileio.h"
#include "platform/platform.h"
#include "platform/utf8.h"
#include "store/history.h"
#include "ui/Quorvelmain.h"
#include "ui/widgets.h"

#include <algorithm>

namespace {

// Selects in box the row of the change's memo after the change was taken
// back (forward false) or made again: its row there, else the row where it
// stood, else the row kept from before; never past the last row.
void SelectRow(TitleListView &box, const MemoRows &rows, bool forward, int kept) {
    const int there = forward ? rows.after : rows.before;
    const int stood = forward ? rows.before : rows.after;
    const int row = there >= 0 ? there : stood >= 0 ? stood : kept;
    const int count = box.titleModel()->count();
    box.setItemIndex(count == 0 ? -1 : std::min(row, count - 1));
}

// Loads the page that shows, so that it shows the files as they are now,
// and selects the rows of the change.
void ShowChange(TForm1 &f, const MemoChange &c, bool forward) {
    switch (f.PageControl1->currentIndex()) {
    case TForm1::NewMemoPage:
    case TForm1::EditPage:
        f.ActivatePage(TForm1::ListPage); // showing the list page loads it
        SelectRow(*f.ListBox1, c.list, forward, -1);
        break;
    case TForm1::ListPage: {
        const int kept = f.ListBox1->itemIndex();
        f.LoadList();
        SelectRow(*f.ListBox1, c.list, forward, kept);
        break;
    }
    case TForm1::TrashPage: {
        const int kept = f.ListBox3->itemIndex();
        f.TabSheet4Show();
        SelectRow(*f.ListBox3, c.trash, forward, kept);
        break;
    }
    default:
        break;
    }
}

// Takes back the newest change (forward false) or makes again the one taken
// back last, and shows the files as they are then.
void Step(TForm1 &f, bool forward) {
    ChangeHistory &h = *f.History;
    const MemoChange *change = forward ? h.ToRedo() : h.ToUndo();
    if (!change)
        return;
    // Kept for after the step: a refusal empties the history.
    const MemoChange c = *change;
    const HistoryFiles files{&f.List, &f.Trash};
    ChangeHistory::Result r;
    try {
        r = forward ? h.Redo(files) : h.Undo(files);
    } catch (...) {
        ShowChange(f, c, !forward); // the page shows the files as they are
        throw;
    }
    switch (r.outcome) {
    case ChangeHistory::Outcome::Nothing:
        return;
    case ChangeHistory::Outcome::Refused:
        // The files moved on since this program last wrote them: nothing
        // was written, and the history, which no longer fits them, is empty.
        BeepMessage(forward
                        ? U("ファイルが他のプログラムによって変更されたため、やり直せません。")
                        : U("ファイルが他のプログラムによって変更されたため、元に戻せません。"));
        if (f.PageControl1->currentIndex() == TForm1::ListPage)
            f.LoadList();
        return;
    case ChangeHistory::Outcome::Failed:
        // The change stays where it was; the page shows the files as they
        // are, then the failure is reported as the command would.
        ShowChange(f, c, !forward);
        if (r.failedFile == MemoFile::List) {
            BeepMessage(U("ファイルへの保存時にエラーが発生しました。"));
            return;
        }
        throw AppError(FileErrorText(r.error));
    case ChangeHistory::Outcome::Done:
        break;
    }
    ShowChange(f, c, forward);
    f.SetStatusText((forward ? U("やり直しました：") : U("元に戻しました：")) + c.name);
}

} // namespace

void TForm1::Undo1Click() {
    Step(*this, false);
}

void TForm1::Redo1Click() {
    Step(*this, true);
}
