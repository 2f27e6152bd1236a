// The scenario script parser: words, quoting and escapes, $DIR, heredocs,
// and the two readings of a word (screen text and code page 932 bytes).
#include "tests/runner/qvs_parser.h"

#include <gtest/gtest.h>

namespace {

const QString Dir = QStringLiteral("/tmp/qv-XYZ");

qvs::Script ParseOk(const char *utf8) {
    qvs::ParseError error;
    const std::optional<qvs::Script> s = qvs::Parse(QByteArray(utf8), Dir, &error);
    EXPECT_TRUE(s.has_value()) << "line " << error.line << ": " << error.message.toStdString();
    return s.value_or(qvs::Script{});
}

qvs::ParseError ParseBad(const char *utf8) {
    qvs::ParseError error;
    const std::optional<qvs::Script> s = qvs::Parse(QByteArray(utf8), Dir, &error);
    EXPECT_FALSE(s.has_value());
    return error;
}

QStringList Texts(const qvs::Step &step) {
    QStringList out;
    for (const qvs::Word &w : step.words)
        out << w.text();
    return out;
}

TEST(QvsParser, StepsKeepTheirLineNumbersAndSkipBlankAndCommentLines) {
    const qvs::Script s = ParseOk("# a comment\n\n  start\r\n\t  # indented comment\n"
                                  "expect page  1\n   \nclose");
    ASSERT_EQ(s.steps.size(), 3);
    EXPECT_EQ(s.steps[0].line, 3);
    EXPECT_EQ(Texts(s.steps[0]), QStringList{QStringLiteral("start")});
    EXPECT_EQ(s.steps[1].line, 5);
    EXPECT_EQ(Texts(s.steps[1]),
              (QStringList{QStringLiteral("expect"), QStringLiteral("page"), QStringLiteral("1")}));
    EXPECT_EQ(s.steps[2].line, 7);
    EXPECT_EQ(s.lastLine, 7);
    // A # after the first word is part of a word, not a comment.
    const qvs::Script t = ParseOk("type Memo1 #1\n");
    ASSERT_EQ(t.steps.size(), 1);
    EXPECT_EQ(t.steps[0].words[2].text(), QStringLiteral("#1"));
}

TEST(QvsParser, QuotedWordsWithEscapesAndEmptyWords) {
    const qvs::Script s =
        ParseOk(R"(expect status "  two blanks" "" "a\\b\"c" "\r\n\t" unquoted\n)");
    ASSERT_EQ(s.steps.size(), 1);
    const QList<qvs::Word> &w = s.steps[0].words;
    ASSERT_EQ(w.size(), 7);
    EXPECT_EQ(w[2].text(), QStringLiteral("  two blanks"));
    EXPECT_TRUE(w[2].quoted);
    EXPECT_EQ(w[3].text(), QString());
    EXPECT_TRUE(w[3].quoted);
    EXPECT_EQ(w[4].text(), QStringLiteral("a\\b\"c"));
    EXPECT_EQ(w[5].text(), QStringLiteral("\r\n\t"));
    // Outside quotes a backslash is just a character.
    EXPECT_EQ(w[6].text(), QStringLiteral("unquoted\\n"));
    EXPECT_FALSE(w[6].quoted);
}

TEST(QvsParser, MalformedLinesFailWithTheirLineNumber) {
    EXPECT_EQ(ParseBad("start\nexpect caption \"open\n").line, 2);
    EXPECT_EQ(ParseBad("start\n\nfile a \"\\q\"\n").line, 3);
    EXPECT_EQ(ParseBad("file a \"\\x4\"\n").line, 1);
    EXPECT_EQ(ParseBad("file a \"\\xG0\"\n").line, 1);
    EXPECT_EQ(ParseBad("file a \"ab\"cd\n").line, 1);
    EXPECT_EQ(ParseBad("file a ab\"cd\"\n").line, 1);
    EXPECT_EQ(ParseBad("file a \"ends in \\").line, 1);
    // Not UTF-8.
    EXPECT_EQ(ParseBad("start\nexpect caption \x82\xA0\n").line, 2);
}

TEST(QvsParser, DirIsReplacedInEveryKindOfWord) {
    const qvs::Script s = ParseOk("expect file $DIR/a.lst \"$DIR\\\\b\" \"x$DIR\"\n");
    ASSERT_EQ(s.steps.size(), 1);
    EXPECT_EQ(s.steps[0].words[2].text(), QStringLiteral("/tmp/qv-XYZ/a.lst"));
    EXPECT_EQ(s.steps[0].words[3].text(), QStringLiteral("/tmp/qv-XYZ\\b"));
    EXPECT_EQ(s.steps[0].words[4].text(), QStringLiteral("x/tmp/qv-XYZ"));
}

TEST(QvsParser, RawBytesAndJapaneseTextHaveTwoReadings) {
    // "あ" is 82 A0 in code page 932; \x82\xA0 is those two bytes written raw.
    const qvs::Script s = ParseOk("file a \"あ\\x82\\xA0\\x00z\" \"\\x81\"\n");
    ASSERT_EQ(s.steps.size(), 1);
    const qvs::Word &w = s.steps[0].words[2];
    EXPECT_EQ(w.bytes().value(), QByteArray("\x82\xA0\x82\xA0\x00z", 6));
    EXPECT_EQ(w.text(), QString::fromUtf8("ああ") + QChar(0) + QLatin1Char('z'));
    // A lone lead byte is a byte of the file, but no character on the screen.
    const qvs::Word &lone = s.steps[0].words[3];
    EXPECT_EQ(lone.bytes().value(), QByteArray("\x81"));
    EXPECT_EQ(lone.text(), QString(QChar::ReplacementCharacter));
    // A character without a code page 932 form has no byte reading.
    const qvs::Script e = ParseOk("file a \"€\"\n");
    QString bad;
    EXPECT_FALSE(e.steps[0].words[2].bytes(&bad).has_value());
    EXPECT_EQ(bad, QString::fromUtf8("€"));
    EXPECT_EQ(e.steps[0].words[2].text(), QString::fromUtf8("€"));
}

TEST(QvsParser, HeredocIsOneMoreArgumentUpToItsEndLine) {
    const qvs::Script s = ParseOk("answer print 600\n"
                                  "expect printed <<END\n"
                                  "begin\n"
                                  "# not a comment here\n"
                                  "\n"
                                  "text 0 100 \"● a b\" $DIR\r\n"
                                  "END\n"
                                  "close\n");
    ASSERT_EQ(s.steps.size(), 3);
    const qvs::Step &p = s.steps[1];
    EXPECT_EQ(p.line, 2);
    ASSERT_EQ(p.words.size(), 3);
    EXPECT_TRUE(p.words[2].heredoc);
    EXPECT_EQ(p.words[2].text(),
              QString::fromUtf8("begin\n# not a comment here\n\ntext 0 100 \"● a b\" /tmp/qv-XYZ"));
    EXPECT_EQ(s.steps[2].line, 8);
    EXPECT_EQ(Texts(s.steps[2]), QStringList{QStringLiteral("close")});

    // Any terminator word; an empty heredoc; a quoted <<END is a plain word.
    const qvs::Script t = ParseOk("expect printed <<EOF\nEOF\nexpect caption \"<<END\"\n");
    ASSERT_EQ(t.steps.size(), 2);
    EXPECT_EQ(t.steps[0].words[2].text(), QString());
    EXPECT_EQ(t.steps[1].words[2].text(), QStringLiteral("<<END"));

    // A heredoc that never ends fails at the line that opened it.
    EXPECT_EQ(ParseBad("start\nexpect printed <<END\nbegin\nEN\n").line, 2);
}

TEST(QvsParser, HeredocLinesSplitIntoWordsByTheSameRules) {
    QString error;
    const std::optional<QList<qvs::Word>> w =
        qvs::SplitWords(QString::fromUtf8("text 0 -12 \"● a b\""), Dir, &error);
    ASSERT_TRUE(w.has_value());
    ASSERT_EQ(w->size(), 4);
    EXPECT_EQ((*w)[2].text(), QStringLiteral("-12"));
    EXPECT_EQ((*w)[3].text(), QString::fromUtf8("● a b"));
    EXPECT_TRUE(qvs::SplitWords(QStringLiteral("   "), Dir, &error)->isEmpty());
}

TEST(QvsParser, QuotedFormsOfBytesAndTextForReports) {
    EXPECT_EQ(qvs::QuoteBytes(QByteArray("a\"\\\r\n\x82\xA0\x81\x00\xFF", 10)),
              QString::fromUtf8("\"a\\\"\\\\\\r\\nあ\\x81\\x00\\xFF\""));
    EXPECT_EQ(qvs::QuoteText(QString::fromUtf8("あ\t\x01")), QString::fromUtf8("\"あ\\t\\x01\""));
}

} // namespace
