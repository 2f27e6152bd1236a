// Loading the list file into the window, and rewriting it whole.
#include "platform/apperror.h"
#include "platform/cp932.h"
#include "platform/fileio.h"
#include "platform/platform.h"
#include "store/record.h"
#include "store/undo.h"
#include "ui/Quorvelmain.h"
#include "ui/widgets.h"

void TForm1::LoadList() {
    ListBox2.clear();
    // The title rows share the records: the old ones go before the new ones
    // are read, so that a big list is never held twice.
    ListBox1->titleModel()->clear();
    ListFileLoaded = FileStamp();
    ListFileTail.clear();
    // From here on no title row stands for a record that is not loaded, also
    // when the load fails.
    if (!FileIsPresent(ListFileName)) {
        BeepMessage(ListFileName + QString::fromUtf8("の読み込みに失敗しました。\r\n"
                                                     "ファイルが存在しない可能性があります。"));
        return;
    }
    QByteArray data = ReadWholeFile(ListFileName, &ListFileLoaded);
    ListBox2 = SplitLines(data);
    ListFileTail = HiddenTail(data);
    data.clear();

    ListBox1->titleModel()->setRecords(ListBox2);

    setWindowTitle(QStringLiteral("Quorvel: ") + ListFileName);
    SetStatusText(QStringLiteral("  ") + QString::number(ListBox2.size()) +
                  QString::fromUtf8("件のメモが登録されています。"));
}

void TForm1::CheckListFileUnchanged() {
    if (StampOf(ListFileName) == ListFileLoaded)
        return;
    // Rewriting from the lists loaded before would undo the other change.
    BeepMessage(QString::fromUtf8("リストファイルが他のプログラムによって変更されました。"
                                  "読み込み直しましたので、もう一度操作してください。"));
    LoadList();
    throw CommandCancelled();
}

bool TForm1::SaveListText(const QByteArray &Text) {
    CheckListFileUnchanged();
    // The file is replaced atomically: a failed write leaves the old content whole.
    const QByteArray &whole = ListFileTail.isEmpty() ? Text : Text + ListFileTail;
    if (WriteFileAtomic(ListFileName, whole, &ListFileLoaded))
        return true;
    BeepMessage(QString::fromUtf8("ファイルへの保存時にエラーが発生しました。"));
    return false;
}

void TForm1::SetListFileName(const QString &path) {
    ListFileName = path;
    History->clear();
}
