// Counts heap allocations by replacing the global operator new (the
// runtime is linked in statically, so every C++ allocation of the program
// comes here). Kept apart from its callers, so that no inlined pair of new
// and delete is seen across the replacement.
#include <atomic>
#include <cstdlib>
#include <new>

#include "bench/win32/probes.hpp"

namespace {

std::atomic<std::uint64_t> allocations{0};

}  // namespace

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace bench {

std::uint64_t heap_allocations() { return allocations.load(); }

}  // namespace bench
