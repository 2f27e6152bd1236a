#include "platform/largepages.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

namespace large_pages {

namespace {
// Off in a build made to measure what large pages bring (QV_LARGE_PAGES=OFF):
// list-sized buffers then come from the allocator as any other.
#ifdef QV_NO_LARGE_PAGES
constexpr bool kAdvised = false;
#else
constexpr bool kAdvised = true;
#endif
} // namespace

void *Allocate(qsizetype bytes, qsizetype *granted) {
    if (bytes < kPage || !kAdvised) {
        *granted = std::max<qsizetype>(bytes, 1);
        return std::malloc(size_t(*granted));
    }
    // A mapping of whole large pages, starting on a large page boundary: a
    // mapping one large page longer is cut down to that at both ends.
    const size_t size = size_t((bytes + kPage - 1) / kPage * kPage);
    void *mapped = ::mmap(nullptr, size + size_t(kPage), PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    const auto first = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t start = (first + std::uintptr_t(kPage) - 1) & ~std::uintptr_t(kPage - 1);
    if (start > first)
        ::munmap(mapped, start - first);
    const std::uintptr_t end = start + size;
    const std::uintptr_t mappedEnd = first + size + std::uintptr_t(kPage);
    if (mappedEnd > end)
        ::munmap(reinterpret_cast<void *>(end), mappedEnd - end);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void *>(start), size, MADV_HUGEPAGE);
#endif
    *granted = qsizetype(size);
    return reinterpret_cast<void *>(start);
}

void Free(void *block, qsizetype granted) {
    if (!block)
        return;
    if (granted < kPage || !kAdvised)
        std::free(block);
    else
        ::munmap(block, size_t(granted));
}

} // namespace large_pages
