// The records of a list or trash file as they lie in its content: the whole
// content in one buffer, and where each record lies in it. A record is a view
// of those bytes (not followed by a NUL: use its size, never its bytes as a C
// string), valid until the content changes. Loading a big list so costs one
// read and one scan of its bytes, and a list takes little more memory than
// its file.
#pragma once

#include "platform/largepages.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <iterator>

class Records {
  public:
    qsizetype size() const { return spans_.size(); }
    bool isEmpty() const { return spans_.isEmpty(); }
    QByteArrayView at(qsizetype i) const {
        return QByteArrayView(bytes_.data() + spans_[i].at, spans_[i].size);
    }
    QByteArrayView operator[](qsizetype i) const { return at(i); }
    // The record as a copy of its own, to keep beyond the content.
    QByteArray copy(qsizetype i) const { return at(i).toByteArray(); }

    // The whole content; the bytes from its first NUL on, which are never
    // shown and which every rewrite puts back after the records.
    QByteArrayView content() const { return bytes_.view(); }
    QByteArrayView tail() const { return content().sliced(textEnd_); }
    // Whether the content is exactly the records, each followed by CR LF,
    // then the tail.
    bool CrLfEnded() const { return crLfEnded_; }

    // Copies of every record.
    QList<QByteArray> ToList() const;

    // A copy of data as the content, split.
    void Take(QByteArrayView data);
    // The buffer of the content, to be filled or changed in place; Split
    // must follow before the records are read again.
    ByteBuffer &buffer() { return bytes_; }
    // Finds the records of the buffer's content anew, in the memory the list
    // of them had when that is room enough.
    void Split();
    // The same after bytes were appended to a content without a NUL: only
    // the last record and what follows it are looked at.
    void SplitAppended();
    void Clear() {
        bytes_.clear();
        spans_.clear();
        textEnd_ = 0;
        recordBytes_ = 0;
        crLfEnded_ = true;
    }

    class const_iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = QByteArrayView;
        using difference_type = qsizetype;
        using pointer = void;
        using reference = QByteArrayView;
        const_iterator(const Records *r, qsizetype i) : r_(r), i_(i) {}
        QByteArrayView operator*() const { return r_->at(i_); }
        const_iterator &operator++() {
            ++i_;
            return *this;
        }
        bool operator==(const const_iterator &o) const { return i_ == o.i_; }

      private:
        const Records *r_;
        qsizetype i_;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

  private:
    struct Span {
        qsizetype at;
        qsizetype size;
    };
    void SplitFrom(qsizetype from);

    ByteBuffer bytes_;
    LargeBuffer<Span> spans_;
    qsizetype textEnd_ = 0;
    qsizetype recordBytes_ = 0; // the sizes of the records together
    bool crLfEnded_ = true;
};

bool operator==(const Records &records, const QList<QByteArray> &list);
