// The counting replacement of the global operator new and delete (see counting_allocator.h).
// It stays in a translation unit of its own so that no caller sees new and free side by side.
#include "counting_allocator.h"

#include <cstdlib>
#include <new>

std::uint64_t AllocationCount = 0;

void* operator new(std::size_t Size) {
  ++AllocationCount;
  if (void* Block = std::malloc(Size == 0 ? 1 : Size)) return Block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t Size) {
  return operator new(Size);
}
void* operator new(std::size_t Size, const std::nothrow_t&) noexcept {
  ++AllocationCount;
  return std::malloc(Size == 0 ? 1 : Size);
}
void* operator new[](std::size_t Size, const std::nothrow_t& Tag) noexcept {
  return operator new(Size, Tag);
}
void operator delete(void* Block) noexcept {
  std::free(Block);
}
void operator delete[](void* Block) noexcept {
  std::free(Block);
}
void operator delete(void* Block, std::size_t) noexcept {
  std::free(Block);
}
void operator delete[](void* Block, std::size_t) noexcept {
  std::free(Block);
}
