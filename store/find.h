// Finding memos: which records' memos contain a search text under the
// folding rule (store/findfold.h), and the next or previous one of them
// round the list.
#pragma once

#include "store/findfold.h"

#include <QByteArrayView>
#include <QList>
#include <memory>

class Records;

// Tells which records' memos contain a search text. Matches(record) gives the
// same answer as TextContains(MemoTextOf(record), text, options), much
// faster: the record's bytes are first scanned (store/findscan.h) for the few
// characters that can stand for some letters of the text (each folded form
// maps back to the code page 932 characters that give it), and only a record
// that holds all of them is folded, from where the text may start, or whole.
// Nothing of the list is copied.
class MemoMatcher {
  public:
    MemoMatcher(const QString &searchText, FindOptions options);
    ~MemoMatcher();

    bool Matches(QByteArrayView record) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// What a search through a list found.
struct FindResult {
    qsizetype index = -1;   // the record found; -1 when none matches
    qsizetype count = 0;    // how many records match in the whole list
    qsizetype position = 0; // the found record's place among them, from 1, in list order
};

// Next (forward) looks from the record after the selected one down to the
// last, then from the first on, ending with the selected one itself;
// previous does the same upwards. With no selection (-1, or an index outside
// the list) next starts at the first record and previous at the last. The
// records are a QList<QByteArray> or Records.
template <class List>
FindResult FindInRecords(const List &records, qsizetype selected, bool forward,
                         const MemoMatcher &matcher);
