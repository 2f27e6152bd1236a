// Loading the list file into the window, and rewriting it whole.
#include "platform/apperror.h"
#include "platform/cp932.h"
#include "platform/fileio.h"
#include "platform/platform.h"
#include "store/editing.h"
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
    const bool rewritten = std::exchange(ListFileRewritten, false);
    // The file is still what this program last read or wrote when it has the
    // same identity, size and modification time; a change by another program
    // gives it another stamp, and the file is read again.
    const bool same = StillIs(ListFileName, held);
    if (!same || rewritten)
        ListBox2.clear();
    if (!same) {
        ListFileTail.clear();
        ListFileBytes = QByteArray();
    }
    // From here on no title row stands for a record that is not loaded, also
    // when the load fails.
    if (!FileIsPresent(ListFileName)) {
        ListBox2.clear();
        ListFileTail.clear();
        ListFileBytes = QByteArray();
        BeepMessage(ListFileName + QString::fromUtf8("の読み込みに失敗しました。\r\n"
                                                     "ファイルが存在しない可能性があります。"));
        return;
    }
    if (same) {
        // The bytes just written are the file's: what follows a NUL in them
        // is the tail already kept.
        if (rewritten)
            SplitLinesInto(ListFileBytes, ListBox2);
        ListFileLoaded = held;
    } else {
        ListFileBytes = ReadWholeFile(ListFileName, &ListFileLoaded);
        SplitLinesInto(ListFileBytes, ListBox2);
        ListFileTail = HiddenTail(ListFileBytes);
    }

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
    if (WriteListBytes(ListFileTail.isEmpty() ? Text : Text + ListFileTail))
        return true;
    BeepMessage(QString::fromUtf8("ファイルへの保存時にエラーが発生しました。"));
    return false;
}

bool TForm1::SaveListChange(const QList<Splice> &splices) {
    CheckListFileUnchanged();
    if (ListFileRewritten || ListFileBytes.isNull() ||
        !LoadedTextEnd(ListBox2, ListFileTail, ListFileLoaded)) {
        // The bytes held are not the loaded records each ended by CR LF: the
        // new text is built from the records.
        QByteArray text = JoinRecords(
            ListBox2.size(), [this](qsizetype i) -> const QByteArray & { return ListBox2.at(i); });
        if (SpliceInPlace(text, splices))
            return SaveListText(text);
        BeepMessage(QString::fromUtf8("ファイルへの保存時にエラーが発生しました。"));
        return false;
    }
    // The file is the loaded records each ended by CR LF, then the bytes from
    // a NUL on: the change is made in those very bytes, in memory already in
    // use (a list-sized buffer of new memory costs more to fill than the
    // change itself). The records and the title rows let go of the bytes
    // first; they are split again by the reload that follows.
    const int selected = ListBox1->itemIndex();
    QByteArray whole = std::exchange(ListFileBytes, QByteArray());
    ListBox1->titleModel()->clear();
    ListBox2.clear();
    bool saved = false;
    try {
        saved = SpliceInPlace(whole, splices) && WriteListBytes(std::move(whole));
    } catch (...) {
        ReloadAfterFailedRewrite(selected);
        throw;
    }
    if (saved)
        return true;
    ReloadAfterFailedRewrite(selected);
    BeepMessage(QString::fromUtf8("ファイルへの保存時にエラーが発生しました。"));
    return false;
}

bool TForm1::WriteListBytes(QByteArray whole) {
    FileStamp written;
    if (!WriteFileAtomic(ListFileName, whole, &written))
        return false;
    ListFileLoaded = written;
    ListFileBytes = std::move(whole);
    ListFileRewritten = true;
    return true;
}

void TForm1::ReloadAfterFailedRewrite(int selected) {
    // The file holds what the failure left, the old content or the new.
    ListFileLoaded = FileStamp();
    ListFileRewritten = false;
    try {
        LoadList();
    } catch (const std::exception &) {
        // The error the rewrite met is the one to report; the list stays
        // empty until it is shown again.
        return;
    }
    ListBox1->setItemIndex(selected);
}

void TForm1::SetListFileName(const QString &path) {
    ListFileName = path;
    History->clear();
}
