// The print layout on a recording surface: grid, pages, wrapping, prefixes
// and the settings that make no grid.
#include "platform/apperror.h"
#include "platform/cp932.h"
#include "platform/pagesurface.h"
#include "print/print_unit.h"
#include "settings/inifile.h"
#include "store/record.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray Bullet("\x81\x9C\x20");
const QByteArray Indent("    ");
const QByteArray Six("      ");

QByteArray Sjis(const char *utf8) {
    return *EncodeCp932(QString::fromUtf8(utf8));
}

// The first n bytes of a run of single-byte text: "0123456789abc...".
QByteArray Bytes(int from, int to) {
    static const QByteArray pool = [] {
        QByteArray p;
        for (int i = 0; i < 200; ++i)
            p.append("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"[i % 62]);
        return p;
    }();
    return pool.mid(from - 1, to - from + 1);
}

QByteArray Text(int page, int y, const QByteArray &bytes) {
    return "text " + QByteArray::number(page) + ' ' + QByteArray::number(y) + ' ' + bytes;
}

class PrintLayout : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString Ini() const { return dir_.filePath(QStringLiteral("quorvel.ini")); }

    void Settings(int size, int spacing, int onlyHead) {
        Ini::WriteInteger(Ini(), "Print", "PrintFontSize", size);
        Ini::WriteInteger(Ini(), "Print", "PrintKankaku", spacing);
        Ini::WriteInteger(Ini(), "Print", "OnlyHeadLine", onlyHead);
    }

    // Prints on a fresh surface and gives its operations, one line each.
    QList<QByteArray> Print(int dpi, const QList<QByteArray> &titles,
                            const QList<QByteArray> &records,
                            TPrintObject::Outcome want = TPrintObject::Outcome::Printed) {
        RecordingSurface surface(dpi);
        TPrintObject print;
        EXPECT_EQ(print.PrintList(surface, Ini(), titles, records), want);
        EXPECT_EQ(surface.gridHeight(), PageGridUnits); // the surface fits its resolution to it
        lastHeight_ = surface.FontHeight();
        return Lines(surface);
    }

    static QList<QByteArray> Lines(const RecordingSurface &surface) {
        QList<QByteArray> out;
        for (const RecordingSurface::Op &op : surface.ops()) {
            if (op.kind == QLatin1String("text")) {
                EXPECT_EQ(op.x, 0);
                out << Text(op.page, op.y, op.text);
            } else if (op.kind == QLatin1String("size")) {
                out << "size " + QByteArray::number(op.size);
            } else {
                out << op.kind.toLatin1();
            }
        }
        return out;
    }

    QTemporaryDir dir_;
    int lastHeight_ = 0;
};

struct Grid {
    int dpi, size, spacing;
    int height, step, lines, width;
};

} // namespace

TEST(PrintRounding, TenthsGoToTheEvenNeighbourOnAHalf) {
    EXPECT_EQ(RoundTenthHalfEven(2625), 262);
    EXPECT_EQ(RoundTenthHalfEven(2635), 264);
    EXPECT_EQ(RoundTenthHalfEven(1125), 112);
    EXPECT_EQ(RoundTenthHalfEven(1275), 128);
    EXPECT_EQ(RoundTenthHalfEven(1320), 132);
    EXPECT_EQ(RoundTenthHalfEven(1324), 132);
    EXPECT_EQ(RoundTenthHalfEven(1326), 133);
    EXPECT_EQ(RoundTenthHalfEven(5), 0);
    EXPECT_EQ(RoundTenthHalfEven(15), 2);
    EXPECT_EQ(RoundTenthHalfEven(40005), 4000);
    EXPECT_EQ(RoundTenthHalfEven(2147483647), 214748365);
}

// The worked grids: font height, line step, lines per page and wrap width,
// seen as titles filling a page and one more, and as a memo one byte wider
// than the wrap width.
TEST_F(PrintLayout, GridFollowsResolutionSizeAndSpacing) {
    const Grid grids[] = {
        {600, 21, 15, 175, 262, 15, 52}, {300, 21, 15, 88, 132, 30, 52},
        {600, 9, 15, 75, 112, 35, 122},  {600, 9, 17, 75, 128, 31, 122},
        {600, 19, 15, 158, 237, 16, 57},
    };
    for (const Grid &g : grids) {
        SCOPED_TRACE(testing::Message()
                     << g.dpi << " dpi, size " << g.size << ", spacing " << g.spacing);
        Settings(g.size, g.spacing, 1);
        QList<QByteArray> titles;
        QList<QByteArray> want{"begin", "size " + QByteArray::number(g.size)};
        for (int i = 0; i <= g.lines; ++i) {
            titles << "t" + QByteArray::number(i);
            if (i == g.lines)
                want << "newpage";
            want << Text(i / g.lines, (i % g.lines) * g.step, Bullet + titles.last());
        }
        want << "end";
        EXPECT_EQ(Print(g.dpi, titles, {"ignored in titles mode"}), want);
        EXPECT_EQ(lastHeight_, -g.height);

        Settings(g.size, g.spacing, 0);
        EXPECT_EQ(
            Print(g.dpi, {"ignored"}, {Bytes(1, g.width + 1)}),
            (QList<QByteArray>{"begin", "size " + QByteArray::number(g.size),
                               Text(0, 0, Bullet + Bytes(1, g.width)),
                               Text(0, g.step, Indent + Bytes(g.width + 1, g.width + 1)), "end"}));
    }
}

TEST_F(PrintLayout, EmptyListBeginsAndEndsInBothModes) {
    for (int onlyHead : {1, 0}) {
        Settings(21, 15, onlyHead);
        EXPECT_EQ(Print(600, {}, {}), (QList<QByteArray>{"begin", "size 21", "end"}));
    }
}

TEST_F(PrintLayout, SegmentsAtLineBreaksAndTheColourSuffix) {
    Settings(21, 15, 2);
    const QByteArray &m = LineBreakMarker();
    const QByteArray colour = ColorMarker() + "clRed";
    const QList<QByteArray> records{
        "a" + m + "b",          // two short lines
        "c" + m,                // ends with a line break: no extra line
        m + "d",                // empty first line: the bullet alone
        "e" + m + m + "f",      // an empty line inside takes a slot
        "g" + m + "h" + colour, // the colour suffix never prints
        "",                     // an empty memo is one empty line
        Sjis("牛乳") + colour,  // nor here
        "i" + colour + m + "j", // a marker after the colour belongs to the suffix
    };
    const int s = 262;
    EXPECT_EQ(
        Print(600, {}, records),
        (QList<QByteArray>{
            "begin", "size 21", Text(0, 0 * s, Bullet + "a"), Text(0, 1 * s, Indent + "b"),
            Text(0, 2 * s, Bullet + "c"), Text(0, 3 * s, Bullet), Text(0, 4 * s, Indent + "d"),
            Text(0, 5 * s, Bullet + "e"), Text(0, 6 * s, Indent), Text(0, 7 * s, Indent + "f"),
            Text(0, 8 * s, Bullet + "g"), Text(0, 9 * s, Indent + "h"), Text(0, 10 * s, Bullet),
            Text(0, 11 * s, Bullet + Sjis("牛乳")), Text(0, 12 * s, Bullet + "i"), "end"}));
}

TEST_F(PrintLayout, LongLineWrapsWithAndWithoutLineBreaks) {
    Settings(21, 15, 0);
    const QByteArray memo = Bytes(1, 120);
    // Without line breaks: the rest of the text, up to the full width.
    EXPECT_EQ(Print(600, {}, {memo}),
              (QList<QByteArray>{"begin", "size 21", Text(0, 0, Bullet + Bytes(1, 52)),
                                 Text(0, 262, Indent + Bytes(53, 104)),
                                 Text(0, 524, Indent + Bytes(105, 120)), "end"}));
    // As a line of a memo with line breaks: the seed of two spaces counts
    // towards the width, six spaces in front of each continuation.
    EXPECT_EQ(
        Print(600, {}, {memo + LineBreakMarker() + "z"}),
        (QList<QByteArray>{"begin", "size 21", Text(0, 0, Bullet + Bytes(1, 52)),
                           Text(0, 262, Six + Bytes(53, 102)), Text(0, 524, Six + Bytes(103, 120)),
                           Text(0, 786, Indent + "z"), "end"}));
}

TEST_F(PrintLayout, DoubleByteCharactersAreNeverSplit) {
    Settings(19, 15, 0); // wrap width 1100 div 19 = 57
    QString thirty;
    for (int i = 0; i < 30; ++i)
        thirty.append(QChar(0x3042 + i)); // あ ぃ い ...
    const QByteArray line = *EncodeCp932(thirty);
    ASSERT_EQ(line.size(), 60);
    EXPECT_EQ(Print(600, {}, {line}),
              (QList<QByteArray>{"begin", "size 19", Text(0, 0, Bullet + line.left(56)),
                                 Text(0, 237, Indent + line.mid(56)), "end"}));

    // One single-byte character first: 57 bytes fit exactly, and the
    // double-byte text wraps on a character boundary again after that.
    EXPECT_EQ(Print(600, {}, {"x" + line}),
              (QList<QByteArray>{"begin", "size 19", Text(0, 0, Bullet + "x" + line.left(56)),
                                 Text(0, 237, Indent + line.mid(56)), "end"}));
}

TEST_F(PrintLayout, ExactWidthInTheLastSlotStillStartsAPage) {
    Settings(21, 15, 0); // 15 lines a page, width 52
    QList<QByteArray> records;
    QList<QByteArray> want{"begin", "size 21"};
    for (int i = 0; i < 13; ++i) {
        records << "m" + QByteArray::number(i);
        want << Text(0, i * 262, Bullet + records.last());
    }
    // 104 bytes without line breaks: two full lines in slots 13 and 14, then
    // an empty page.
    QList<QByteArray> plain = want;
    plain << Text(0, 13 * 262, Bullet + Bytes(1, 52)) << Text(0, 14 * 262, Indent + Bytes(53, 104))
          << "newpage"
          << "end";
    EXPECT_EQ(Print(600, {}, records + QList<QByteArray>{Bytes(1, 104)}), plain);

    // 102 bytes and a final line break: the second line is the seed and 50
    // bytes, and the seed left over prints as six spaces on the new page.
    QList<QByteArray> seeded = want;
    seeded << Text(0, 13 * 262, Bullet + Bytes(1, 52)) << Text(0, 14 * 262, Six + Bytes(53, 102))
           << "newpage" << Text(1, 0, Six) << "end";
    EXPECT_EQ(Print(600, {}, records + QList<QByteArray>{Bytes(1, 102) + LineBreakMarker()}),
              seeded);
}

TEST_F(PrintLayout, LineStepOf4000IsOneLineAPage) {
    Settings(1, 4000, 1); // 720 dpi: height 10, n 40000, step 4000
    EXPECT_EQ(Print(720, {"a", "b"}, {}),
              (QList<QByteArray>{"begin", "size 1", Text(0, 0, Bullet + "a"), "newpage",
                                 Text(1, 0, Bullet + "b"), "end"}));
}

// Settings the dialog never writes make no grid: the begun document is
// abandoned before anything is drawn.
TEST_F(PrintLayout, SettingsWithoutAGridAbandonTheDocument) {
    const auto invalid = TPrintObject::Outcome::InvalidSettings;
    Settings(0, 15, 1);
    EXPECT_EQ(Print(600, {"a"}, {"a"}, invalid), (QList<QByteArray>{"begin", "abort"}));
    Settings(-3, 15, 0);
    EXPECT_EQ(Print(600, {"a"}, {"a"}, invalid), (QList<QByteArray>{"begin", "abort"}));
    for (int spacing : {0, -15, 229, 2147483647}) {
        SCOPED_TRACE(spacing);
        // 175 * 229 = 40075: a step of 4008; the last one overflows 32 bits.
        Settings(21, spacing, 0);
        EXPECT_EQ(Print(600, {"a"}, {"a"}, invalid),
                  (QList<QByteArray>{"begin", "size 21", "abort"}));
    }
    Settings(1, 4001, 1); // 720 dpi: step 4001
    EXPECT_EQ(Print(720, {"a"}, {}, invalid), (QList<QByteArray>{"begin", "size 1", "abort"}));
    // A step of 1 is still a grid: 4000 lines a page.
    Settings(1, 1, 1); // 720 dpi: height 10, n 10, step 1
    EXPECT_EQ(Print(720, {"a", "b"}, {}),
              (QList<QByteArray>{"begin", "size 1", Text(0, 0, Bullet + "a"),
                                 Text(0, 1, Bullet + "b"), "end"}));
}

namespace {

// A printer that fails on the third line.
class FailingSurface : public RecordingSurface {
  public:
    using RecordingSurface::RecordingSurface;
    void TextOut(int x, int y, const QByteArray &text) override {
        if (++lines_ == 3)
            throw AppError(QStringLiteral("printer gone"));
        RecordingSurface::TextOut(x, y, text);
    }

  private:
    int lines_ = 0;
};

} // namespace

TEST_F(PrintLayout, AFailurePartWayAbandonsTheDocument) {
    Settings(21, 15, 1);
    FailingSurface surface(600);
    TPrintObject print;
    try {
        print.PrintList(surface, Ini(), {"a", "b", "c", "d"}, {});
        FAIL() << "the failure did not come through";
    } catch (const AppError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("printer gone"));
    }
    EXPECT_EQ(Lines(surface), (QList<QByteArray>{"begin", "size 21", Text(0, 0, Bullet + "a"),
                                                 Text(0, 262, Bullet + "b"), "abort"}));
}
