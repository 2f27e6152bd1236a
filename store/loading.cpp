// Loading the list file into the window, and rewriting it whole.
#include "platform/apperror.h"
#include "platform/platform.h"
#include "store/history.h"
#include "ui/Quorvelmain.h"
#include "ui/widgets.h"

#include <QScopeGuard>

void TForm1::LoadList() {
    // The title rows show the records held: they are set again whatever the
    // load comes to, also when it fails.
    const auto rows = qScopeGuard([this] { ListBox1->titleModel()->setRecords(&ListBox2); });
    if (List.Reload() == ListFile::Load::Missing) {
        BeepMessage(ListFileName + QString::fromUtf8("の読み込みに失敗しました。\r\n"
                                                     "ファイルが存在しない可能性があります。"));
        return;
    }
    setWindowTitle(QStringLiteral("Quorvel: ") + ListFileName);
    SetStatusText(QStringLiteral("  ") + QString::number(ListBox2.size()) +
                  QString::fromUtf8("件のメモが登録されています。"));
}

namespace {

// The list file is not the one loaded: rewriting it from the records loaded
// before would undo the other program's change. Beep, message, reload, and
// the command stops.
[[noreturn]] void RefuseChangedList(TForm1 &f) {
    BeepMessage(QString::fromUtf8("リストファイルが他のプログラムによって変更されました。"
                                  "読み込み直しましたので、もう一度操作してください。"));
    f.LoadList();
    throw CommandCancelled();
}

} // namespace

void TForm1::CheckListFileUnchanged() {
    if (!List.Unchanged())
        RefuseChangedList(*this);
}

bool TForm1::SaveListText(const QList<Splice> &splices) {
    const int selected = ListBox1->itemIndex();
    ListFile::Outcome outcome;
    try {
        outcome = List.Rewrite(splices);
    } catch (const ListBusyError &) {
        throw; // nothing was written, and what is held stays
    } catch (...) {
        // The file holds what the failure left, the old content or the new:
        // it is read again, and the row stays selected.
        LoadList();
        ListBox1->setItemIndex(selected);
        throw;
    }
    if (outcome == ListFile::Outcome::Written)
        return true;
    if (outcome == ListFile::Outcome::Changed)
        RefuseChangedList(*this);
    LoadList();
    ListBox1->setItemIndex(selected);
    BeepMessage(QString::fromUtf8("ファイルへの保存時にエラーが発生しました。"));
    return false;
}

void TForm1::SetListFileName(const QString &path) {
    List.SetPath(path);
    Trash.SetPath(ChangeFileExt(path, QStringLiteral(".trh")));
    ListBox1->titleModel()->setRecords(&ListBox2);
    ListBox3->titleModel()->setRecords(&Trash.records());
    History->Clear();
    ConflictCopiesDue = true; // the copies of this list, once the list page shows it
}
