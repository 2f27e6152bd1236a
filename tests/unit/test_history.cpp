// Taking back and making again: a rewrite from the records of a file written
// elsewhere comes back byte for byte, pieces that are not where the change
// left them are refused, and the history keeps the last hundred changes.
#include "store/history.h"
#include "store/listfile.h"
#include "store/record.h"
#include "test_support.h"
#include "ui/widgets.h"

#include <QPushButton>
#include <QRandomGenerator>

using namespace testing_support;

namespace {

QByteArray CrLfText(const QList<QByteArray> &records) {
    QByteArray out;
    for (const QByteArray &r : records)
        out += r + "\r\n";
    return out;
}

TEST(FileChangeTest, RewriteOfAFileWrittenElsewhereComesBackByteForByte) {
    const QByteArray texts[] = {"a\r\nb\r\nc\r\n", "a\nb\nc",       "a\rb\r\nc\n",
                                "a\n\rb\r\nc",     "x\ny\nz\n\r\n", "\n\n\n"};
    for (const QByteArray &text : texts) {
        SCOPED_TRACE(text.toStdString());
        const QByteArray file = text + QByteArray("\0tail\r\n", 7);
        const QList<QByteArray> records = SplitLines(text);
        // The last record to the top, as a rewrite of the records writes it.
        QList<QByteArray> moved = records;
        moved.move(moved.size() - 1, 0);
        const FileChange change = FileChange::Pieces(
            MoveRecordSplices(records, records.size() - 1, 0), LineLayout::Of(text));

        const std::optional<QByteArray> made = change.Redo(file);
        ASSERT_TRUE(made);
        EXPECT_EQ(*made, CrLfText(moved) + QByteArray("\0tail\r\n", 7));
        EXPECT_EQ(change.Undo(*made), file);
    }
}

TEST(FileChangeTest, BytesTheChangeDidNotLeaveAreRefused) {
    const QList<QByteArray> records = {"one", "two"};
    const FileChange edit = FileChange::Pieces({ReplaceRecordSplice(records, 1, "TWO")});
    EXPECT_EQ(edit.Redo("one\r\ntwo\r\n"), QByteArray("one\r\nTWO\r\n"));
    EXPECT_EQ(edit.Undo("one\r\nTWO\r\n"), QByteArray("one\r\ntwo\r\n"));
    EXPECT_EQ(edit.Undo("one\r\ntwo\r\n"), std::nullopt);
    EXPECT_EQ(edit.Undo("one\r\nTW"), std::nullopt);
    // A layout of other line ends than the file's.
    const FileChange rewrite = FileChange::Pieces({}, LineLayout::Of("one\ntwo\n"));
    EXPECT_EQ(rewrite.Redo("one\r\ntwo\n"), std::nullopt);
    EXPECT_EQ(rewrite.Undo("one\r\ntwo\r\nthree\r\n"), std::nullopt);
    const FileChange emptied = FileChange::Whole("a\r\n", "");
    EXPECT_EQ(emptied.Undo(""), QByteArray("a\r\n"));
    EXPECT_EQ(emptied.Undo("b\r\n"), std::nullopt);
}

// A change that appends to the list and deletes a file of its own beside
// it (a sync tool's conflict copy taken in): undo puts the file back byte for
// byte, redo deletes it again, and an undo is refused, with nothing written,
// when a file stands where the change left none.
TEST(HistoryOtherFile, PutBackByteForByteDeletedAgainRefusedWhenChanged) {
    QTemporaryDir dir;
    ListFile list(dir.filePath(QStringLiteral("a.lst")));
    ListFile trash(dir.filePath(QStringLiteral("a.trh")));
    const QString copy = dir.filePath(QStringLiteral("a (conflicted copy 1).lst"));
    const QByteArray copyBytes("a\nb\r\0after NUL", 14);
    const auto put = [](const QString &path, const QByteArray &bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    const auto read = [](const QString &path) {
        return ReadFileIfPresent(path).value_or(QByteArray("<no file>"));
    };
    put(list.path(), "a\n");
    put(copy, copyBytes);
    list.Reload();
    const QList<Splice> added = {Splice{3, {}, "b\r\n"}};
    const std::optional<LineLayout> layout = list.Layout();
    ASSERT_EQ(list.Rewrite(added), ListFile::Outcome::Written);
    ASSERT_TRUE(DeleteFile(copy));
    ChangeHistory history;
    auto change = std::make_unique<MemoChange>(QStringLiteral("take in"));
    change->parts = {{MemoFile::List, FileChange::Pieces(added, layout)},
                     {copy, FileChange::Removal(copyBytes)}};
    history.Record(std::move(change), {list.stamp(), StampOf(copy)});
    const HistoryFiles files{&list, &trash};

    ASSERT_EQ(history.Undo(files).outcome, ChangeHistory::Outcome::Done);
    EXPECT_EQ(read(list.path()), QByteArray("a\n"));
    EXPECT_EQ(read(copy), copyBytes);
    ASSERT_EQ(history.Redo(files).outcome, ChangeHistory::Outcome::Done);
    EXPECT_EQ(read(list.path()), QByteArray("a\r\nb\r\n"));
    EXPECT_EQ(read(copy), QByteArray("<no file>"));

    // A file under the copy's name again: the undo would write over it.
    put(copy, "new\r\n");
    EXPECT_EQ(history.Undo(files).outcome, ChangeHistory::Outcome::Refused);
    EXPECT_EQ(read(list.path()), QByteArray("a\r\nb\r\n"));
    EXPECT_EQ(read(copy), QByteArray("new\r\n"));
    EXPECT_FALSE(history.CanUndo());
}

using HistoryTest = ProgramTest;

TEST_F(HistoryTest, KeepsTheLastHundredChanges) {
    Write("quorvel.lst", "a\r\nb\r\n");
    TForm1 &f = Start();
    for (int i = 0; i < 101; ++i) {
        f.ListBox1->setItemIndex(i % 2);
        (i % 2 ? f.Button2 : f.Button3)->click();
    }
    EXPECT_EQ(Read("quorvel.lst"), QByteArray("b\r\na\r\n"));
    int taken = 0;
    while (f.Undo1->isEnabled()) {
        f.Undo1->trigger();
        ++taken;
    }
    EXPECT_EQ(taken, 100);
    // The oldest change is gone: the file is as the first change left it.
    EXPECT_EQ(Read("quorvel.lst"), QByteArray("b\r\na\r\n"));
    EXPECT_TRUE(platform_->events.isEmpty()) << platform_->events.join(U(" | ")).toStdString();
}

TEST_F(HistoryTest, KeepsOnlyTheRecordsTheChangesConcern) {
    // Loaded records share the file's buffer: a history entry holding one of
    // them, or a copy Qt sized after that buffer, would keep a whole list.
    QByteArray list;
    for (int i = 0; i < 5000; ++i)
        list += "memo number " + QByteArray::number(i) + " with some text\r\n";
    Write("quorvel.lst", list);
    TForm1 &f = Start();
    const auto select = [&f](int row) { f.ListBox1->setItemIndex(row); };
    select(4000);
    f.ToTopClick();
    select(3000);
    f.Button2Click();
    select(2000);
    platform_->colours.push_back(0x000000FF);
    f.BgColorClick();
    select(1000);
    f.D1Click();
    ASSERT_EQ(f.History->Names().size(), 4);
    // The pieces of four memos of some 35 bytes each, twice, and little room.
    EXPECT_LT(f.History->KeptBytes(), 1024);
}

// Random changes of every kind, on files with any line ends and bytes after a
// NUL, made through the list file objects and entered in the history: taking
// them all back gives the files of each step before byte for byte, and making
// them all again the files they left.
TEST(HistoryProperty, ChangesTakenBackAndMadeAgainGiveEveryStepByteForByte) {
    QRandomGenerator random(2026);
    const QByteArray ends[] = {"\r\n", "\r\n", "\r", "\n"};
    const auto text = [&] {
        QByteArray t;
        const int n = random.bounded(6);
        for (int i = 0; i < n; ++i)
            t += "m" + QByteArray::number(random.bounded(5)) + ends[random.bounded(4)];
        if (random.bounded(4) == 0)
            t += "open";
        if (random.bounded(5) == 0)
            t += QByteArray("\0hidden\r\n", 9);
        return t;
    };
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        QTemporaryDir dir;
        ListFile list(dir.filePath(QStringLiteral("a.lst")));
        ListFile trash(dir.filePath(QStringLiteral("a.trh")));
        for (ListFile *f : {&list, &trash}) {
            QFile out(f->path());
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(text());
        }
        const auto files = [&] {
            return QList<QByteArray>{ReadWholeFile(list.path()), ReadWholeFile(trash.path())};
        };
        QList<QList<QByteArray>> steps{files()};
        ChangeHistory history;
        for (int k = 0; k < 6; ++k) {
            list.Reload();
            trash.Reload();
            const Records &l = list.records();
            const qsizetype n = l.size();
            auto c = std::make_unique<MemoChange>(QStringLiteral("change"));
            QList<FileStamp> written;
            const int kind = random.bounded(5);
            if (kind == 0 && n > 1) { // a move
                c->parts = {
                    {MemoFile::List,
                     FileChange::Pieces(MoveRecordSplices(l, random.bounded(n), random.bounded(n)),
                                        list.Layout())}};
            } else if (kind == 1 && n > 0) { // an edit, or a colour
                c->parts = {{MemoFile::List,
                             FileChange::Pieces({ReplaceRecordSplice(l, random.bounded(n), "e")},
                                                list.Layout())}};
            } else if (kind == 2) { // a new memo
                Splice added;
                ASSERT_TRUE(list.Append("new", &added));
                c->parts = {{MemoFile::List, FileChange::Pieces({added})}};
                written = {list.stamp()};
            } else if (kind == 3 && n > 0) { // to the trash
                const qsizetype s = random.bounded(n);
                Splice added;
                ASSERT_TRUE(trash.Append(l.at(s), &added));
                c->parts = {{MemoFile::Trash, FileChange::Pieces({added})},
                            {MemoFile::List,
                             FileChange::Pieces({RemoveRecordSplice(l, s)}, list.Layout())}};
                ASSERT_EQ(list.Rewrite(c->parts.last().change.splices), ListFile::Outcome::Written);
                written = {trash.stamp(), list.stamp()};
            } else if (trash.records().size() > 0) { // a purge
                c->parts = {{MemoFile::Trash,
                             FileChange::Pieces(
                                 {RemoveRecordSplice(trash.records(),
                                                     random.bounded(trash.records().size()))},
                                 trash.Layout())}};
                ASSERT_EQ(trash.Rewrite(c->parts.first().change.splices),
                          ListFile::Outcome::Written);
                written = {trash.stamp()};
            } else {
                continue;
            }
            if (written.isEmpty()) {
                ASSERT_EQ(list.Rewrite(c->parts.first().change.splices),
                          ListFile::Outcome::Written);
                written = {list.stamp()};
            }
            const qsizetype before = history.Names().size();
            history.Record(std::move(c), written);
            if (history.Names().size() > before)
                steps.append(files());
            else
                steps.last() = files(); // the bytes did not change
        }
        const HistoryFiles both{&list, &trash};
        for (qsizetype i = steps.size() - 2; i >= 0; --i) {
            ASSERT_EQ(history.Undo(both).outcome, ChangeHistory::Outcome::Done);
            ASSERT_EQ(files(), steps[i]);
        }
        EXPECT_FALSE(history.CanUndo());
        for (qsizetype i = 1; i < steps.size(); ++i) {
            ASSERT_EQ(history.Redo(both).outcome, ChangeHistory::Outcome::Done);
            ASSERT_EQ(files(), steps[i]);
        }
    }
}

} // namespace
