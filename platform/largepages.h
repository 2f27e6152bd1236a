// Memory for list-sized buffers. Filling fresh memory is mostly page faults,
// which are costly on virtual machines (some 15 µs for each 4 KB page here):
// a buffer of a list's size is therefore mapped on its own, starting on a
// large page (2 MB), and the system is asked to back it with large pages,
// which turns 25,000 faults per 100 MB into about 50. Advice only: where the
// system does not follow it, the memory is the same as any other.
#pragma once

#include <QByteArrayView>
#include <QtGlobal>
#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace large_pages {

constexpr qsizetype kPage = 2 * 1024 * 1024;

// A block of at least bytes bytes: below a large page from the allocator,
// otherwise mapped on its own on a large page boundary and advised to be
// backed by large pages. Null when there is no memory. granted receives the
// usable size, which Free needs back.
void *Allocate(qsizetype bytes, qsizetype *granted);
void Free(void *block, qsizetype granted);

} // namespace large_pages

// A growable array of plain values in such memory. Emptying it keeps its
// memory, so that a list read again fills memory that is in use already;
// growing it past its room moves it into a new block with room to spare.
// Copying is explicit (the buffers are the size of a list).
template <class T> class LargeBuffer {
    static_assert(std::is_trivially_copyable_v<T>);

  public:
    LargeBuffer() = default;
    ~LargeBuffer() { large_pages::Free(data_, granted_); }
    LargeBuffer(LargeBuffer &&o) noexcept
        : data_(std::exchange(o.data_, nullptr)), size_(std::exchange(o.size_, 0)),
          granted_(std::exchange(o.granted_, 0)) {}
    LargeBuffer &operator=(LargeBuffer &&o) noexcept {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        std::swap(granted_, o.granted_);
        return *this;
    }
    LargeBuffer(const LargeBuffer &) = delete;
    LargeBuffer &operator=(const LargeBuffer &) = delete;

    T *data() { return data_; }
    const T *data() const { return data_; }
    qsizetype size() const { return size_; }
    bool isEmpty() const { return size_ == 0; }
    qsizetype capacity() const { return granted_ / qsizetype(sizeof(T)); }
    T &operator[](qsizetype i) { return data_[i]; }
    const T &operator[](qsizetype i) const { return data_[i]; }

    // Room for n values, the ones held kept. Throws std::bad_alloc when there
    // is no memory.
    void reserve(qsizetype n) {
        if (n <= capacity())
            return;
        qsizetype granted = 0;
        void *block = large_pages::Allocate(n * qsizetype(sizeof(T)), &granted);
        if (!block)
            throw std::bad_alloc();
        if (size_ > 0)
            std::memcpy(block, data_, size_t(size_) * sizeof(T));
        large_pages::Free(data_, granted_);
        data_ = static_cast<T *>(block);
        granted_ = granted;
    }
    // n values; new ones are not initialised. Growing past the room leaves
    // some more room after them.
    void resize(qsizetype n) {
        if (n > capacity())
            reserve(std::max(n, capacity() + capacity() / 2) + kRoomAfter);
        size_ = n;
    }
    void clear() { size_ = 0; }
    void append(const T &value) {
        resize(size_ + 1);
        data_[size_ - 1] = value;
    }
    void append(const T *values, qsizetype n) {
        const qsizetype at = size_;
        resize(size_ + n);
        if (n > 0)
            std::memcpy(data_ + at, values, size_t(n) * sizeof(T));
    }

  private:
    // Room for the small changes a command makes in place.
    static constexpr qsizetype kRoomAfter = 64 * 1024 / qsizetype(sizeof(T)) + 1;

    T *data_ = nullptr;
    qsizetype size_ = 0;
    qsizetype granted_ = 0;
};

// A file's bytes in such memory.
class ByteBuffer : public LargeBuffer<char> {
  public:
    QByteArrayView view() const { return QByteArrayView(data(), size()); }
};
