#pragma once
// Heap allocations made by the calling thread: every malloc, calloc,
// realloc and operator new of this binary and of the libraries it loads
// (glibc's allocator is interposed by heap_count.cpp).
#include <cstdint>

namespace bench {

std::uint64_t heap_allocations();

}  // namespace bench
