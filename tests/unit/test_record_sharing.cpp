// Records split from a file's bytes share those bytes: a change to one of
// them, to the bytes split, or to a record left on its own must never show
// in any other.
#include "store/record.h"

#include <gtest/gtest.h>

namespace {

QByteArray Owned(const char *text) {
    return QByteArray(text); // a copy of its own, as a file read gives
}

TEST(RecordSharing, ChangingARecordLeavesTheOthersAndTheBytesAlone) {
    QByteArray data = Owned("ab\r\ncd\nef\rgh");
    QList<QByteArray> records = SplitLines(data);
    ASSERT_EQ(records, (QList<QByteArray>{"ab", "cd", "ef", "gh"}));
    records[0] += "XYZ";
    records[1][0] = 'C';
    records[2].truncate(1);
    records[2] += "++";
    EXPECT_EQ(records, (QList<QByteArray>{"abXYZ", "Cd", "e++", "gh"}));
    EXPECT_EQ(data, QByteArray("ab\r\ncd\nef\rgh"));

    // And the other way round: the bytes change, the records stay.
    const QList<QByteArray> again = SplitLines(data);
    data[0] = '#';
    data.append("more");
    EXPECT_EQ(again, (QList<QByteArray>{"ab", "cd", "ef", "gh"}));
}

TEST(RecordSharing, ARecordLeftAloneGrowsWithoutHarm) {
    QByteArray first;
    QByteArray third;
    {
        QByteArray data = Owned("one\r\ntwo\r\nthree\r\n");
        const QList<QByteArray> records = SplitLines(data);
        first = records.at(0);
        third = records.at(2);
    }
    // Only the two records hold the bytes now: the first grows while the
    // third still shares them, then the third, alone, grows in the room after
    // its own bytes.
    first += "-and-a-much-longer-tail";
    EXPECT_EQ(first, QByteArray("one-and-a-much-longer-tail"));
    EXPECT_EQ(third, QByteArray("three"));
    third.append('!');
    EXPECT_EQ(third, QByteArray("three!"));
    EXPECT_EQ(first, QByteArray("one-and-a-much-longer-tail"));
}

TEST(RecordSharing, BytesThatAreNotOwnedAreCopied) {
    static const char text[] = "p\r\nq";
    const QList<QByteArray> records = SplitLines(QByteArray::fromRawData(text, 4));
    EXPECT_EQ(records, (QList<QByteArray>{"p", "q"}));
    EXPECT_NE(records.at(0).constData(), text);
}

TEST(RecordSharing, TheListIsAllocatedForExactlyItsRecords) {
    // A count that is too small copies the whole list as it grows; one too
    // big keeps memory for records that never come.
    for (const char *text :
         {"", "a", "\r\n", "a\r\nb", "a\rb\nc\r\n", "\r\r\n\n\r", "x\ny\0z\r\n", "last\r"}) {
        const QList<QByteArray> records = SplitLines(Owned(text));
        EXPECT_EQ(records.capacity(), records.size()) << text;
    }
}

} // namespace
