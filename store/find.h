// Finding memos by a text the way a Japanese user expects: full-width and
// half-width forms alike, hiragana and katakana alike, capitals and small
// letters alike, each as the options say. The rule is one plain function over
// texts (FoldForFind, TextContains); MemoMatcher gives the same answers
// straight from the code page 932 bytes of records, decoding and folding only
// the memos that can hold the text, so that a search through a big list
// keeps no second copy of it.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

class Records;

struct FindOptions {
    // Unicode compatibility normalisation (NFKC): "ＡＢＣ１" is "ABC1",
    // "ｶﾞ" is "ガ", "ｰ" is "ー".
    bool ignoreWidth = true;
    // Katakana folded to hiragana: "カタカナ" is "かたかな".
    bool ignoreKana = true;
    // Letter case counts. Without it, texts are compared case-folded.
    bool matchCase = false;
};

// A text as the search compares it: normalised, then katakana folded to
// hiragana, then case-folded, as the options say.
QString FoldForFind(const QString &text, FindOptions options);

// Whether memoText contains searchText when both are compared as the options
// say. An empty search text is contained in every text.
bool TextContains(const QString &memoText, const QString &searchText, FindOptions options);

// The text of a record's memo as the user sees it: every line, joined by
// CR LF, without the colour suffix.
QString MemoTextOf(const QByteArray &record);

// Tells which records' memos contain a search text. Matches(record) gives the
// same answer as TextContains(MemoTextOf(record), text, options), much
// faster: the record's bytes are first scanned for the few characters that
// can stand for some letters of the text (each folded form maps back to the
// code page 932 characters that give it), and only a record that holds all of
// them is decoded and folded in full.
class MemoMatcher {
  public:
    MemoMatcher(const QString &searchText, FindOptions options);
    ~MemoMatcher();
    MemoMatcher(const MemoMatcher &) = delete;
    MemoMatcher &operator=(const MemoMatcher &) = delete;

    bool Matches(QByteArrayView record) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The widest vector instructions the matcher's scans use: 0 none, 1 SSE2,
// 2 SSSE3, 3 AVX2, never more than the processor has. The answers are the
// same at every level; tests compare each level with the rule. The program
// leaves it at 3.
void LimitFindScans(int level);

// What a search through a list found.
struct FindResult {
    qsizetype index = -1;   // the record found; -1 when none matches
    qsizetype count = 0;    // how many records match in the whole list
    qsizetype position = 0; // the found record's place among them, from 1, in list order
};

// Next (forward) looks from the record after the selected one down to the
// last, then from the first on, ending with the selected one itself;
// previous does the same upwards. With no selection (-1, or an index outside
// the list) next starts at the first record and previous at the last.
FindResult FindInRecords(const QList<QByteArray> &records, qsizetype selected, bool forward,
                         const MemoMatcher &matcher);
FindResult FindInRecords(const Records &records, qsizetype selected, bool forward,
                         const MemoMatcher &matcher);
