// Taking back and making again the changes to the memos.
#include "store/undo.h"

#include "platform/apperror.h"
#include "platform/platform.h"
#include "store/record.h"
#include "ui/Quorvelmain.h"
#include "ui/widgets.h"

#include <cerrno>

namespace {

QString U(const char *utf8) {
    return QString::fromUtf8(utf8);
}

// The row to select after a change was taken back (forward false) or made
// again: the memo's row there, else the row where it stood, else the row
// selected before; never past the last row.
int RowAfter(const MemoRows &rows, bool forward, int count, int kept) {
    const int there = forward ? rows.after : rows.before;
    const int stood = forward ? rows.before : rows.after;
    const int row = there >= 0 ? there : stood >= 0 ? stood : kept;
    return count == 0 ? -1 : std::min(row, count - 1);
}

// Loads the page that shows, so that it shows the files as they are now,
// and selects the rows of the change.
void ShowChange(TForm1 &f, const MemoChange &c, bool forward) {
    switch (f.PageControl1->currentIndex()) {
    case 1:
    case 2:
        f.ActivatePage(0); // showing the list page loads it
        f.ListBox1->setItemIndex(RowAfter(c.list, forward, f.ListBox1->titleModel()->count(), -1));
        break;
    case 0: {
        const int kept = f.ListBox1->itemIndex();
        f.LoadList();
        f.ListBox1->setItemIndex(
            RowAfter(c.list, forward, f.ListBox1->titleModel()->count(), kept));
        break;
    }
    case 3: {
        const int kept = f.ListBox3->itemIndex();
        f.TabSheet4Show();
        f.ListBox3->setItemIndex(
            RowAfter(c.trash, forward, f.ListBox3->titleModel()->count(), kept));
        break;
    }
    default:
        break;
    }
}

// The files moved on since this program last wrote them: nothing is
// written, and the history, which no longer fits them, is emptied.
void Refuse(TForm1 &f, bool forward) {
    BeepMessage(forward ? U("ファイルが他のプログラムによって変更されたため、やり直せません。")
                        : U("ファイルが他のプログラムによって変更されたため、元に戻せません。"));
    f.History->clear();
    if (f.PageControl1->currentIndex() == 0)
        f.LoadList();
}

ListFile &FileOf(TForm1 &f, MemoFile file) {
    return file == MemoFile::List ? f.List : f.Trash;
}

// Takes back the newest change (forward false) or makes again the one taken
// back last.
void Step(TForm1 &f, bool forward) {
    ChangeHistory &h = *f.History;
    if (forward ? !h.canRedo() : !h.canUndo())
        return;
    auto *c = static_cast<MemoChange *>(
        const_cast<QUndoCommand *>(h.command(forward ? h.index() : h.index() - 1)));

    // No other Quorvel writes either file until the change is written.
    FolderLock lock(f.ListFileName);
    // Every file the change touches must be as this program left it, before
    // anything is written: the stamp it left, and the content it holds.
    for (const MemoChange::Part &part : std::as_const(c->parts)) {
        ListFile &file = FileOf(f, part.file);
        if (!file.Held() || file.stamp() != h.left[int(part.file)])
            file.Reload();
        if (file.stamp() != h.left[int(part.file)] || !file.Unchanged())
            return Refuse(f, forward);
    }

    // The file that gains a memo first: a failure in between leaves it in
    // both files, never in neither.
    QList<MemoChange::Part *> order;
    for (MemoChange::Part &part : c->parts)
        order.append(&part);
    if (!forward)
        std::reverse(order.begin(), order.end());
    for (MemoChange::Part *part : std::as_const(order)) {
        if (part->made == forward)
            continue; // written already by an attempt that failed later
        ListFile &file = FileOf(f, part->file);
        const QByteArrayView now = file.records().content();
        const std::optional<QByteArray> next =
            forward ? part->change.Made(now) : part->change.TakenBack(now);
        if (!next)
            return Refuse(f, forward);
        errno = 0;
        const FileStamp read = file.stamp();
        bool done = false;
        try {
            done = file.Replace(*next);
        } catch (...) {
            ShowChange(f, *c, !forward); // the page shows the files as they are
            throw;
        }
        const int error = errno != 0 ? errno : EIO;
        if (!done) {
            // A file that was replaced all the same (only its flush to disk
            // failed) holds the change now.
            const FileStamp after = StampOf(file.path());
            if (after != read && after.exists) {
                part->made = forward;
                h.left[int(part->file)] = after;
            }
            // The change stays where it was; the page shows the files as
            // they are, then the failure is reported as the command would.
            ShowChange(f, *c, !forward);
            if (part->file == MemoFile::List) {
                BeepMessage(U("ファイルへの保存時にエラーが発生しました。"));
                return;
            }
            throw AppError(FileErrorText(error));
        }
        part->made = forward;
        h.left[int(part->file)] = file.stamp();
    }
    if (forward)
        h.redo();
    else
        h.undo();
    ShowChange(f, *c, forward);
    f.SetStatusText((forward ? U("やり直しました：") : U("元に戻しました：")) + c->text());
}

} // namespace

ChangeHistory::ChangeHistory(QObject *parent) : QUndoStack(parent) {
    setUndoLimit(100);
}

void ChangeHistory::Record(std::unique_ptr<MemoChange> change, const QList<FileStamp> &written) {
    for (qsizetype i = 0; i < change->parts.size() && i < written.size(); ++i)
        left[int(change->parts[i].file)] = written[i];
    // A command that wrote the files as they were (the colour a memo has
    // already, an edit saved unchanged) leaves nothing to take back, and the
    // changes taken back can still be made again.
    const bool changes = std::any_of(change->parts.cbegin(), change->parts.cend(),
                                     [](const MemoChange::Part &p) { return p.change.Changes(); });
    if (changes)
        push(change.release()); // drops the changes taken back and not made again
}

void ChangeHistory::Rewritten(MemoFile file, const FileStamp &before, const FileStamp &after) {
    if (left[int(file)] == before)
        left[int(file)] = after;
}

void TForm1::Undo1Click() {
    Step(*this, false);
}

void TForm1::Redo1Click() {
    Step(*this, true);
}
