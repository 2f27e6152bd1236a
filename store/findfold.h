// Finding memos by a text the way a Japanese user expects: full-width and
// half-width forms alike, hiragana and katakana alike, capitals and small
// letters alike, each as the options say. The rule is one plain function over
// texts (FoldForFind, TextContains); FoldTable holds what it gives for each
// character of code page 932, so that the matcher (store/find.h) folds record
// bytes by table look-ups and gives the same answers.
#pragma once

#include "platform/cp932.h"

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>
#include <vector>

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

// A text's UTF-16 units, as the tables hold them.
inline std::u16string_view UnitsOf(const QString &s) {
    return {reinterpret_cast<const char16_t *>(s.utf16()), size_t(s.size())};
}

// The folded form of every character of code page 932 under one set of
// options. Under normalisation a memo's folded text is its characters'
// folded forms one after another, except where a character joins the one
// before it (a half-width voiced sound mark after a kana makes one character
// with it): such a cluster is folded as a whole.
class FoldTable {
  public:
    // The table for a set of options: made on first use and kept.
    static const FoldTable &For(FindOptions options);

    FindOptions Options() const { return options_; }
    std::u16string_view Fold(Cp932Code c) const {
        const quint32 e = entry_[c];
        return {pool_.data() + (e & 0xFFFFF), size_t((e >> 20) & 0x7FF)};
    }
    // Whether the character joins the one before it.
    bool Joins(Cp932Code c) const { return entry_[c] >> 31; }
    // The folded line end that stands for a line-break marker.
    std::u16string_view LineEnd() const { return crlf_; }

    // What a character gives with a joining one after it, beyond what each
    // gives alone: a letter of a search text may come from there.
    struct Composite {
        Cp932Code code;       // the character before the joining one
        std::u16string extra; // letters the two give only together
    };
    const std::vector<Composite> &Composites() const { return composites_; }

  private:
    explicit FoldTable(FindOptions options);

    FindOptions options_;
    // Per code: offset of its folded form in pool_ (bits 0-19), its length
    // (bits 20-30) and whether the character joins the one before (bit 31).
    std::vector<quint32> entry_;
    std::u16string pool_;
    std::u16string crlf_;
    std::vector<Composite> composites_;
};
