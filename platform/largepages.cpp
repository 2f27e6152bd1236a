#include "platform/largepages.h"

#include <sys/mman.h>

namespace large_pages {

void Advise(const void *buffer, qsizetype size) {
#ifdef MADV_HUGEPAGE
    // Only whole large pages inside the buffer: the advice never reaches
    // memory that is not the buffer's.
    const auto page = std::uintptr_t(kPage);
    const std::uintptr_t from = (std::uintptr_t(buffer) + page - 1) & ~(page - 1);
    const std::uintptr_t to = (std::uintptr_t(buffer) + std::uintptr_t(size)) & ~(page - 1);
    if (size >= kPage && to > from)
        ::madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#else
    Q_UNUSED(buffer);
    Q_UNUSED(size);
#endif
}

qsizetype AlignedOffset(std::uintptr_t first, qsizetype elementSize, qsizetype limit) {
    // Elements whose size is not a power of two reach a boundary only every
    // so many elements: the first such one is looked for step by step, which
    // takes well under a millisecond for a list-sized buffer.
    const auto page = std::uintptr_t(kPage);
    for (qsizetype k = 0; k < limit; ++k)
        if ((first + std::uintptr_t(k) * std::uintptr_t(elementSize)) % page == 0)
            return k;
    return -1;
}

} // namespace large_pages

QByteArray LargePageBytes(qsizetype size) {
    if (size < large_pages::kWorthIt)
        return QByteArray(size, Qt::Uninitialized);
    // Room for the NUL a byte array keeps after its bytes, and for an edit.
    constexpr qsizetype kRoomAfter = 64 * 1024;
    QArrayDataPointer<char> d = large_pages::Storage<char>(size + 1, kRoomAfter);
    d.data()[size] = '\0';
    d.size = size;
    return QByteArray(std::move(d));
}
