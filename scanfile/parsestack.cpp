#include "scanfile/parsestack.h"

#include <cstdlib>
#include <new>

namespace ostrel {

void* TParseStackAllocator::Realloc(void* old, size_t, size_t newSize) {
  void* block = std::realloc(old, newSize ? newSize : 1);
  if (!block) throw std::bad_alloc();
  return block;
}

void TParseStackAllocator::Free(void* block) { std::free(block); }

}  // namespace ostrel

namespace rapidjson::internal {

Stack<ostrel::TParseStackAllocator>::Stack(ostrel::TParseStackAllocator* allocator, size_t capacity)
    : Allocator(allocator ? allocator : &Own) {
  Bottom = Top_ = static_cast<char*>(ostrel::TParseStackAllocator::Malloc(capacity));
  End = Bottom + capacity;
}

void Stack<ostrel::TParseStackAllocator>::Grow(size_t more) {
  const size_t size = static_cast<size_t>(Top_ - Bottom);
  const size_t capacity = static_cast<size_t>(End - Bottom);
  if (more > SIZE_MAX / 2 - size) throw std::bad_alloc();
  size_t wanted = capacity < SIZE_MAX / 4 ? capacity * 2 : SIZE_MAX / 2;
  if (wanted < size + more) wanted = size + more;
  Bottom = static_cast<char*>(ostrel::TParseStackAllocator::Realloc(Bottom, capacity, wanted));
  Top_ = Bottom + size;
  End = Bottom + wanted;
}

}  // namespace rapidjson::internal
