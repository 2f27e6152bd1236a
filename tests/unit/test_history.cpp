// Taking back and making again: a rewrite from the records of a file written
// elsewhere comes back byte for byte, pieces that are not where the change
// left them are refused, and the history keeps the last hundred changes.
#include "store/history.h"
#include "store/record.h"
#include "store/undo.h"
#include "test_support.h"
#include "ui/widgets.h"

#include <QPushButton>

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

        const std::optional<QByteArray> made = change.Made(file);
        ASSERT_TRUE(made);
        EXPECT_EQ(*made, CrLfText(moved) + QByteArray("\0tail\r\n", 7));
        EXPECT_EQ(change.TakenBack(*made), file);
    }
}

TEST(FileChangeTest, BytesTheChangeDidNotLeaveAreRefused) {
    const QList<QByteArray> records = {"one", "two"};
    const FileChange edit = FileChange::Pieces({ReplaceRecordSplice(records, 1, "TWO")});
    EXPECT_EQ(edit.Made("one\r\ntwo\r\n"), QByteArray("one\r\nTWO\r\n"));
    EXPECT_EQ(edit.TakenBack("one\r\nTWO\r\n"), QByteArray("one\r\ntwo\r\n"));
    EXPECT_EQ(edit.TakenBack("one\r\ntwo\r\n"), std::nullopt);
    EXPECT_EQ(edit.TakenBack("one\r\nTW"), std::nullopt);
    // A layout of other line ends than the file's.
    const FileChange rewrite = FileChange::Pieces({}, LineLayout::Of("one\ntwo\n"));
    EXPECT_EQ(rewrite.Made("one\r\ntwo\n"), std::nullopt);
    EXPECT_EQ(rewrite.TakenBack("one\r\ntwo\r\nthree\r\n"), std::nullopt);
    const FileChange emptied = FileChange::Whole("a\r\n", "");
    EXPECT_EQ(emptied.TakenBack(""), QByteArray("a\r\n"));
    EXPECT_EQ(emptied.TakenBack("b\r\n"), std::nullopt);
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
    ASSERT_EQ(f.History->count(), 4);
    for (int i = 0; i < f.History->count(); ++i) {
        const auto *c = static_cast<const MemoChange *>(f.History->command(i));
        for (const MemoChange::Part &part : c->parts)
            for (const Splice &s : part.change.splices)
                for (const QByteArray *bytes : {&s.removed, &s.inserted})
                    EXPECT_LE(bytes->capacity(), bytes->size() + 64)
                        << c->text().toStdString() << ": " << bytes->toStdString();
    }
}

} // namespace
