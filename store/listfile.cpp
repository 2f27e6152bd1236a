// Loading the list file into the window, and rewriting it whole.
#include "platform/apperror.h"
#include "platform/cp932.h"
#include "platform/fileio.h"
#include "platform/platform.h"
#include "store/record.h"
#include "store/undo.h"
#include "ui/Quorvelmain.h"
#include "ui/widgets.h"

#include <utility>

void TForm1::LoadList() {
    // The title rows share the records: they go first, so that a big list is
    // never held twice and the raw list, then this form's alone, can be
    // filled again in the memory it has.
    ListBox1->titleModel()->clear();
    const FileStamp held = std::exchange(ListFileLoaded, FileStamp());
    std::optional<QByteArray> written = std::exchange(ListFileWritten, std::nullopt);
    // The file is still what this program last read or wrote when it has the
    // same identity, size and modification time; a change by another program
    // gives it another stamp, and the file is read again.
    const bool same = held.exists && StampOf(ListFileName) == held;
    if (!same || written)
        ListBox2.clear();
    if (!same)
        ListFileTail.clear();
    // From here on no title row stands for a record that is not loaded, also
    // when the load fails.
    if (!FileIsPresent(ListFileName)) {
        ListBox2.clear();
        ListFileTail.clear();
        BeepMessage(ListFileName + QString::fromUtf8("の読み込みに失敗しました。\r\n"
                                                     "ファイルが存在しない可能性があります。"));
        return;
    }
    if (same) {
        // The bytes just written are the file's: what follows a NUL in them
        // is the tail already kept.
        if (written)
            SplitLinesInto(*written, ListBox2);
        ListFileLoaded = held;
    } else {
        QByteArray data = ReadWholeFile(ListFileName, &ListFileLoaded);
        SplitLinesInto(data, ListBox2);
        ListFileTail = HiddenTail(data);
    }
    written.reset();

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
    const QByteArray whole = ListFileTail.isEmpty() ? Text : Text + ListFileTail;
    FileStamp written;
    if (WriteFileAtomic(ListFileName, whole, &written)) {
        ListFileLoaded = written;
        ListFileWritten = whole; // shares the bytes; the reload splits them
        return true;
    }
    BeepMessage(QString::fromUtf8("ファイルへの保存時にエラーが発生しました。"));
    return false;
}

void TForm1::SetListFileName(const QString &path) {
    ListFileName = path;
    History->clear();
}
