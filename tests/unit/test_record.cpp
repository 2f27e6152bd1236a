// Record format: line splitting, titles, markers, colours and integers.
#include "platform/apperror.h"
#include "store/common.h"
#include "store/record.h"

#include <gtest/gtest.h>

namespace {

QByteArray B(const char *s) {
    return QByteArray(s);
}
QByteArray Repeat(char c, int n) {
    return QByteArray(n, c);
}

QList<QByteArray> L(std::initializer_list<const char *> items) {
    QList<QByteArray> out;
    for (const char *s : items)
        out.append(QByteArray(s));
    return out;
}

} // namespace

TEST(Markers, BytesAndLengths) {
    EXPECT_EQ(LineBreakMarker().size(), 29);
    EXPECT_EQ(ColorMarker().size(), 30);
    EXPECT_EQ(LineBreakMarker().toHex(' ').toUpper(),
              B("3C 21 2D 2D 89 FC 8D 73 82 AA 93 FC 82 E8 82 DC 82 B7 61 37 75 69 39 5B 78 7A 2D "
                "2D 3E"));
    EXPECT_EQ(ColorMarker().toHex(' ').toUpper(),
              B("3C 21 2D 2D 90 46 82 F0 8E 77 92 E8 82 B5 82 DC 82 B7 81 42 63 79 75 69 78 6C 6F "
                "2D 2D 3E"));
}

TEST(SplitLines, LineEnds) {
    EXPECT_TRUE(SplitLines(QByteArray()).isEmpty());
    EXPECT_EQ(SplitLines(B("a\r\n\r\nb")), L({"a", "", "b"}));
    EXPECT_EQ(SplitLines(B("a\rb\nc\r\nd")), L({"a", "b", "c", "d"}));
    // LF then CR: the CR ends a further, empty record.
    EXPECT_EQ(SplitLines(B("a\n\rb")), L({"a", "", "b"}));
    EXPECT_EQ(SplitLines(B("a\n\r")), L({"a", ""}));
    // A line end at the very end starts nothing more; one empty line does.
    EXPECT_EQ(SplitLines(B("a\r\n")), L({"a"}));
    EXPECT_EQ(SplitLines(B("\r\n")), L({""}));
    EXPECT_EQ(SplitLines(B("a\r\n\r\n")), L({"a", ""}));
    EXPECT_EQ(SplitLines(B("\n\n")), L({"", ""}));
    EXPECT_EQ(SplitLines(B("\r\r\n")), L({"", ""}));
}

TEST(SplitLines, TextEndsAtNul) {
    const QByteArray data("a\r\nb\0c\r\nd\r\n", 11);
    EXPECT_EQ(SplitLines(data), L({"a", "b"}));
    EXPECT_TRUE(SplitLines(QByteArray("\0abc", 4)).isEmpty());
}

TEST(SplitLines, WrittenRecordsComeBackWhole) {
    QList<QByteArray> records;
    QByteArray file;
    for (int i = 0; i < 300; ++i) {
        QByteArray r = MemoTextToRecord("memo " + QByteArray::number(i) + "\r\n\x82\xA0 line two");
        if (i % 3 == 0)
            r += ColorMarker() + ColorToText(TColor(i));
        if (i % 7 == 0)
            r.clear();
        records.append(r);
        file += r + "\r\n";
    }
    EXPECT_EQ(SplitLines(file), records);
}

TEST(MakeTitle, FirstLineCutAtMarker) {
    const QByteArray line53 = Repeat('a', 53);
    EXPECT_EQ(MakeTitle(line53 + LineBreakMarker() + "second"), line53);
    // Marker at byte 1: an empty first line.
    EXPECT_EQ(MakeTitle(LineBreakMarker() + "second"), QByteArray());
    // A first line of exactly 54 bytes: the marker starts at byte 55.
    const QByteArray line54 = Repeat('b', 54);
    EXPECT_EQ(MakeTitle(line54 + LineBreakMarker() + "second"), line54);
    // Marker at byte 56: only the first 54 bytes show.
    EXPECT_EQ(MakeTitle(Repeat('c', 55) + LineBreakMarker() + "x"), Repeat('c', 54));
}

TEST(MakeTitle, LengthsWithoutMarker) {
    EXPECT_EQ(MakeTitle(Repeat('a', 40)), Repeat('a', 40));
    EXPECT_EQ(MakeTitle(Repeat('a', 53)), Repeat('a', 53));
    EXPECT_EQ(MakeTitle(Repeat('a', 54)), Repeat('a', 54));
    EXPECT_EQ(MakeTitle(Repeat('a', 55)), Repeat('a', 54));
    EXPECT_EQ(MakeTitle(Repeat('a', 60)), Repeat('a', 54));
    EXPECT_EQ(MakeTitle(QByteArray()), QByteArray());
}

TEST(MakeTitle, DoubleByteAtTheCut) {
    const QByteArray a = "\x82\xA0";  // "あ": lead byte, trail byte outside the lead ranges
    const QByteArray ah = "\x88\x9F"; // "亜": both bytes inside the lead ranges
    // Byte 54 starts "あ": the title stops before it.
    EXPECT_EQ(MakeTitle(Repeat('x', 53) + a + "tail"), Repeat('x', 53));
    // "あ" fills bytes 53 and 54: byte 54 is a trail byte and stays.
    EXPECT_EQ(MakeTitle(Repeat('x', 52) + a + "tail"), Repeat('x', 52) + a);
    // Byte 54 is 0x9F, in the lead range but the second byte of "亜" (run of 1, odd).
    EXPECT_EQ(MakeTitle(Repeat('x', 52) + ah + "tail"), Repeat('x', 52) + ah);
    // Run of 2 before byte 54 (even): byte 54 starts the second "亜".
    EXPECT_EQ(MakeTitle(Repeat('x', 51) + ah + ah + "tail"), Repeat('x', 51) + ah);
    // All double-byte from byte 1: 27 characters fit exactly.
    EXPECT_EQ(MakeTitle(ah.repeated(30)), ah.repeated(27));
    // One ASCII byte first: 26 characters fit, byte 54 starts the 27th.
    EXPECT_EQ(MakeTitle('z' + ah.repeated(30)), 'z' + ah.repeated(26));
    // "あ" from byte 1: byte 54 is a trail byte, 27 characters fit.
    EXPECT_EQ(MakeTitle(a.repeated(30)), a.repeated(27));
}

TEST(MakeTitle, ColourSuffixNeverShows) {
    EXPECT_EQ(MakeTitle(ColorMarker() + "clRed"), QByteArray());
    EXPECT_EQ(MakeTitle("abc" + ColorMarker() + "clRed"), B("abc"));
    // A line-break marker that comes after the colour marker does not count.
    EXPECT_EQ(MakeTitle("abc" + ColorMarker() + "x" + LineBreakMarker()), B("abc"));
    // A colour marker at byte 60 leaves a text long enough to be cut at 54.
    EXPECT_EQ(MakeTitle(Repeat('d', 59) + ColorMarker() + "$000080FF"), Repeat('d', 54));
    // Bytes of a colour marker that is the second one are ordinary text.
    const QByteArray rec = Repeat('e', 10) + LineBreakMarker() + "x" + ColorMarker() + "clRed" +
                           ColorMarker() + "clBlue";
    EXPECT_EQ(MakeTitle(rec), Repeat('e', 10));
}

TEST(MemoText, RecordRoundTrip) {
    const QByteArray memo = "first\r\n\x82\xA0 second\r\n\r\nlast";
    const QByteArray rec = MemoTextToRecord(memo);
    EXPECT_FALSE(rec.contains('\r'));
    EXPECT_EQ(rec, "first" + LineBreakMarker() + "\x82\xA0 second" + LineBreakMarker() +
                       LineBreakMarker() + "last");
    EXPECT_EQ(RecordToMemoText(rec), memo);
    EXPECT_EQ(RecordToMemoText(rec + ColorMarker() + "clRed"), memo);
    // Lone CR and LF stay as they are.
    EXPECT_EQ(MemoTextToRecord(B("a\rb\nc")), B("a\rb\nc"));
    EXPECT_EQ(ColorMarkerPos(B("ab") + ColorMarker()), 2);
    EXPECT_EQ(ColorMarkerPos(B("ab")), -1);
}

TEST(ReplaceAll, LeftToRightWithoutOverlap) {
    EXPECT_EQ(ReplaceAll(B("aaa"), B("aa"), B("b")), B("ba"));
    EXPECT_EQ(ReplaceAll(B("aaaa"), B("aa"), B("b")), B("bb"));
    EXPECT_EQ(ReplaceAll(B("abc"), QByteArray(), B("x")), B("abc"));
    EXPECT_EQ(ReplaceAll(B("abc"), B("z"), B("x")), B("abc"));
    EXPECT_EQ(ReplaceAll(QByteArray(), B("a"), B("x")), QByteArray());
    // Replaced text is not searched again.
    EXPECT_EQ(ReplaceAll(B("aXa"), B("a"), B("aa")), B("aaXaa"));
    EXPECT_EQ(ReplaceAll(B("abab"), B("ab"), B("")), QByteArray());
    EXPECT_EQ(ReplaceAll(B("xaby"), B("ab"), B("abab")), B("xababy"));
}

TEST(Colours, TableAndText) {
    const auto &table = ColorNameTable();
    ASSERT_EQ(table.size(), 49);
    EXPECT_STREQ(table.first().name, "clBlack");
    EXPECT_STREQ(table.last().name, "clWindowText");
    for (qsizetype i = 0; i < table.size(); ++i) {
        for (qsizetype j = i + 1; j < table.size(); ++j)
            EXPECT_NE(table[i].value, table[j].value) << table[i].name << table[j].name;
        EXPECT_EQ(ColorToText(table[i].value), QByteArray(table[i].name));
        EXPECT_EQ(TextToColor(QByteArray(table[i].name).toLower()), table[i].value);
    }
    EXPECT_EQ(ColorToText(0x000000FF), B("clRed"));
    EXPECT_EQ(ColorToText(0x000080FF), B("$000080FF"));
    EXPECT_EQ(ColorToText(0x80000005), B("clWindow"));
    EXPECT_EQ(ColorToText(0x00ABCDEF), B("$00ABCDEF"));
    EXPECT_EQ(ColorToText(0xFFFFFFFF), B("$FFFFFFFF"));
    EXPECT_EQ(ColorToText(0x00000001), B("$00000001"));
}

TEST(Colours, TextToColor) {
    EXPECT_EQ(TextToColor(B("CLRED")), 0x000000FFu);
    EXPECT_EQ(TextToColor(B("$000080FF")), 0x000080FFu);
    EXPECT_EQ(TextToColor(B("255")), 0x000000FFu);
    EXPECT_EQ(TextToColor(B("0x1F")), 0x0000001Fu);
    EXPECT_EQ(TextToColor(B("-1")), 0xFFFFFFFFu);
    EXPECT_EQ(TextToColor(B("  255")), 0x000000FFu);
}

TEST(Colours, TextToColorFailures) {
    for (const char *text : {"", "$", "12 ", "clRedd", "red", "  clNone"}) {
        try {
            TextToColor(QByteArray(text));
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const AppError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("'") + QString::fromLatin1(text) +
                                       QStringLiteral("' は整数ではありません"));
        }
    }
    EXPECT_FALSE(TryTextToColor(B("12 ")).has_value());
    // The text in the message is the code page 932 text as shown on screen.
    try {
        TextToColor(QByteArray("\x90\xD4")); // "赤"
        ADD_FAILURE();
    } catch (const AppError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'赤' は整数ではありません"));
    }
}

TEST(ParseInteger, Decimal) {
    EXPECT_EQ(ParseInteger(B("0")), 0);
    EXPECT_EQ(ParseInteger(B("  42")), 42);
    EXPECT_EQ(ParseInteger(B("+7")), 7);
    EXPECT_EQ(ParseInteger(B("-5000")), -5000);
    EXPECT_EQ(ParseInteger(B("2147483647")), 2147483647);
    EXPECT_EQ(ParseInteger(B("-2147483648")), std::numeric_limits<qint32>::min());
    EXPECT_EQ(ParseInteger(B("00000000000000000012")), 12);
    for (const char *bad : {"", "  ", "-", "+", "12 ", "100px", "2147483648", "-2147483649",
                            "99999999999999999999", "1-", "- 1", "\t1", "1.0", "--1"})
        EXPECT_FALSE(ParseInteger(QByteArray(bad)).has_value()) << bad;
}

TEST(ParseInteger, Hexadecimal) {
    EXPECT_EQ(ParseInteger(B("$64")), 100);
    EXPECT_EQ(ParseInteger(B("x1f")), 31);
    EXPECT_EQ(ParseInteger(B("X1F")), 31);
    EXPECT_EQ(ParseInteger(B("0x10")), 16);
    EXPECT_EQ(ParseInteger(B("0X10")), 16);
    EXPECT_EQ(ParseInteger(B(" $FFFFFFFF")), -1);
    EXPECT_EQ(ParseInteger(B("$80000000")), std::numeric_limits<qint32>::min());
    EXPECT_EQ(ParseInteger(B("$000000000001")), 1) << "leading zeros are not significant";
    EXPECT_EQ(ParseInteger(B("$0")), 0);
    for (const char *bad :
         {"$", "0x", "x", "-$1", "+$1", "$-1", "$123456789", "$1G", "$ 1", "0x1 ", "$FFFFFFFFF"})
        EXPECT_FALSE(ParseInteger(QByteArray(bad)).has_value()) << bad;
}

TEST(ChangeFileExt, LastDotSlashOrColon) {
    const QString trh = QStringLiteral(".trh");
    EXPECT_EQ(ChangeFileExt(QStringLiteral("/a/b.lst"), trh), QStringLiteral("/a/b.trh"));
    EXPECT_EQ(ChangeFileExt(QStringLiteral("/a/.lst"), trh), QStringLiteral("/a/.trh"));
    EXPECT_EQ(ChangeFileExt(QStringLiteral("/a/b"), trh), QStringLiteral("/a/b.trh"));
    EXPECT_EQ(ChangeFileExt(QStringLiteral("/a.b/c"), trh), QStringLiteral("/a.b/c.trh"));
    EXPECT_EQ(ChangeFileExt(QStringLiteral("/a/b.c.lst"), trh), QStringLiteral("/a/b.c.trh"));
    EXPECT_EQ(ChangeFileExt(QStringLiteral("c:name"), trh), QStringLiteral("c:name.trh"));
    EXPECT_EQ(ChangeFileExt(QStringLiteral("/メモ/予定.lst"), trh),
              QStringLiteral("/メモ/予定.trh"));
    EXPECT_EQ(ChangeFileExt(QStringLiteral("quorvel"), QStringLiteral(".ini")),
              QStringLiteral("quorvel.ini"));
}
