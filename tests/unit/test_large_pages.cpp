// List-sized buffers start on a large page and behave as any other; the
// records of a list read again are found in the memory they had.
#include "platform/largepages.h"
#include "store/records.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

bool OnLargePage(const void *p) {
    return quintptr(p) % quintptr(large_pages::kPage) == 0;
}

TEST(LargePages, BigBuffersStartOnALargePageAndGrowKeepingTheirBytes) {
    // Just over three large pages, one of them partial.
    const qsizetype n = 3 * large_pages::kPage + 12345;
    ByteBuffer bytes;
    bytes.resize(n);
    ASSERT_EQ(bytes.size(), n);
    EXPECT_TRUE(OnLargePage(bytes.data()));
    std::memset(bytes.data(), 'x', size_t(n)); // every byte is the buffer's
    const char *before = bytes.data();
    bytes.append("end", 3); // within the room the large pages leave
    EXPECT_EQ(bytes.data(), before);
    bytes.resize(2 * n); // past it: moved, every byte kept
    EXPECT_TRUE(OnLargePage(bytes.data()));
    EXPECT_EQ(std::memcmp(bytes.data() + n, "end", 3), 0);
    EXPECT_EQ(QByteArrayView(bytes.data(), n).count('x'), n);
    bytes.clear();
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_GE(bytes.capacity(), 2 * n); // emptied, it keeps its memory

    LargeBuffer<qint64> small;
    small.append(7);
    EXPECT_EQ(small[0], 7);
}

TEST(LargePages, RecordsAreFoundAgainInTheirOwnMemory) {
    // Enough records for a list of several megabytes.
    QByteArray many;
    for (int i = 0; i < 1000000; ++i)
        many += QByteArray::number(i % 10) + "\r\n";
    Records records;
    records.Take(many);
    ASSERT_EQ(records.size(), 1000000);
    EXPECT_TRUE(OnLargePage(records.content().data()));
    const char *memory = records.content().data();

    // Fewer records, then as many again: the content keeps its memory.
    records.Take("a\r\nb\nc");
    EXPECT_EQ(records, (QList<QByteArray>{"a", "b", "c"}));
    records.Take(many);
    EXPECT_EQ(records.size(), 1000000);
    EXPECT_EQ(records.content().data(), memory);
    EXPECT_EQ(records.at(999999), QByteArrayView("9"));
}

} // namespace
