// List-sized buffers start on a large page and behave as any other; a list
// of records this program alone holds is filled again in its own memory,
// and a list another copy shares is left to that copy.
#include "platform/largepages.h"
#include "store/record.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

bool OnLargePage(const void *p) {
    return quintptr(p) % quintptr(large_pages::kPage) == 0;
}

TEST(LargePages, BigBuffersStartOnALargePageAndBehaveAsAnyOther) {
    // Just over three large pages, one of them partial.
    const qsizetype n = 3 * large_pages::kPage + 12345;
    QByteArray bytes = LargePageBytes(n);
    ASSERT_EQ(bytes.size(), n);
    EXPECT_TRUE(OnLargePage(bytes.constData()));
    EXPECT_EQ(bytes.constData()[n], '\0');
    std::memset(bytes.data(), 'x', size_t(n)); // every byte is the buffer's
    const QByteArray copy = bytes;
    bytes += "end"; // grows like any byte array, and leaves its copy alone
    EXPECT_EQ(bytes.size(), n + 3);
    EXPECT_TRUE(bytes.endsWith("xend"));
    EXPECT_EQ(copy.size(), n);
    EXPECT_EQ(copy.count('x'), n);
    EXPECT_EQ(LargePageBytes(10).size(), 10);

    // Elements whose size is no power of two: the first still lies on a
    // large page, and the storage takes them all where it is.
    const qsizetype count = 3 * large_pages::kPage / qsizetype(sizeof(QByteArray));
    QList<QByteArray> list(large_pages::Storage<QByteArray>(count));
    EXPECT_TRUE(list.isEmpty());
    const QByteArray item("item");
    for (qsizetype i = 0; i < count; ++i)
        list.append(item);
    EXPECT_TRUE(OnLargePage(list.constData()));
    EXPECT_EQ(list.size(), count);
    EXPECT_EQ(list.last(), item);
}

TEST(LargePages, RecordListsAreFilledAgainInTheirOwnMemory) {
    // Enough records for a list of several megabytes.
    QByteArray many;
    for (int i = 0; i < 200000; ++i)
        many += QByteArray::number(i % 10) + "\r\n";
    QList<QByteArray> records;
    SplitLinesInto(many, records);
    ASSERT_EQ(records.size(), 200000);
    EXPECT_TRUE(OnLargePage(records.constData()));
    const QByteArray *memory = records.constData();

    // Fewer records, then as many again: the list keeps its memory.
    const QByteArray few = QByteArrayLiteral("a\r\nb\nc");
    SplitLinesInto(few, records);
    EXPECT_EQ(records, SplitLines(few));
    EXPECT_EQ(records.constData(), memory);
    SplitLinesInto(many, records);
    EXPECT_EQ(records.size(), 200000);
    EXPECT_EQ(records.constData(), memory);
    EXPECT_EQ(records.at(199999), QByteArray("9"));

    // A list that the title rows share is not overwritten under them.
    const QList<QByteArray> shown = records;
    SplitLinesInto(few, records);
    EXPECT_EQ(records, SplitLines(few));
    EXPECT_EQ(shown.size(), 200000);
    EXPECT_EQ(shown.at(12345), QByteArray("5"));

    // Nor is one too small for the records: it gets room enough.
    QList<QByteArray> small = SplitLines(few);
    SplitLinesInto(many, small);
    EXPECT_EQ(small, shown);
}

} // namespace
