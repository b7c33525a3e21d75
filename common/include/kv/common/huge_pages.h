#pragma once
// Buffers of megabytes in pages of 2 MB where the kernel offers them on
// request: a first touch of memory costs a page fault per page, and on the
// virtual machines the engines often run on one fault of 4 KB costs
// microseconds, so a result's tens of megabytes cost a tenth of a second in
// small pages.
#include <cstddef>
#include <vector>

namespace kv {

// Asks for large pages over [p, p + bytes), where they fit whole. A hint:
// nothing happens where the system has none.
void adviseHugePages(void* p, size_t bytes);

// reserve(n) and the hint, before the first element is written.
template <class T, class A> void reserveHugePages(std::vector<T, A>& v, size_t n) {
    if (v.capacity() >= n) return;
    v.reserve(n);
    adviseHugePages(v.data(), v.capacity() * sizeof(T));
}

} // namespace kv
