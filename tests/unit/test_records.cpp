// The records of a file as views into its content: split by the line rule,
// with the tail from a NUL on kept aside, and found again after an append.
#include "store/record.h"
#include "store/records.h"

#include <gtest/gtest.h>

namespace {

TEST(Records, ViewsOfTheContentByTheLineRule) {
    Records r;
    r.Take(QByteArray("ab\r\ncd\nef\rgh\r\n\r\nx\0hidden\r\n", 26));
    EXPECT_EQ(r, (QList<QByteArray>{"ab", "cd", "ef", "gh", "", "x"}));
    EXPECT_EQ(r.tail(), QByteArrayView("\0hidden\r\n", 9));
    EXPECT_FALSE(r.CrLfEnded());
    EXPECT_EQ(r.at(1).data(), r.content().data() + 4); // a view, not a copy
    EXPECT_EQ(SplitLines("a\r\nb"), (QList<QByteArray>{"a", "b"}));

    r.Take(QByteArray("one\r\ntwo\r\n\0tail", 15));
    EXPECT_TRUE(r.CrLfEnded()); // the tail does not count
    r.Take("one\r\ntwo");
    EXPECT_FALSE(r.CrLfEnded());
    r.Take("");
    EXPECT_TRUE(r.isEmpty());
    EXPECT_TRUE(r.CrLfEnded());
}

TEST(Records, AnAppendedLineJoinsTheRecordsAsASplitWouldFindIt) {
    for (const char *before : {"", "a\r\n", "a\r\nb", "a\r\n\r\n", "a\r"}) {
        SCOPED_TRACE(before);
        const QByteArray appended = QByteArray(before) + "c\r\nd\r\n";
        Records grown;
        grown.Take(before);
        grown.buffer().append("c\r\nd\r\n", 6);
        grown.SplitAppended();
        Records whole;
        whole.Take(appended);
        EXPECT_EQ(grown, whole.ToList());
        EXPECT_EQ(grown.CrLfEnded(), whole.CrLfEnded());
    }
}

} // namespace
