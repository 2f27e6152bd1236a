// The history of the changes this program made to the current list file and
// its trash file in this run, which the Edit menu takes back and makes again.
#pragma once

#include "platform/fileio.h"
#include "store/history.h"

#include <QList>
#include <QUndoCommand>
#include <QUndoStack>
#include <climits>
#include <memory>

class TForm1;

// The two files a change may touch.
enum class MemoFile { List = 0, Trash = 1 };

// The row of the memo a change concerns, in the list or in the trash, before
// and after the change: -1 when it is not there, AtEnd for the last row.
constexpr int AtEnd = INT_MAX;
struct MemoRows {
    int before = -1;
    int after = -1;
};

// One change as a command made it.
class MemoChange : public QUndoCommand {
  public:
    struct Part {
        Part(MemoFile f = MemoFile::List, FileChange c = {}) : file(f), change(std::move(c)) {}
        MemoFile file = MemoFile::List;
        FileChange change;
        // Whether the file holds the change now: a two-file change whose
        // second write failed has one part taken back and one not.
        bool made = true;
    };

    explicit MemoChange(const QString &name) : QUndoCommand(name) {}

    // In the order the command wrote them: the file that gained a memo first.
    QList<Part> parts;
    MemoRows list, trash;

    // The stack only keeps the changes and their order: the files are
    // written before it moves, so that a change whose write fails stays
    // where it was.
    void undo() override {}
    void redo() override {}
};

class ChangeHistory : public QUndoStack {
    Q_OBJECT
  public:
    explicit ChangeHistory(QObject *parent = nullptr);

    // What this program last left each file as, by a change in the history;
    // a change is taken back or made again only while its files are still so.
    FileStamp left[2];

    // Enters a change that the command has fully written; written holds the
    // stamp of each file as the change left it.
    void Record(std::unique_ptr<MemoChange> change, const QList<FileStamp> &written);
    // The program wrote a file without changing what it holds (the empty
    // trash made anew): the history goes on with the file as it is now.
    void Rewritten(MemoFile file, const FileStamp &before, const FileStamp &after);
};
