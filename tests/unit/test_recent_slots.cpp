// The recent-file values: what an update makes of them, and how a menu entry
// shows a slot and gives its path back.
#include "platform/cp932.h"
#include "platform/utf8.h"
#include "settings/recentslots.h"

#include <gtest/gtest.h>

namespace {

RecentSlots S(const char *a, const char *b, const char *c, const char *d, const char *e) {
    return {QByteArray(a), QByteArray(b), QByteArray(c), QByteArray(d), QByteArray(e)};
}

} // namespace

TEST(RecentSlots, NewPathGoesFirstAndTheFifthIsDropped) {
    const RecentUpdate u = UpdateRecentSlots(S("a", "b", "c", "d", "e"), "f", true);
    EXPECT_TRUE(u.added);
    EXPECT_EQ(u.values, S("f", "a", "b", "c", "d"));

    const RecentUpdate first = UpdateRecentSlots(S("", "", "", "", ""), "a", true);
    EXPECT_EQ(first.values, S("a", "", "", "", ""));
}

TEST(RecentSlots, MatchMovesToTheHeadAndOnlyThoseBeforeItMoveDown) {
    EXPECT_EQ(UpdateRecentSlots(S("a", "b", "c", "d", "e"), "c", true).values,
              S("c", "a", "b", "d", "e"));
    EXPECT_EQ(UpdateRecentSlots(S("a", "b", "c", "d", "e"), "a", true).values,
              S("a", "b", "c", "d", "e"));
    EXPECT_EQ(UpdateRecentSlots(S("a", "b", "c", "d", "e"), "e", true).values,
              S("e", "a", "b", "c", "d"));
}

TEST(RecentSlots, OfTwoEqualSlotsTheLastIsTakenOut) {
    // The earlier copy moves down one place and stays.
    EXPECT_EQ(UpdateRecentSlots(S("a", "x", "b", "x", "c"), "x", true).values,
              S("x", "a", "x", "b", "c"));
}

TEST(RecentSlots, ComparisonIsByteForByte) {
    // A path that differs only in letter case is another file.
    EXPECT_EQ(UpdateRecentSlots(S("/d/A.lst", "b", "", "", ""), "/d/a.lst", true).values,
              S("/d/a.lst", "/d/A.lst", "b", "", ""));
    // Double-byte paths compare by their bytes too.
    const QByteArray jp = *EncodeCp932(U("/d/予定.lst"));
    EXPECT_EQ(
        UpdateRecentSlots({QByteArray("x"), jp, QByteArray(), QByteArray(), QByteArray()}, jp, true)
            .values,
        (RecentSlots{jp, QByteArray("x"), QByteArray(), QByteArray(), QByteArray()}));
}

TEST(RecentSlots, EmptySlotsKeepTheirPlaceAndAreWrittenBack) {
    // A gap at ID1: a new path pushes it down to ID2, where it stays empty.
    EXPECT_EQ(UpdateRecentSlots(S("a", "", "c", "", ""), "n", true).values,
              S("n", "a", "", "c", ""));
    // A match behind the gap: the gap moves down with the values before it.
    EXPECT_EQ(UpdateRecentSlots(S("a", "", "c", "d", ""), "c", true).values,
              S("c", "a", "", "d", ""));
}

TEST(RecentSlots, MissingFileIsNotAddedAndTheOthersAreKept) {
    const RecentUpdate gone = UpdateRecentSlots(S("a", "b", "c", "d", "e"), "z", false);
    EXPECT_FALSE(gone.added);
    EXPECT_EQ(gone.values, S("a", "b", "c", "d", "e"));

    // Its own entries go; the later ones close up, gaps between others stay.
    EXPECT_EQ(UpdateRecentSlots(S("a", "z", "", "c", "z"), "z", false).values,
              S("a", "", "c", "", ""));
    // An empty path is no entry: empty values are not removed for it.
    EXPECT_EQ(UpdateRecentSlots(S("a", "", "c", "", ""), "", false).values,
              S("a", "", "c", "", ""));
}

TEST(RecentSlots, KeysAndCaptions) {
    EXPECT_EQ(RecentKey(0), QByteArray("ID0"));
    EXPECT_EQ(RecentKey(4), QByteArray("ID4"));
    EXPECT_EQ(RecentCaption(0, U("/d/予定.lst")), U("1 /d/予定.lst"));
    EXPECT_EQ(RecentCaption(4, U("/d/a.lst")), U("5 /d/a.lst"));
    EXPECT_EQ(RecentPathOf(U("3 /d/a.lst")), U("/d/a.lst"));
}

TEST(RecentSlots, AmpersandsSurviveTheMenuText) {
    const QString caption = U("2 /d/R&D/&&x&.lst");
    const QString text = RecentMenuText(caption);
    EXPECT_EQ(text, U("2 /d/R&&D/&&&&x&&.lst"));
    EXPECT_EQ(RecentCaptionOf(text), caption);
    EXPECT_EQ(RecentPathOf(RecentCaptionOf(text)), U("/d/R&D/&&x&.lst"));
    EXPECT_EQ(RecentCaptionOf(U("1 /plain.lst")), U("1 /plain.lst"));
}
