// Memory for list-sized buffers. Filling fresh memory is mostly page faults,
// which are costly on virtual machines (some 15 µs for each 4 KB page here):
// a buffer of a list's size is therefore placed so that it starts on a large
// page (2 MB) and the system is asked to back it with large pages, which
// turns 25,000 faults per 100 MB into about 50. Advice only: where the system
// does not follow it, the memory is the same as any other.
#pragma once

#include <QByteArray>
#include <QList>
#include <algorithm>
#include <cstdint>
#include <numeric>

namespace large_pages {

constexpr qsizetype kPage = 2 * 1024 * 1024;
// Smaller buffers are left to the allocator as they are.
constexpr qsizetype kWorthIt = kPage;
// Below this size a buffer's last, partial large page is taken whole too:
// filling it page by page (up to 8 ms) would be a good part of the time a
// command on such a list takes, and it costs at most one large page of
// memory. Above it that memory matters more than the few milliseconds.
constexpr qsizetype kRoundUpBelow = 8 * kPage;

// Asks for large pages for the whole large pages inside [buffer, buffer + size).
void Advise(const void *buffer, qsizetype size);

// The offset, in elements, of the first element at or after first that lies
// on a large page boundary, given the element size; -1 when none does within
// limit elements.
qsizetype AlignedOffset(std::uintptr_t first, qsizetype elementSize, qsizetype limit);

// Empty storage for at least n + extra elements of T, starting on a large
// page when n elements are worth it (the room before that start is never
// touched). Large pages are asked for the first n elements; the extra ones
// are room to grow into, which costs nothing until it is used.
template <class T> QArrayDataPointer<T> Storage(qsizetype n, qsizetype extra = 0) {
    using Data = QTypedArrayData<T>;
    const qsizetype bytes = n * qsizetype(sizeof(T));
    if (bytes < kWorthIt)
        return QArrayDataPointer<T>(Data::allocate(n + extra));
    // Elements on large page boundaries come every this many elements; the
    // end is rounded up to a whole large page where that is worth it.
    const qsizetype every = kPage / std::gcd(qsizetype(sizeof(T)), kPage);
    const qsizetype advised = bytes < kRoundUpBelow ? (bytes + kPage - 1) / kPage * kPage : bytes;
    const qsizetype room = (advised + qsizetype(sizeof(T)) - 1) / qsizetype(sizeof(T));
    auto [header, data] = Data::allocate(std::max(room, n + extra) + every);
    if (!header)
        return QArrayDataPointer<T>(Data::allocate(n + extra));
    const qsizetype skip =
        AlignedOffset(reinterpret_cast<std::uintptr_t>(data), qsizetype(sizeof(T)), every);
    T *start = data + (skip < 0 ? 0 : skip);
    Advise(start, advised);
    return QArrayDataPointer<T>(header, start, 0);
}

} // namespace large_pages

// size bytes, not initialised (but for a NUL after them), in memory placed
// and advised as above when the size is worth it, with room after them for
// the small changes a command makes in place.
QByteArray LargePageBytes(qsizetype size);
