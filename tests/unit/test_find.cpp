// Finding memos: the folding rule over texts, the byte scan (which must find
// what a plain walk over the characters finds), the matcher over record bytes
// (which must agree with the rule on any bytes), and the order of a search.
#include "platform/cp932.h"
#include "platform/utf8.h"
#include "store/find.h"
#include "store/findscan.h"
#include "store/record.h"

#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <gtest/gtest.h>

namespace {

QByteArray Sjis(const char *utf8) {
    return EncodeCp932(U(utf8)).value();
}

FindOptions Options(int bits) {
    return FindOptions{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
}

const FindOptions kDefault{};
const FindOptions kNothingIgnored{false, false, true};

// The rule itself, over memo records.
bool Reference(const QByteArray &record, const QString &text, FindOptions o) {
    return TextContains(MemoTextOf(record), text, o);
}

} // namespace

TEST(FindFolding, WidthKanaAndCase) {
    // Full-width digits and letters, half-width katakana with voiced and
    // semi-voiced marks, the half-width long vowel mark.
    EXPECT_EQ(FoldForFind(U("ＡＢＣ１２３"), {true, false, true}), U("ABC123"));
    EXPECT_EQ(FoldForFind(U("ｶﾞｯｺｳﾉﾊﾟｰﾃｨｰ"), {true, false, true}), U("ガッコウノパーティー"));
    EXPECT_EQ(FoldForFind(U("ｶﾞｯｺｳﾉﾊﾟｰﾃｨｰ"), kDefault), U("がっこうのぱーてぃー"));
    EXPECT_EQ(FoldForFind(U("ヴァイオリン ヽヾ"), {false, true, true}), U("ゔぁいおりん ゝゞ"));
    // Without normalisation, half-width forms stay what they are.
    EXPECT_EQ(FoldForFind(U("ｶﾀｶﾅ"), {false, true, true}), U("ｶﾀｶﾅ"));
    // Case folding also reaches full-width, Greek and Cyrillic letters.
    EXPECT_EQ(FoldForFind(U("ＡｂＣ ΑΒΓ АБВ"), {false, false, false}), U("ａｂｃ αβγ абв"));

    EXPECT_TRUE(TextContains(U("ｺｰﾋｰを買う"), U("コーヒー"), kDefault));
    EXPECT_TRUE(TextContains(U("ｺｰﾋｰを買う"), U("こーひー"), kDefault));
    EXPECT_FALSE(TextContains(U("ｺｰﾋｰを買う"), U("コーヒー"), {false, true, false}));
    EXPECT_TRUE(TextContains(U("ｶﾞｽ代"), U("ガス"), {true, false, false}));
    EXPECT_FALSE(TextContains(U("ｶﾞｽ代"), U("がす"), {true, false, false}));
    EXPECT_FALSE(TextContains(U("ｶﾞｽ代"), U("カス"), kDefault)); // the voiced mark counts
    EXPECT_TRUE(TextContains(U("Ｍｅｅｔｉｎｇ ２時"), U("meeting 2"), kDefault));
    EXPECT_FALSE(TextContains(U("Ｍｅｅｔｉｎｇ ２時"), U("meeting 2"), {true, true, true}));
    EXPECT_TRUE(TextContains(U("Ｍｅｅｔｉｎｇ ２時"), U("ｍｅｅｔｉｎｇ"), {false, false, false}));
    EXPECT_FALSE(TextContains(U("Ｍｅｅｔｉｎｇ"), U("meeting"), {false, false, false}));
    EXPECT_TRUE(TextContains(U("㈱山田 ①"), U("(株)山田 1"), kDefault));
    EXPECT_TRUE(TextContains(U("anything"), QString(), kNothingIgnored));
}

TEST(FindMatcher, RecordsLinesAndColour) {
    const QByteArray twoLines = Sjis("買い物") + LineBreakMarker() + Sjis("ｷﾞｭｳﾆｭｳ");
    const QByteArray coloured = Sjis("ABC") + ColorMarker() + "clRed";
    for (int bits = 0; bits < 8; ++bits) {
        const FindOptions o = Options(bits);
        SCOPED_TRACE(bits);
        // A match on the second line, and across the line end.
        EXPECT_EQ(MemoMatcher(U("ｷﾞｭｳ"), o).Matches(twoLines), true);
        EXPECT_EQ(MemoMatcher(U("物\r\nｷﾞ"), o).Matches(twoLines), true);
        EXPECT_EQ(MemoMatcher(U("ぎゅう"), o).Matches(twoLines), o.ignoreWidth && o.ignoreKana);
        EXPECT_EQ(MemoMatcher(U("ギュウ"), o).Matches(twoLines), o.ignoreWidth);
        // Neither the markers nor the colour suffix are memo text.
        EXPECT_FALSE(MemoMatcher(U("改行"), o).Matches(twoLines));
        EXPECT_FALSE(MemoMatcher(U("a7ui9"), o).Matches(twoLines));
        EXPECT_FALSE(MemoMatcher(U("red"), o).Matches(coloured));
        EXPECT_EQ(MemoMatcher(U("abc"), o).Matches(coloured), !o.matchCase);
        EXPECT_EQ(MemoMatcher(U("ＡＢＣ"), o).Matches(coloured), o.ignoreWidth);
        // A letter no character of code page 932 gives is found nowhere; the
        // empty text everywhere.
        EXPECT_FALSE(MemoMatcher(U("牛😀"), o).Matches(Sjis("牛")));
        EXPECT_TRUE(MemoMatcher(QString(), o).Matches(QByteArray()));
    }
}

// Every character of code page 932, alone and followed by one or two voiced
// or semi-voiced marks: each letter of its folded form is found in it. The
// matcher skips memos by scanning for the characters that give a letter, so a
// character it does not know to give one would be a memo it never finds.
TEST(FindMatcher, EveryCharacterFindsEachLetterOfItsFoldedForm) {
    QList<QByteArray> records;
    for (int b = 1; b < 0x100; ++b)
        if (b != '\r' && b != '\n')
            records << QByteArray(1, char(b));
    for (int lead = 0x81; lead <= 0xFC; ++lead)
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            QByteArray pair;
            pair += char(lead);
            pair += char(trail);
            if (IsCp932LeadByte(uchar(lead)) && DecodeCp932(pair).size() == 1)
                records << pair;
        }
    ASSERT_GT(records.size(), 9000);
    const QByteArray marks[] = {"\xDE", "\xDF", "\xDE\xDE", "\xDE\xDF", "\xDF\xDE", "\xDF\xDF"};
    for (const FindOptions o : {kDefault, Options(1), Options(0)}) {
        QHash<QChar, QList<QByteArray>> byLetter;
        for (const QByteArray &r : records) {
            for (const QByteArray &m : marks) {
                const QByteArray withMark = r + m;
                for (const QChar letter : FoldForFind(MemoTextOf(withMark), o))
                    byLetter[letter] << withMark;
            }
            for (const QChar letter : FoldForFind(MemoTextOf(r), o))
                byLetter[letter] << r;
        }
        int failures = 0;
        for (auto it = byLetter.cbegin(); it != byLetter.cend() && failures < 5; ++it) {
            const MemoMatcher matcher(QString(it.key()), o);
            for (const QByteArray &r : it.value())
                if (!matcher.Matches(r)) {
                    ADD_FAILURE() << "letter U+" << std::hex << int(it.key().unicode())
                                  << " not found in " << r.toHex().constData();
                    ++failures;
                    break;
                }
        }
    }
}

// Random records of characters that fold in every way (and bytes that are no
// characters, markers and colour suffixes), searched for pieces of their own
// text and for random letters: the matcher agrees with the rule each time.
TEST(FindMatcher, AgreesWithTheRuleOnRandomRecords) {
    const QList<QByteArray> pieces = [] {
        QList<QByteArray> list;
        for (const char *s : {"a",  "B",  "z",  "1",  " ",  "-",  "ｶ",  "ﾞ",  "ﾟ",      "ﾊ",  "ｰ",
                              "ｳ",  "ﾜ",  "か", "が", "カ", "ガ", "ぱ", "ヴ", "ヽ",     "ー", "Ａ",
                              "ｂ", "１", "①",  "⑪",  "㈱", "㍻", "´",  "゛", "\u212B", "Ⅰ",  "ⅰ",
                              "Σ",  "σ",  "Я",  "я",  "牛", "乳", "～", "…"})
            list << Sjis(s);
        for (const char *raw : {"\x80", "\xA0", "\xFD", "\xFF", "\x81", "\x85\x40", "\xF0\x40"})
            list << QByteArray(raw);
        list << LineBreakMarker() << ColorMarker() << QByteArray("<!--");
        return list;
    }();
    QRandomGenerator random(1234);
    int compared = 0, found = 0;
    for (int round = 0; round < 6000; ++round) {
        // Each way of scanning a record, the plainest to the widest.
        LimitFindScans(round % 4);
        QByteArray record;
        const int length = int(random.bounded(1, 14));
        for (int i = 0; i < length; ++i)
            record += pieces[random.bounded(int(pieces.size()))];
        const FindOptions o = Options(int(random.bounded(8)));
        const QString text = MemoTextOf(record);
        QStringList needles;
        const qsizetype from = random.bounded(int(text.size()) + 1);
        needles << text.mid(from, random.bounded(1, 5));
        QString other;
        for (int i = 0; i < 2; ++i)
            other += MemoTextOf(pieces[random.bounded(int(pieces.size()))]).left(1);
        needles << other << FoldForFind(text.mid(from, 3), o);
        for (const QString &needle : needles) {
            const bool want = Reference(record, needle, o);
            ASSERT_EQ(MemoMatcher(needle, o).Matches(record), want)
                << "record " << record.toHex().constData() << " needle "
                << needle.toUtf8().constData() << " options " << o.ignoreWidth << o.ignoreKana
                << o.matchCase;
            ++compared;
            found += want ? 1 : 0;
        }
    }
    LimitFindScans(3);
    // Both answers were given often enough to mean something.
    EXPECT_GT(found, compared / 4);
    EXPECT_LT(found, compared * 3 / 4);
}

// Random records, long and short, of characters, bytes that are none,
// markers and colour suffixes, scanned at every width for random sets of
// characters, some of them in the line-break marker: the places found are
// exactly those a walk over the memo text, character by character, finds.
TEST(FindScan, FindsWhatAPlainWalkFinds) {
    const Cp932Table &cp = Cp932Table::Get();
    QList<QByteArray> pieces{LineBreakMarker(), ColorMarker(), "<!--", "\x81", "\x81\x81",
                             "\x85\x40",        "\xFD",        "a",    "<",    "\xDE"};
    // Among them ソ and 表, whose trail byte is "\\", and "\\" itself.
    for (const char *s : {"改", "行", "が", "ｶ", "色", "牛", "乳", "ア", "Ａ", "①", "亜", "腕",
                          "ソ", "表", "\\", "z"})
        pieces << Sjis(s);
    QList<Cp932Code> candidates;
    for (const QByteArray &piece : pieces)
        for (qsizetype i = 0; i < piece.size();) {
            const auto *p = reinterpret_cast<const uchar *>(piece.constData());
            const int length = cp.LengthAt(p, i, piece.size());
            candidates << cp.CodeAt(p, i, length);
            i += length;
        }
    QRandomGenerator random(77);
    int found = 0;
    for (int round = 0; round < 4000; ++round) {
        QByteArray record;
        const int length = int(random.bounded(round % 2 ? 40 : 8));
        for (int i = 0; i < length; ++i)
            record += pieces[random.bounded(int(pieces.size()))];
        CharacterScan scan;
        QSet<Cp932Code> set;
        const int size = 1 + int(random.bounded(round % 3 ? 4 : 14));
        while (set.size() < size)
            set.insert(candidates[random.bounded(int(candidates.size()))]);
        for (const Cp932Code c : set)
            scan.Add(c);
        scan.Prepare();

        const auto *p = reinterpret_cast<const uchar *>(record.constData());
        const qsizetype n = record.size(), end = MemoTextEnd(p, n);
        QList<qsizetype> want;
        for (qsizetype i = 0; i < end;) {
            if (LineBreakMarkerAt(p, i, n)) {
                i += LineBreakMarker().size();
                continue;
            }
            const int length = cp.LengthAt(p, i, n);
            if (set.contains(cp.CodeAt(p, i, length)))
                want << i;
            i += length;
        }
        found += int(want.size());
        for (int level = 0; level < 4; ++level) {
            LimitFindScans(level);
            QList<qsizetype> got;
            scan.Find(p, n, [&](qsizetype at, qsizetype textEnd) {
                EXPECT_EQ(textEnd, end);
                got << at;
                return false;
            });
            ASSERT_EQ(got, want) << "record " << record.toHex().constData() << " level " << level;
            // Accepting the first place ends the scan there.
            qsizetype first = -1;
            EXPECT_EQ(scan.Find(p, n, [&](qsizetype at, qsizetype) { return first = at, true; }),
                      !want.isEmpty());
            EXPECT_EQ(first, want.isEmpty() ? -1 : want.front());
        }
    }
    LimitFindScans(3);
    EXPECT_GT(found, 2000);
}

TEST(FindOrder, NextAndPreviousGoRoundTheList) {
    QList<QByteArray> records;
    for (const char *s : {"牛乳", "卵", "買う", "パン", "牛肉", "卵"})
        records << Sjis(s);
    records[2] += LineBreakMarker() + Sjis("ｷﾞｭｳﾆｭｳ");
    const MemoMatcher gyu(U("牛"), kDefault);
    const auto find = [&](qsizetype selected, bool forward) {
        const FindResult r = FindInRecords(records, selected, forward, gyu);
        return std::tuple(r.index, r.count, r.position);
    };
    EXPECT_EQ(find(-1, true), std::tuple(0, 2, 1));
    EXPECT_EQ(find(-1, false), std::tuple(4, 2, 2));
    EXPECT_EQ(find(0, true), std::tuple(4, 2, 2));
    EXPECT_EQ(find(4, true), std::tuple(0, 2, 1));  // round to the first
    EXPECT_EQ(find(0, false), std::tuple(4, 2, 2)); // round to the last
    EXPECT_EQ(find(3, false), std::tuple(0, 2, 1));
    EXPECT_EQ(find(99, true), std::tuple(0, 2, 1)); // a stale selection counts as none

    // The selected memo is the last one looked at: the only match is found again.
    const MemoMatcher pan(U("ぱん"), kDefault);
    EXPECT_EQ(FindInRecords(records, 3, true, pan).index, 3);
    EXPECT_EQ(FindInRecords(records, 3, false, pan).position, 1);
    // A match on a memo's second line.
    const FindResult second = FindInRecords(records, -1, true, MemoMatcher(U("ぎゅう"), kDefault));
    EXPECT_EQ(std::tuple(second.index, second.count, second.position), std::tuple(2, 1, 1));

    const FindResult none = FindInRecords(records, 2, true, MemoMatcher(U("魚"), kDefault));
    EXPECT_EQ(none.index, -1);
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(FindInRecords(QList<QByteArray>(), -1, false, gyu).index, -1);
}
