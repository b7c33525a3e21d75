#include "kv/common/huge_pages.h"

#include <cstdint>
#include <sys/mman.h>

namespace kv {

void adviseHugePages(void* p, size_t bytes) {
    constexpr uintptr_t kHuge = uintptr_t{1} << 21;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(kHuge - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

} // namespace kv
