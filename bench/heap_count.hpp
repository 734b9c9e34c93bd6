#pragma once
// Heap allocations made by the calling thread: every malloc, calloc,
// realloc and operator new of this binary and of the libraries it loads
// (glibc's allocator is interposed by heap_count.cpp).
#include <cstdint>

namespace bench {

std::uint64_t heap_allocations();

// Adds what is allocated in its lifetime (a measured loop) to Total;
// outside it, the benchmark library may allocate as it likes.
template <std::uint64_t& Total>
class AllocationWatch {
 public:
  AllocationWatch() : before_(heap_allocations()) {}
  ~AllocationWatch() { Total += heap_allocations() - before_; }

 private:
  std::uint64_t before_;
};

}  // namespace bench
