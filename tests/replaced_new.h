// The program's own allocator, for a test or benchmark that must see the heap: it counts every
// allocation and fails on demand. Its definitions replace the library's, so exactly one file of
// a program includes it. The blocks come from malloc, so free is their match; the deletes stay
// out of line, where the compiler cannot take that pair for a mismatch.
#pragma once

#include <cstdlib>
#include <new>

inline std::size_t Allocations = 0;
inline bool FailAllocations = false;
void* operator new(std::size_t Size) {
  ++Allocations;
  if (void* Block = FailAllocations ? nullptr : std::malloc(Size == 0 ? 1 : Size)) return Block;
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* Block) noexcept {
  std::free(Block);
}
[[gnu::noinline]] void operator delete(void* Block, std::size_t) noexcept {
  std::free(Block);
}
